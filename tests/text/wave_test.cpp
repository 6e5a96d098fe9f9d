// Wave images: the header written for every image and file, and the one reader.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/wave.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

std::vector<uint8_t> Chunk(const char* id, std::vector<uint8_t> body, uint32_t statedLength) {
  std::vector<uint8_t> chunk(id, id + 4);
  for (int i = 0; i < 4; ++i) chunk.push_back(static_cast<uint8_t>(statedLength >> (8 * i)));
  chunk.insert(chunk.end(), body.begin(), body.end());
  return chunk;
}

// "RIFF" and "WAVE", then the chunks as given.
std::vector<uint8_t> Riff(std::initializer_list<std::vector<uint8_t>> chunks) {
  std::vector<uint8_t> image = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& chunk : chunks) image.insert(image.end(), chunk.begin(), chunk.end());
  return image;
}

std::vector<uint8_t> Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, std::size_t size = 16) {
  std::vector<uint8_t> body(size, 0);
  body[0] = static_cast<uint8_t>(tag), body[1] = static_cast<uint8_t>(tag >> 8);
  body[2] = static_cast<uint8_t>(channels);
  for (int i = 0; i < 4; ++i) body[static_cast<std::size_t>(4 + i)] = static_cast<uint8_t>(rate >> (8 * i));
  body[14] = static_cast<uint8_t>(bits);
  return body;
}

TEST(WaveHeader, TheWriterMakesTheCanonical44Bytes) {
  const std::vector<uint8_t> samples(10, 128);
  const std::vector<uint8_t> image = text::WaveImage(samples, 11025, 8, 1);
  ASSERT_EQ(image.size(), 54u);
  EXPECT_EQ(std::string(image.begin(), image.begin() + 4), "RIFF");
  EXPECT_EQ(Le32(image, 4), 46u);
  EXPECT_EQ(std::string(image.begin() + 8, image.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32(image, 16), 16u);
  EXPECT_EQ(image[20], 1);  // PCM
  EXPECT_EQ(image[22], 1);
  EXPECT_EQ(Le32(image, 24), 11025u);
  EXPECT_EQ(Le32(image, 28), 11025u);
  EXPECT_EQ(image[32], 1);  // block alignment
  EXPECT_EQ(image[34], 8);
  EXPECT_EQ(std::string(image.begin() + 36, image.begin() + 40), "data");
  EXPECT_EQ(Le32(image, 40), 10u);

  std::vector<uint8_t> stereo(text::WaveHeaderSize);
  text::WriteWaveHeader(stereo, 16000, 16, 2, 8);
  EXPECT_EQ(Le32(stereo, 28), 64000u);  // bytes per second
  EXPECT_EQ(stereo[32], 4);

  std::vector<uint8_t> tooShort(43, 7);
  text::WriteWaveHeader(tooShort, 11025, 8, 1, 0);
  EXPECT_EQ(tooShort, std::vector<uint8_t>(43, 7));
}

TEST(WaveReader, ReadsWhatTheWriterWrote) {
  const std::vector<uint8_t> samples = {1, 2, 3};
  const std::vector<uint8_t> image = text::WaveImage(samples, 16000, 16, 1);  // the view points into it
  const auto wave = text::ParseWaveImage(image);
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->format.formatTag, text::WaveFormatPcm);
  EXPECT_EQ(wave->format.channels, 1);
  EXPECT_EQ(wave->format.sampleRate, 16000u);
  EXPECT_EQ(wave->format.bitsPerSample, 16);
  EXPECT_EQ(wave->dataLength, 3u);
  EXPECT_EQ(std::vector<uint8_t>(wave->data.begin(), wave->data.end()), samples);
}

TEST(WaveReader, IdsIgnoreCaseAndOtherChunksAreSkippedBeforeData) {
  auto image =
      Riff({Chunk("fmt ", Format(1, 1, 8000, 8), 16), Chunk("fact", {0, 0, 0, 0}, 4), Chunk("data", {5, 6}, 2)});
  std::memcpy(image.data(), "riff", 4);
  std::memcpy(image.data() + 12, "FMT ", 4);
  const auto wave = text::ParseWaveImage(image);
  ASSERT_TRUE(wave);
  EXPECT_EQ(wave->data.size(), 2u);
  EXPECT_EQ(wave->data[0], 5);
}

