// The mixer: wave images in, mixed 16-bit frames out, pulled directly without a device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/audio/audio_device.h"

namespace platform {
namespace {

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> WaveImage(int rate, int channels, int bits, const std::vector<uint8_t>& data,
                               const std::vector<uint8_t>& extraChunk = {}) {
  std::vector<uint8_t> image = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  PutLe(image, 16, 4);
  PutLe(image, 1, 2);
  PutLe(image, static_cast<uint32_t>(channels), 2);
  PutLe(image, static_cast<uint32_t>(rate), 4);
  PutLe(image, static_cast<uint32_t>(rate * channels * bits / 8), 4);
  PutLe(image, static_cast<uint32_t>(channels * bits / 8), 2);
  PutLe(image, static_cast<uint32_t>(bits), 2);
  image.insert(image.end(), extraChunk.begin(), extraChunk.end());
  image.insert(image.end(), {'d', 'a', 't', 'a'});
  PutLe(image, static_cast<uint32_t>(data.size()), 4);
  image.insert(image.end(), data.begin(), data.end());
  return image;
}

// The console's tone: 11025 Hz unsigned 8-bit, square periods of 96 and 160.
std::vector<uint8_t> SquareTone(int frequency) {
  const int period = 11025 / frequency;
  std::vector<uint8_t> data;
  for (int k = 0;; ++k) {
    const int start = 11025 * k / frequency;
    if (44 + start > 11025 - period) break;
    data.resize(static_cast<std::size_t>(start), 128);
    data.insert(data.end(), static_cast<std::size_t>(period / 2), 96);
    data.insert(data.end(), static_cast<std::size_t>(period - period / 2), 160);
  }
  return WaveImage(11025, 1, 8, data);
}

int RisingCrossings(const std::vector<int16_t>& frames, int channels) {
  int crossings = 0;
  for (std::size_t i = static_cast<std::size_t>(channels); i < frames.size(); i += static_cast<std::size_t>(channels)) {
    crossings += frames[i - static_cast<std::size_t>(channels)] < 0 && frames[i] >= 0;
  }
  return crossings;
}

std::vector<int16_t> Pull(AudioMixer& mixer, int frames) {
  std::vector<int16_t> out(static_cast<std::size_t>(frames * mixer.Channels()));
  // In device-sized pieces, as the callback asks for them.
  for (std::size_t at = 0; at < out.size(); at += 1024) {
    mixer.Render(std::span<int16_t>(out).subspan(at, std::min<std::size_t>(1024, out.size() - at)));
  }
  return out;
}

bool Silent(const std::vector<int16_t>& samples) {
  return std::all_of(samples.begin(), samples.end(), [](int16_t s) { return s == 0; });
}

TEST(WaveImage, EightAndSixteenBitSamplesBecomeSigned16Bit) {
  const auto eight = ParseWaveImage(WaveImage(11025, 1, 8, {128, 160, 96, 255}));
  ASSERT_TRUE(eight);
  EXPECT_EQ(eight->sampleRate, 11025);
  EXPECT_EQ(eight->samples, (std::vector<int16_t>{0, 8192, -8192, 32512}));

  const auto sixteen = ParseWaveImage(WaveImage(16000, 2, 16, {0x00, 0x80, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0xFF}));
  ASSERT_TRUE(sixteen);
  EXPECT_EQ(sixteen->channels, 2);
  EXPECT_EQ(sixteen->Frames(), 2u);
  EXPECT_EQ(sixteen->samples, (std::vector<int16_t>{-32768, 32767, 1, -1}));
}

TEST(WaveImage, OddChunksAreSkippedAndLengthsAreBoundedByTheImage) {
  const std::vector<uint8_t> list = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};  // padded to even
  const auto withList = ParseWaveImage(WaveImage(8000, 1, 8, {128, 200}, list));
  ASSERT_TRUE(withList);
  EXPECT_EQ(withList->samples.size(), 2u);

  auto image = WaveImage(8000, 1, 16, {1, 0, 2, 0, 3, 0});
  image.erase(image.end() - 3, image.end());  // the data chunk claims more than the image holds
  const auto cut = ParseWaveImage(image);
  ASSERT_TRUE(cut);
  EXPECT_EQ(cut->samples, (std::vector<int16_t>{1}));

