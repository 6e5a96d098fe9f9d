#include "text/wave.h"

#include <algorithm>
#include <cstring>

namespace text {
namespace {

void Put16(std::span<uint8_t> out, std::size_t at, uint16_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

void Put32(std::span<uint8_t> out, std::size_t at, uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutId(std::span<uint8_t> out, std::size_t at, const char* id) { std::memcpy(out.data() + at, id, 4); }

uint16_t Le16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t Le32(const uint8_t* at) {
  return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
         (static_cast<uint32_t>(at[3]) << 24);
}

bool SameId(const uint8_t* at, const char* id) {
  const auto lower = [](uint8_t c) { return static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c); };
  for (int i = 0; i < 4; ++i) {
    if (lower(at[i]) != lower(static_cast<uint8_t>(id[i]))) return false;
  }
  return true;
}

constexpr uint16_t WaveFormatExtensible = 0xFFFE;
constexpr uint32_t ExtensibleFormatSize = 26;  // up to the sub-format's tag

}  // namespace

void WriteWaveHeader(std::span<uint8_t> out, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels,
                     uint32_t dataLength) {
  if (out.size() < WaveHeaderSize) return;
  const auto blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
  PutId(out, 0, "RIFF");
  Put32(out, 4, dataLength + 36);
  PutId(out, 8, "WAVE");
  PutId(out, 12, "fmt ");
  Put32(out, 16, 16);
  Put16(out, 20, WaveFormatPcm);
  Put16(out, 22, channels);
  Put32(out, 24, sampleRate);
  Put32(out, 28, sampleRate * blockAlign);
  Put16(out, 32, blockAlign);
  Put16(out, 34, bitsPerSample);
  PutId(out, 36, "data");
  Put32(out, 40, dataLength);
}

std::vector<uint8_t> WaveImage(std::span<const uint8_t> data, uint32_t sampleRate, uint16_t bitsPerSample,
                               uint16_t channels) {
  std::vector<uint8_t> image(WaveHeaderSize);
  WriteWaveHeader(image, sampleRate, bitsPerSample, channels, static_cast<uint32_t>(data.size()));
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

std::optional<WaveHeader> ReadWaveHeader(const WaveReadExactly& read, const WaveSkip& skip, ChunkPadding padding) {
  uint8_t buffer[ExtensibleFormatSize];
  if (!read(buffer, 12) || !SameId(buffer, "RIFF")) return std::nullopt;
  if (!read(buffer, 8) || !SameId(buffer, "fmt ")) return std::nullopt;
  const uint32_t formatSize = Le32(buffer + 4);
  if (formatSize < 16) return std::nullopt;
  const uint32_t kept = formatSize >= ExtensibleFormatSize ? ExtensibleFormatSize : 16;
  if (!read(buffer, kept)) return std::nullopt;
  WaveHeader header;
  header.format.formatTag = Le16(buffer);
  header.format.channels = Le16(buffer + 2);
  header.format.sampleRate = Le32(buffer + 4);
  header.format.bitsPerSample = Le16(buffer + 14);
  if (header.format.formatTag == WaveFormatExtensible && kept == ExtensibleFormatSize) {
    header.format.formatTag = Le16(buffer + 24);
  }
  if (!skip(formatSize - kept)) return std::nullopt;
  for (;;) {
    if (!read(buffer, 8)) return std::nullopt;
    const uint32_t length = Le32(buffer + 4);
    if (SameId(buffer, "data")) {
      header.dataLength = length;
      return header;
    }
    if (!skip(length)) return std::nullopt;
    if (padding == ChunkPadding::Skipped && length % 2 == 1 && !skip(1)) return std::nullopt;
  }
}

std::optional<WaveView> ParseWaveImage(std::span<const uint8_t> image, ChunkPadding padding) {
  std::size_t at = 0;
  const auto read = [&](uint8_t* into, std::size_t n) {
    if (at > image.size() || image.size() - at < n) return false;
    std::memcpy(into, image.data() + at, n);
    at += n;
    return true;
  };
  const auto skip = [&](uint32_t n) {
    at = at > image.size() ? at : at + n;  // past the end is found by the next read
    return true;
  };
  const auto header = ReadWaveHeader(read, skip, padding);
  if (!header) return std::nullopt;
  const std::size_t available = std::min<std::size_t>(header->dataLength, image.size() - at);
  return WaveView{header->format, header->dataLength, image.subspan(at, available)};
}

}  // namespace text
