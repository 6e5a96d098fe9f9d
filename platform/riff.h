#pragma once
// The 44-byte RIFF/WAVE header of a PCM wave image.

#include <cstdint>
#include <span>

namespace platform {

inline constexpr std::size_t WaveHeaderSize = 44;

// Writes the header for dataLength bytes of PCM data into the first 44 bytes of out.
inline void WriteWaveHeader(std::span<uint8_t> out, uint32_t sampleRate, uint16_t bitsPerSample,
                            uint16_t channels, uint32_t dataLength) {
  const auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
  };
  const auto put16 = [&](std::size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  const uint16_t blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
  out[0] = 'R', out[1] = 'I', out[2] = 'F', out[3] = 'F';
  put32(4, dataLength + 36);
  out[8] = 'W', out[9] = 'A', out[10] = 'V', out[11] = 'E';
  out[12] = 'f', out[13] = 'm', out[14] = 't', out[15] = ' ';
  put32(16, 16);
  put16(20, 1);  // PCM
  put16(22, channels);
  put32(24, sampleRate);
  put32(28, sampleRate * blockAlign);
  put16(32, blockAlign);
  put16(34, bitsPerSample);
  out[36] = 'd', out[37] = 'a', out[38] = 't', out[39] = 'a';
  put32(40, dataLength);
}

}  // namespace platform