TEST(WaveReader, PadBytesAreSkippedOnlyWhenAskedFor) {
  const auto image =
      Riff({Chunk("fmt ", Format(1, 1, 8000, 8), 16), Chunk("LIST", {'a', 'b', 'c', 0}, 3), Chunk("data", {5, 6}, 2)});
  EXPECT_FALSE(text::ParseWaveImage(image));
  const auto padded = text::ParseWaveImage(image, text::ChunkPadding::Skipped);
  ASSERT_TRUE(padded);
  EXPECT_EQ(padded->data.size(), 2u);
}

TEST(WaveReader, WhatIsNotAWaveByTheRuleIsRefused) {
  EXPECT_FALSE(text::ParseWaveImage({}));
  // "fmt " must be the first chunk.
  EXPECT_FALSE(text::ParseWaveImage(
      Riff({Chunk("fact", {0, 0, 0, 0}, 4), Chunk("fmt ", Format(1, 1, 8000, 8), 16), Chunk("data", {1}, 1)})));
  EXPECT_FALSE(text::ParseWaveImage(Riff({Chunk("fmt ", {1, 0, 1, 0}, 4), Chunk("data", {1}, 1)})));
  EXPECT_FALSE(text::ParseWaveImage(Riff({Chunk("fmt ", Format(1, 1, 8000, 8), 16)})));  // no data
  // A chunk that claims more than the image holds is never read past.
  EXPECT_FALSE(text::ParseWaveImage(
      Riff({Chunk("fmt ", Format(1, 1, 8000, 8), 16), Chunk("LIST", {}, 0xFFFFFFFF), Chunk("data", {1}, 1)})));
  EXPECT_FALSE(text::ParseWaveImage(Riff({Chunk("fmt ", Format(1, 1, 8000, 8), 0xFFFFFFFF), Chunk("data", {1}, 1)})));
  const auto whole = text::WaveImage(std::vector<uint8_t>(4, 9), 11025, 8, 1);
  for (std::size_t length = 0; length < text::WaveHeaderSize; ++length) {
    EXPECT_FALSE(text::ParseWaveImage(std::span(whole.data(), length))) << length;
  }
}

TEST(WaveReader, DataIsCutToTheImageAndTheFormatTagIsReported) {
  auto image = text::WaveImage(std::vector<uint8_t>(6, 1), 8000, 16, 1);
  image.resize(image.size() - 3);
  const auto cut = text::ParseWaveImage(image);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->dataLength, 6u);
  EXPECT_EQ(cut->data.size(), 3u);

  EXPECT_EQ(
      text::ParseWaveImage(Riff({Chunk("fmt ", Format(2, 1, 8000, 4), 16), Chunk("data", {1}, 1)}))->format.formatTag,
      2);
  auto extensible = Format(0xFFFE, 2, 48000, 16, 40);
  extensible[24] = 1;  // the sub-format: PCM
  EXPECT_EQ(
      text::ParseWaveImage(Riff({Chunk("fmt ", extensible, 40), Chunk("data", {1, 2, 3, 4}, 4)}))->format.formatTag,
      text::WaveFormatPcm);
}

TEST(WaveReader, AStreamIsLeftAtTheFirstSampleAndShortReadsFail) {
  const auto image = Riff({Chunk("fmt ", Format(1, 1, 11025, 8, 18), 18), Chunk("data", {42, 43}, 2)});
  std::size_t at = 0;
  const text::WaveReadExactly read = [&](uint8_t* into, std::size_t n) {
    if (image.size() - at < n) return false;
    std::memcpy(into, image.data() + at, n);
    at += n;
    return true;
  };
  const text::WaveSkip skip = [&](uint32_t n) {
    at = std::min(image.size(), at + n);
    return true;
  };
  const auto header = text::ReadWaveHeader(read, skip);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->dataLength, 2u);
  EXPECT_EQ(image[at], 42);

  at = 0;
  const text::WaveSkip failing = [](uint32_t n) { return n == 0; };
  EXPECT_FALSE(text::ReadWaveHeader(read, failing));  // the format's two extra bytes cannot be skipped
}

}  // namespace
