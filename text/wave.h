#pragma once
// RIFF/WAVE images of PCM sound: the 44-byte header written for every image and file the
// program makes, and the one reader of wave images and files.
//
// The reader follows the program's rule for wave files: "RIFF" at byte 0 and "fmt " at
// byte 12 (ids compared without regard to case; "WAVE" is not examined), a format chunk
// of at least 16 bytes, then chunks walked by their stated sizes (no pad byte) up to the
// first "data" chunk. The format tag is reported, not judged: a caller that needs PCM says
// so itself. Chunks of odd length are padded to even in the RIFF standard, but the
// program's own files were always read without the pad byte; a reader of images from
// elsewhere asks for it with ChunkPadding::Skipped.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace text {

inline constexpr std::size_t WaveHeaderSize = 44;
inline constexpr uint16_t WaveFormatPcm = 1;

// Writes the header for dataLength bytes of PCM data into the first 44 bytes of out
// (nothing when out is shorter).
void WriteWaveHeader(std::span<uint8_t> out, uint32_t sampleRate, uint16_t bitsPerSample, uint16_t channels,
                     uint32_t dataLength);
// The header followed by the samples.
std::vector<uint8_t> WaveImage(std::span<const uint8_t> data, uint32_t sampleRate, uint16_t bitsPerSample,
                               uint16_t channels);

struct WaveFormat {
  uint16_t formatTag = 0;  // WAVE_FORMAT_EXTENSIBLE is given as its sub-format's tag
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
};

// Reads exactly n bytes into the buffer, or fails.
using WaveReadExactly = std::function<bool(uint8_t* into, std::size_t n)>;
// Moves n bytes on. Moving past the end may succeed: the next read then fails.
using WaveSkip = std::function<bool(uint32_t n)>;

enum class ChunkPadding { Ignored, Skipped };

struct WaveHeader {
  WaveFormat format;
  uint32_t dataLength = 0;  // as the "data" chunk states it
};

// Reads up to the first byte of the "data" chunk; nothing when the stream is not a wave
// file by the rule above or ends first.
std::optional<WaveHeader> ReadWaveHeader(const WaveReadExactly& read, const WaveSkip& skip,
                                         ChunkPadding padding = ChunkPadding::Ignored);

struct WaveView {
  WaveFormat format;
  uint32_t dataLength = 0;        // as stated
  std::span<const uint8_t> data;  // what the image holds of it
};

// The same reading over an image in memory.
std::optional<WaveView> ParseWaveImage(std::span<const uint8_t> image, ChunkPadding padding = ChunkPadding::Ignored);

}  // namespace text
