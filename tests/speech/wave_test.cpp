// Wave playback: the ring's blocks, keys, the speed options, the device and the files.

#include <cmath>
#include <filesystem>
#include <fstream>

#include "platform/core/win.h"
#include "sound_fixture.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/wave.h"

namespace {

using namespace speech;

std::vector<uint8_t> Ramp(std::size_t n) {
  std::vector<uint8_t> data(n);
  for (std::size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i % 200 + 20);
  return data;
}

// A 16-bit mono tone of 'samples' samples at 'hz', little-endian.
std::vector<uint8_t> Tone16(std::size_t samples, double hz, uint32_t rate) {
  std::vector<uint8_t> data(samples * 2);
  for (std::size_t i = 0; i < samples; ++i) {
    const auto v = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265 * hz * static_cast<double>(i) / rate));
    data[2 * i] = static_cast<uint8_t>(v & 0xFF);
    data[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  return data;
}

using WaveTest = SoundTest;

TEST_F(WaveTest, ShortEightBitSoundIsOnePaddedBlockEndingOnSilence) {
  const auto data = Ramp(100);
  EXPECT_EQ(PlayWaveFile(WriteWave("short.wav", 11025, 8, 1, data)), 0);
  ASSERT_EQ(Blocks().size(), 1u);
  const auto& bytes = Blocks()[0].bytes;
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_TRUE(std::equal(data.begin(), data.begin() + 99, bytes.begin()));
  EXPECT_EQ(bytes[99], 128);
  EXPECT_TRUE(std::all_of(bytes.begin() + 100, bytes.end(), [](uint8_t b) { return b == 128; }));
  // PlayWaveFile returns once the device has finished and closed.
  EXPECT_EQ(WaveQueuedBlocks(), 0);
  EXPECT_EQ(platform::NullWaveOutLog().closes, 1);
  EXPECT_GE(platform::NowMs(), 100u * 1000 / 11025);
}

TEST_F(WaveTest, SixteenBitBlocksArePaddedWithZeroAndKeepTheirLastSample) {
  const std::vector<uint8_t> data = {0x10, 0x20, 0x30, 0x40};
  EXPECT_EQ(PlayWaveFile(WriteWave("short16.wav", 22050, 16, 1, data)), 0);
  ASSERT_EQ(Blocks().size(), 1u);
  const auto& bytes = Blocks()[0].bytes;
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes[3], 0x40);
  EXPECT_TRUE(std::all_of(bytes.begin() + 4, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(WaveTest, LongFilesAreCutSoTheLastBlockHoldsMoreThan256Bytes) {
  EXPECT_EQ(PlayWaveFile(WriteWave("a.wav", 11025, 8, 1, Ramp(65600))), 0);
  ASSERT_EQ(Blocks().size(), 2u);
  EXPECT_EQ(Blocks()[0].bytes.size(), 65278u);
  EXPECT_EQ(Blocks()[1].bytes.size(), 322u);

  platform::ClearNullWaveOutLog();
  const auto data = Ramp(3 * 65534 + 70000);
  EXPECT_EQ(PlayWaveFile(WriteWave("b.wav", 11025, 8, 1, data)), 0);
  std::vector<std::size_t> sizes;
  for (const auto& block : Blocks()) sizes.push_back(block.bytes.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{65534, 65534, 65534, 65534, 4466}));
  // A full block keeps its own last byte; the others end on silence.
  EXPECT_EQ(Blocks()[0].bytes.back(), data[65533]);
  EXPECT_EQ(Blocks()[4].bytes.back(), 128);
}

TEST_F(WaveTest, WaitingKeyPreventsPlaybackAndStaysQueued) {
  PressKey('q');
  EXPECT_EQ(PlayWaveFile(WriteWave("a.wav", 11025, 8, 1, Ramp(1000))), 0);
  EXPECT_TRUE(Blocks().empty());
  EXPECT_TRUE(platform::NullWaveOutLog().opens.empty());
  ASSERT_TRUE(host_.KeyAvailable());
  EXPECT_EQ(host_.WaitKey(), 'q');
}

TEST_F(WaveTest, KeyDuringPlaybackStopsAtTheNextPollAndStaysQueued) {
  // Ten full blocks: about a minute of sound at 11025 Hz.
  const std::string path = WriteWave("long.wav", 11025, 8, 1, Ramp(10 * 65534));
  const uint64_t start = platform::NowMs();
  platform::ScheduleCallback(start + 100, [this] { PressKey('x'); });
  EXPECT_EQ(PlayWaveFile(path), 0);
  EXPECT_EQ(Blocks().size(), 4u);  // the ring was full when the key came
  EXPECT_LT(platform::NowMs() - start, 200u);
  EXPECT_EQ(platform::NullWaveOutLog().resets, 1);
  EXPECT_EQ(WaveQueuedBlocks(), 0);
  ASSERT_TRUE(host_.KeyAvailable());
  EXPECT_EQ(host_.WaitKey(), 'x');
}

TEST_F(WaveTest, WithoutKeyStopsPlaybackAKeyDoesNotInterrupt) {
  State().keyStopsPlayback = false;
  PressKey('q');
  EXPECT_EQ(PlayWaveFile(WriteWave("a.wav", 11025, 8, 1, Ramp(6 * 65534))), 0);
  EXPECT_EQ(Blocks().size(), 6u);
  EXPECT_EQ(platform::NullWaveOutLog().resets, 0);
  EXPECT_GE(platform::NowMs(), 6u * 65534 * 1000 / 11025);
}

TEST_F(WaveTest, FastPlaybackRaisesTheRateAndAFormatChangeDrainsTheDevice) {
  State().fastPlayback = true;
  PlayWaveImage(WaveImage(11025, 8, 1, Ramp(16537)));  // one second at the faster rate
  State().fastPlayback = false;
  PlayWaveImage(WaveImage(11025, 8, 1, Ramp(500)));
  const auto& log = platform::NullWaveOutLog();
  ASSERT_EQ(log.opens.size(), 2u);
  EXPECT_EQ(log.opens[0].sampleRate, 16537u);
  EXPECT_EQ(log.opens[1].sampleRate, 11025u);
  EXPECT_EQ(log.resets, 0);  // drained, not cut off
  ASSERT_EQ(Blocks().size(), 2u);
  EXPECT_GE(Blocks()[1].writtenAtMs, 1000u);
  while (WaveBusy()) platform::WaitMessage();
}

TEST_F(WaveTest, SameFormatKeepsTheDeviceOpenBetweenSounds) {
  PlayWaveImage(WaveImage(11025, 8, 1, Ramp(500)));
  PlayWaveImage(WaveImage(11025, 8, 1, Ramp(500)));
  EXPECT_EQ(platform::NullWaveOutLog().opens.size(), 1u);
  while (WaveBusy()) platform::WaitMessage();
  EXPECT_EQ(platform::NullWaveOutLog().closes, 1);
}

TEST_F(WaveTest, CutSpeechPlaysSixteenBitMonoAsEightBitInAboutHalfTheLength) {
  State().cutSpeech = true;
  const std::size_t samples = 20000;
  EXPECT_EQ(PlayWaveFile(WriteWave("voice.wav", 11025, 16, 1, Tone16(samples, 100, 11025))), 0);
  ASSERT_EQ(platform::NullWaveOutLog().opens.size(), 1u);
  EXPECT_EQ(platform::NullWaveOutLog().opens[0].bitsPerSample, 8);
  EXPECT_GT(BytesPlayed(), samples * 35 / 100);
  EXPECT_LT(BytesPlayed(), samples * 65 / 100);

  platform::ClearNullWaveOutLog();
  const auto stereo = Tone16(samples, 100, 11025);  // read as 10000 stereo frames
  EXPECT_EQ(PlayWaveFile(WriteWave("stereo.wav", 11025, 16, 2, stereo)), 0);
  EXPECT_EQ(platform::NullWaveOutLog().opens[0].bitsPerSample, 16);
  EXPECT_EQ(BytesPlayed(), stereo.size());

  // Under 1,000 samples a block is only converted.
  platform::ClearNullWaveOutLog();
  const auto shortTone = Tone16(800, 100, 11025);
  EXPECT_EQ(PlayWaveFile(WriteWave("short.wav", 11025, 16, 1, shortTone)), 0);
  ASSERT_EQ(Blocks().size(), 1u);
  ASSERT_EQ(Blocks()[0].bytes.size(), 800u);
  for (std::size_t i = 0; i < 799; ++i) ASSERT_EQ(Blocks()[0].bytes[i], shortTone[2 * i + 1] ^ 0x80) << i;
}

TEST_F(WaveTest, CutSpeechLeavesTheCallersDataAlone) {
  State().cutSpeech = true;
  const auto tone = Tone16(5000, 100, 11025);
  auto copy = tone;
  EXPECT_EQ(PlayPcm({copy, {11025, 16, 1}}), 0);
  EXPECT_EQ(copy, tone);
  while (WaveBusy()) platform::WaitMessage();
}

TEST_F(WaveTest, CompressBlockKeepsPeakToPeakStretches) {
  // A sawtooth with a period of 100 samples: peaks at 99, 199, ...
  std::vector<uint8_t> saw(4000);
  for (std::size_t i = 0; i < saw.size(); ++i) saw[i] = static_cast<uint8_t>(28 + (i % 100) * 2);
  auto work = saw;
  const std::size_t n = CompressBlock(work.data(), work.size(), 8, 11025);
  EXPECT_LT(n, 2600u);
  EXPECT_GT(n, 1400u);
  // Samples before the first peak stay where they are.
  EXPECT_TRUE(std::equal(saw.begin(), saw.begin() + 299, work.begin()));
  // Short blocks at the larger constants stay inside the block.
  std::vector<uint8_t> shortBlock(1100, 200);
  EXPECT_LE(CompressBlock(shortBlock.data(), shortBlock.size(), 8, 22050), shortBlock.size());
  std::vector<uint8_t> tiny(999, 150);
  EXPECT_EQ(CompressBlock(tiny.data(), tiny.size(), 8, 11025), 999u);
}

TEST_F(WaveTest, DeviceInUseIsRetriedThenReported) {
  platform::FailNullWaveOutOpens(3, platform::MMSYSERR_ALLOCATED);
  const uint64_t start = platform::NowMs();
  EXPECT_EQ(PlayPcm({Ramp(300), {11025, 8, 1}}), 0);
  EXPECT_GE(platform::NowMs() - start, 300u);
  EXPECT_EQ(Blocks().size(), 1u);
  while (WaveBusy()) platform::WaitMessage();

  platform::ClearNullWaveOutLog();
  platform::FailNullWaveOutOpens(1000, platform::MMSYSERR_ALLOCATED);
  const uint64_t later = platform::NowMs();
  EXPECT_EQ(PlayWaveFile(WriteWave("a.wav", 8000, 8, 1, Ramp(300))), platform::MMSYSERR_ALLOCATED);
  EXPECT_GE(platform::NowMs() - later, 9900u);
  EXPECT_LT(platform::NowMs() - later, 10100u);
  EXPECT_TRUE(Blocks().empty());

  platform::FailNullWaveOutOpens(1, platform::MMSYSERR_NODRIVER);
  EXPECT_EQ(PlayWaveFile(WriteWave("b.wav", 8000, 8, 1, Ramp(300))), platform::MMSYSERR_NODRIVER);
  EXPECT_EQ(PlayWaveFile(WriteWave("c.wav", 8000, 8, 1, Ramp(300))), 0);
}

TEST_F(WaveTest, MalformedFilesPlayNothingAndAnswerMinusOne) {
  const auto good = WaveImage(11025, 8, 1, Ramp(1000));
  EXPECT_EQ(PlayWaveFile(dir_ + "/missing.wav"), -1);
  EXPECT_EQ(PlayWaveFile(WriteFile("empty.wav", {})), -1);
  auto notRiff = good;
  notRiff[0] = 'X';
  EXPECT_EQ(PlayWaveFile(WriteFile("x.wav", notRiff)), -1);
  auto noFormat = good;
  std::copy_n("junk", 4, noFormat.begin() + 12);
  EXPECT_EQ(PlayWaveFile(WriteFile("nofmt.wav", noFormat)), -1);
  auto shortFormat = good;
  shortFormat[16] = 8;
  EXPECT_EQ(PlayWaveFile(WriteFile("shortfmt.wav", shortFormat)), -1);
  EXPECT_EQ(PlayWaveFile(WriteFile("cut.wav", {good.begin(), good.begin() + 30})), -1);
  auto noData = good;
  std::copy_n("LIST", 4, noData.begin() + 36);
  EXPECT_EQ(PlayWaveFile(WriteFile("nodata.wav", noData)), -1);
  EXPECT_TRUE(Blocks().empty());

  // A data chunk longer than the file: what is there plays, and the answer is still -1.
  auto longer = good;
  longer[42] = 0x10;  // 0x101000 + 1000 bytes claimed
  EXPECT_EQ(PlayWaveFile(WriteFile("long.wav", longer)), -1);
  EXPECT_EQ(BytesPlayed(), 1000u);

  // An empty data chunk is a well-formed silence.
  platform::ClearNullWaveOutLog();
  EXPECT_EQ(PlayWaveFile(WriteFile("zero.wav", WaveImage(11025, 8, 1, {}))), 0);
  EXPECT_TRUE(Blocks().empty());
}

TEST_F(WaveTest, FilesAreFoundWithoutRegardToCaseAndChunksAreSkipped) {
  auto image = WaveImage(11025, 8, 1, Ramp(300));
  // A "fact" chunk of 4 bytes between "fmt " and "data", and lower-case ids.
  const uint8_t fact[] = {'f', 'a', 'c', 't', 4, 0, 0, 0, 1, 2, 3, 4};
  image.insert(image.begin() + 36, std::begin(fact), std::end(fact));
  std::copy_n("riff", 4, image.begin());
  std::copy_n("DATA", 4, image.begin() + 48);
  WriteFile("Mixed_Case.WAV", image);
  EXPECT_EQ(PlayWaveFile(dir_ + "/mixed_case.wav"), 0);
  ASSERT_EQ(Blocks().size(), 1u);
  EXPECT_EQ(Blocks()[0].bytes[0], 20);

  platform::ClearNullWaveOutLog();
  PlayWaveImage(image);
  ASSERT_EQ(Blocks().size(), 1u);
  EXPECT_EQ(Blocks()[0].bytes[0], 20);
  while (WaveBusy()) platform::WaitMessage();
}

TEST_F(WaveTest, BrokenImagesPlayNothingOrOnlyWhatTheyHold) {
  const auto good = WaveImage(11025, 8, 1, Ramp(300));
  PlayWaveImage({good.begin(), good.begin() + 30});
  auto noData = good;
  std::copy_n("LIST", 4, noData.begin() + 36);
  PlayWaveImage(noData);
  auto hugeFormat = good;
  hugeFormat[19] = 0x7F;
  PlayWaveImage(hugeFormat);
  EXPECT_TRUE(Blocks().empty());
  auto claimsMore = good;
  claimsMore[43] = 0x01;  // 16 MB claimed, 300 bytes there
  PlayWaveImage(claimsMore);
  EXPECT_EQ(BytesPlayed(), 300u);
  while (WaveBusy()) platform::WaitMessage();
}

TEST_F(WaveTest, CaptureHoldsWhatWasQueuedInOrderAtOneRate) {
  const std::string path = dir_ + "/capture.wav";
  platform::StartAudioCapture(path);
  // 16-bit mono at the capture rate comes through unchanged.
  std::vector<uint8_t> first(400);
  for (std::size_t i = 0; i < 200; ++i) {
    const auto v = static_cast<int16_t>(100 * static_cast<int>(i) - 10000);
    first[2 * i] = static_cast<uint8_t>(v & 0xFF), first[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
  }
  EXPECT_EQ(PlayPcm({first, {platform::CaptureRate, 16, 1}}), 0);
  // 8-bit at half the rate: twice the samples, interpolated.
  const std::vector<uint8_t> second(300, 192);
  EXPECT_EQ(PlayPcm({second, {platform::CaptureRate / 2, 8, 1}}), 0);
  while (WaveBusy()) platform::WaitMessage();

  const auto captured = platform::CapturedAudio();
  // 200 samples, then 300 * 2 - 1 samples.
  ASSERT_EQ(captured.size(), 200u + 599u);
  for (std::size_t i = 0; i < 200; ++i) ASSERT_EQ(captured[i], 100 * static_cast<int>(i) - 10000) << i;
  EXPECT_EQ(captured[200], 64 * 256);
  EXPECT_EQ(captured[200 + 596], 64 * 256);
  EXPECT_EQ(captured[200 + 597], 32 * 256);  // half-way to the block's closing silence
  EXPECT_EQ(captured.back(), 0);

  ASSERT_TRUE(platform::WriteAudioCapture());
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 44u + 2 * captured.size());
  EXPECT_EQ(bytes[24] | (bytes[25] << 8) | (bytes[26] << 16), static_cast<int>(platform::CaptureRate));
  EXPECT_EQ(static_cast<int16_t>(bytes[44] | (bytes[45] << 8)), captured[0]);
}

// The strength of one frequency in a stretch of samples (a single DFT bin).
double Level(const std::vector<int16_t>& samples, std::size_t from, std::size_t count, double hz, double rate) {
  double re = 0, im = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double phase = 2 * 3.14159265358979 * hz * static_cast<double>(i) / rate;
    re += samples[from + i] * std::cos(phase);
    im += samples[from + i] * std::sin(phase);
  }
  return std::hypot(re, im) / static_cast<double>(count);
}

TEST_F(WaveTest, CaptureOfOtherRatesHasNoImagesOrAliases) {
  platform::StartAudioCapture(dir_ + "/capture.wav");
  // 3 kHz at 11025 Hz: a linear upsampling would leave an image at 8025 Hz.
  EXPECT_EQ(PlayPcm({Tone16(11025, 3000, 11025), {11025, 16, 1}}), 0);
  while (WaveBusy()) platform::WaitMessage();
  auto captured = platform::CapturedAudio();
  ASSERT_NEAR(static_cast<double>(captured.size()), 22050, 2);
  const double tone = Level(captured, 4410, 13230, 3000, 22050);
  EXPECT_GT(tone, 5000);
  EXPECT_LT(Level(captured, 4410, 13230, 8025, 22050), tone / 1000) << "image above 60 dB below the tone";

  // 14 kHz at 44100 Hz is above what 22050 Hz holds: it must go, not fold to 8050 Hz.
  platform::StartAudioCapture(dir_ + "/capture.wav");
  EXPECT_EQ(PlayPcm({Tone16(44100, 14000, 44100), {44100, 16, 1}}), 0);
  while (WaveBusy()) platform::WaitMessage();
  captured = platform::CapturedAudio();
  EXPECT_LT(Level(captured, 4410, 13230, 8050, 22050), 12);
}

TEST_F(WaveTest, CaptureKeepsOnlyWhatPlayedBeforeAKey) {
  platform::StartAudioCapture(dir_ + "/capture.wav");
  // Four seconds of tone; a key comes after one second.
  const uint64_t start = platform::NowMs();
  platform::ScheduleCallback(start + 1000, [this] { PressKey('x'); });
  EXPECT_EQ(PlayPcm({Tone16(4 * 22050, 440, 22050), {22050, 16, 1}}), 0);
  while (WaveBusy()) platform::WaitMessage();
  const auto heard = static_cast<double>(platform::NowMs() - start) / 1000;
  EXPECT_NEAR(static_cast<double>(platform::CapturedAudio().size()) / 22050, heard, 0.01);
  EXPECT_LT(heard, 1.2);
}

}  // namespace
