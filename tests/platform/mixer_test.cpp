// The mixer wave-out device: blocks come out of the mixer with the same samples, converted,
// and each block is reported done once its last sample has been mixed.

#include <gtest/gtest.h>

#include <memory>

#include "platform/audio/audio_device.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"

namespace {

// The done messages go through the headless backend's queue.
class MixerTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetBackend(std::make_unique<platform::HeadlessBackend>()); }
  void TearDown() override { platform::SetBackend(nullptr); }
};

int DoneMessages() {
  int done = 0;
  platform::Message message;
  while (platform::PeekMessage(message)) done += message.message == platform::MM_WOM_DONE;
  return done;
}

TEST_F(MixerTest, BlocksComeOutWithTheirSamplesAndAreReportedDone) {
  platform::AudioMixer mixer(11025, 1);
  const platform::WaveFormat format{11025, 8, 1};
  auto device = platform::OpenMixerWaveOut(mixer, format, 1);
  std::vector<uint8_t> first(300), second(200);
  for (std::size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i % 256);
  for (std::size_t i = 0; i < second.size(); ++i) second[i] = static_cast<uint8_t>(255 - i);
  platform::WaveHeader a{first.data(), 300}, b{second.data(), 200};
  ASSERT_EQ(platform::WaveOutPrepareHeader(device.get(), a), 0);
  ASSERT_EQ(platform::WaveOutPrepareHeader(device.get(), b), 0);
  ASSERT_EQ(platform::WaveOutWrite(device.get(), a), 0);
  ASSERT_EQ(platform::WaveOutWrite(device.get(), b), 0);
  EXPECT_EQ(platform::WaveOutUnprepareHeader(device.get(), a), platform::WAVERR_STILLPLAYING);
  DoneMessages();

  std::vector<int16_t> out(600);
  mixer.Render(out);
  // Same rate: one frame of delay, then the samples as 16-bit.
  EXPECT_EQ(out[0], 0);
  for (std::size_t i = 0; i < 300; ++i) ASSERT_EQ(out[i + 1], (first[i] - 128) * 256) << i;
  for (std::size_t i = 0; i < 200; ++i) ASSERT_EQ(out[i + 301], (second[i] - 128) * 256) << i;
  EXPECT_EQ(out[550], 0);
  EXPECT_EQ(DoneMessages(), 2);
  EXPECT_FALSE(device->Queued());
  EXPECT_EQ(platform::WaveOutClose(device), 0);
}

TEST_F(MixerTest, ResetSilencesAtOnceAndReportsEveryBlock) {
  platform::AudioMixer mixer(48000, 2);
  auto device = platform::OpenMixerWaveOut(mixer, {22050, 16, 2}, 1);
  std::vector<uint8_t> loud(4000, 0x40);
  platform::WaveHeader a{loud.data(), 4000}, b{loud.data(), 4000};
  platform::WaveOutPrepareHeader(device.get(), a);
  platform::WaveOutPrepareHeader(device.get(), b);
  platform::WaveOutWrite(device.get(), a);
  platform::WaveOutWrite(device.get(), b);
  DoneMessages();
  std::vector<int16_t> out(2 * 256);
  mixer.Render(out);
  EXPECT_EQ(out[200], 0x4040);
  EXPECT_EQ(platform::WaveOutClose(device), platform::WAVERR_STILLPLAYING);
  platform::WaveOutReset(device.get());
  EXPECT_EQ(DoneMessages(), 2);
  mixer.Render(out);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t v) { return v == 0; }));
  EXPECT_EQ(platform::WaveOutClose(device), 0);
  EXPECT_FALSE(mixer.HasVoices());
}

TEST_F(MixerTest, ABlockWrittenAfterTheOnesBeforeRanOutCountsAsAGapButNotAfterAReset) {
  platform::AudioMixer mixer(11025, 1);
  auto device = platform::OpenMixerWaveOut(mixer, {11025, 8, 1}, 1);
  std::vector<uint8_t> tone(100, 200);
  platform::WaveHeader a{tone.data(), 100}, b{tone.data(), 100}, c{tone.data(), 100};
  for (auto* h : {&a, &b, &c}) platform::WaveOutPrepareHeader(device.get(), *h);
  const uint64_t before = platform::SharedAudioCounts().underruns;
  std::vector<int16_t> out(300);

  // Written in time, two blocks play as one stream.
  platform::WaveOutWrite(device.get(), a);
  mixer.Render(std::span<int16_t>(out).first(50));
  platform::WaveOutWrite(device.get(), b);
  mixer.Render(out);
  EXPECT_EQ(platform::SharedAudioCounts().underruns, before);

  // The stream ran dry before the next block came: a gap the listener hears.
  DoneMessages();
  platform::WaveOutWrite(device.get(), a);
  mixer.Render(out);
  EXPECT_EQ(platform::SharedAudioCounts().underruns, before + 1);

  // A stop is not a gap, whether the sound had run out or was still playing.
  platform::WaveOutReset(device.get());
  platform::WaveOutWrite(device.get(), b);
  mixer.Render(std::span<int16_t>(out).first(20));
  platform::WaveOutReset(device.get());
  platform::WaveOutWrite(device.get(), c);
  mixer.Render(out);
  EXPECT_EQ(platform::SharedAudioCounts().underruns, before + 1);
  DoneMessages();
  EXPECT_EQ(platform::WaveOutClose(device), 0);
}

}  // namespace