  auto hugeChunk = WaveImage(8000, 1, 8, {128});
  hugeChunk[16] = hugeChunk[17] = hugeChunk[18] = hugeChunk[19] = 0xFF;  // fmt length 4 GiB
  EXPECT_FALSE(ParseWaveImage(hugeChunk));
}

TEST(WaveImage, WhatCannotBePlayedIsRefused) {
  EXPECT_FALSE(ParseWaveImage({}));
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'};
  EXPECT_FALSE(ParseWaveImage(text));
  EXPECT_FALSE(ParseWaveImage(WaveImage(11025, 3, 8, {0, 0, 0})));
  EXPECT_FALSE(ParseWaveImage(WaveImage(11025, 1, 24, {0, 0, 0})));
  auto adpcm = WaveImage(11025, 1, 8, {0});
  adpcm[20] = 2;
  EXPECT_FALSE(ParseWaveImage(adpcm));
  const auto header = WaveImage(11025, 1, 8, {});
  for (std::size_t length = 0; length < header.size(); ++length) {
    // A header cut anywhere is refused or yields no samples, and is never read past.
    const auto cut = ParseWaveImage(std::span<const uint8_t>(header.data(), length));
    if (cut) {
      EXPECT_EQ(cut->samples.size(), 0u);
    }
  }
}

TEST(Mixer, LoopedSquareToneKeepsItsPitchAtTheDeviceRate) {
  AudioMixer mixer(48000, 2);
  ASSERT_TRUE(mixer.PlayLoop(SquareTone(441)));
  const auto second = Pull(mixer, 48000);
  // 441 Hz from 25-sample periods at 11025 Hz; the loop's seam must not add or drop any.
  EXPECT_NEAR(RisingCrossings(second, 2), 441, 3);
  EXPECT_EQ(second[0], second[1]);  // mono goes to both channels
  const auto peak = *std::max_element(second.begin(), second.end());
  EXPECT_NEAR(peak, 8192, 64);

  ASSERT_TRUE(mixer.PlayLoop(SquareTone(800)));  // replaces the first
  EXPECT_NEAR(RisingCrossings(Pull(mixer, 48000), 2), 800, 8);
}

TEST(Mixer, StopLoopSilencesTheNextBuffer) {
  AudioMixer mixer(44100, 1);
  mixer.PlayLoop(SquareTone(400));
  EXPECT_FALSE(Silent(Pull(mixer, 512)));
  mixer.StopLoop();
  EXPECT_TRUE(Silent(Pull(mixer, 512)));
  EXPECT_FALSE(mixer.HasVoices());
  EXPECT_FALSE(mixer.PlayLoop(std::vector<uint8_t>{1, 2, 3}));
  EXPECT_TRUE(Silent(Pull(mixer, 512)));
}

TEST(Mixer, BeepIsAShortToneThatEndsByItself) {
  AudioMixer mixer(48000, 2);
  mixer.Beep(1000, 100);
  const auto tone = Pull(mixer, 4800);
  EXPECT_NEAR(RisingCrossings(tone, 2), 100, 2);
  EXPECT_LT(std::abs(tone[0]), 100);  // fades in: no click
  EXPECT_TRUE(Silent(Pull(mixer, 4800)));
  EXPECT_FALSE(mixer.HasVoices());
}

// A stream that hands out a fixed number of frames of one value, then ends.
class CountingVoice : public AudioVoice {
 public:
  explicit CountingVoice(std::size_t frames) : left_(frames) {}
  bool MixInto(std::span<int32_t> mix, std::size_t frames, int channels, int) override {
    for (std::size_t i = 0; i < frames && left_ > 0; ++i, --left_) {
      for (int c = 0; c < channels; ++c)
        mix[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] += 30000;
    }
    return left_ > 0;
  }

 private:
  std::size_t left_;
};

TEST(Mixer, AddedVoicesMixClipAndAreDroppedAtTheirEnd) {
  AudioMixer mixer(48000, 2);
  mixer.AddVoice(std::make_shared<CountingVoice>(100));
  mixer.AddVoice(std::make_shared<CountingVoice>(300));
  const auto out = Pull(mixer, 400);
  EXPECT_EQ(out[0], 32767);  // 60000 clipped
  EXPECT_EQ(out[2 * 150], 30000);
  EXPECT_EQ(out[2 * 350], 0);
  EXPECT_FALSE(mixer.HasVoices());

  auto kept = std::make_shared<CountingVoice>(1000000);
  mixer.AddVoice(kept);
  mixer.RemoveVoice(kept.get());
  EXPECT_TRUE(Silent(Pull(mixer, 64)));
}

TEST(Mixer, ResamplingInterpolatesBetweenFrames) {
  WaveSound ramp{16000, 1, {0, 3000, 6000}};
  Resampler reader(16000, 48000);
  std::vector<int32_t> mix(12, 0);
  const std::size_t made = reader.MixInto(ramp, false, mix, 12, 1);  // three frames become about nine
  EXPECT_GE(made, 9u);
  EXPECT_LE(made, 10u);
  EXPECT_NEAR(mix[1], 1000, 2);
  EXPECT_NEAR(mix[4], 4000, 2);
  EXPECT_NEAR(mix[8], 6000, 2);
  EXPECT_EQ(mix[11], 0);
  EXPECT_TRUE(reader.Finished(ramp));
}

TEST(SharedAudio, OpensTheDummyDeviceOnceAndCloses) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  AudioMixer* mixer = SharedAudioMixer();
  ASSERT_NE(mixer, nullptr);
  EXPECT_EQ(SharedAudioMixer(), mixer);
  EXPECT_GT(mixer->SampleRate(), 0);
  EXPECT_TRUE(mixer->PlayLoop(SquareTone(400)));
  CloseSharedAudio();
}

}  // namespace
}  // namespace platform
