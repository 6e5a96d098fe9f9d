// The SAPI 4 adapter over espeak-ng itself: voices, sound on the wave device, a key
// silencing speech, the rate, a WAV file destination, and the engine dispatch's SAPI 4 kind.

#include <cmath>
#include <fstream>
#include <iterator>

#include "console/keyboard.h"
#include "platform/audio/wave_out.h"
#include "platform/core/win.h"
#include "sapi_fixture.h"
#include "speech/engine.h"
#include "speech/sapi/espeak_objects.h"
#include "speech/sapi/sapi4.h"
#include "speech/state.h"

namespace {

class EspeakTest : public SapiTest {
 protected:
  void SetUp() override {
    SapiTest::SetUp();
    if (speech::sapi::EspeakModes().empty()) GTEST_SKIP() << "espeak-ng cannot start (no data)";
  }
  void TearDown() override {
    Sapi4Stop();
    Sapi4Close();
    SapiTest::TearDown();
  }
  // Speaks and lets the program wait until the engine is idle; the seconds of sound written.
  double SpeakAndWait(std::string_view text) {
    const std::size_t first = platform::NullWaveOutLog().blocks.size();
    Sapi4Speak(text);
    EXPECT_TRUE(PumpUntil(Sapi4Idle));
    double seconds = 0;
    const auto& blocks = platform::NullWaveOutLog().blocks;
    for (std::size_t i = first; i < blocks.size(); ++i) {
      seconds +=
          static_cast<double>(blocks[i].bytes.size()) / (blocks[i].format.sampleRate * blocks[i].format.BlockAlign());
    }
    return seconds;
  }
};

TEST_F(EspeakTest, TheVoicesStartWithBrazilianPortugueseAndHaveDistinctModes) {
  const auto modes = speech::sapi::EspeakModes();
  EXPECT_EQ(modes.front().language, "pt-br");
  for (std::size_t i = 1; i < modes.size(); ++i) {
    EXPECT_FALSE(modes[i].gModeID == modes[0].gModeID) << modes[i].szSpeaker;
    EXPECT_NE(modes[i].szSpeaker.rfind("mb/", 0), 0u) << "MBROLA voices are not offered";
  }
}

TEST_F(EspeakTest, ATextIsSpokenOnTheWaveDeviceAndTheCountersFollowIt) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  {
    // Busy from the moment the text is handed over, before any sound was made.
    const auto held = speech::sapi::HoldEspeak();
    Sapi4Speak("Voc\xEA est\xE1 no conv\xE9s do navio.");
    console::PumpMessages();
    EXPECT_TRUE(Sapi4Busy(true));
    EXPECT_TRUE(platform::NullWaveOutLog().blocks.empty());
  }
  EXPECT_TRUE(PumpUntil(Sapi4Idle));
  const auto& log = platform::NullWaveOutLog();
  ASSERT_FALSE(log.blocks.empty());
  EXPECT_EQ(log.blocks[0].format.bitsPerSample, 16);
  EXPECT_EQ(log.blocks[0].format.channels, 1);
  double seconds = 0, energy = 0;
  std::size_t samples = 0;
  for (const auto& block : log.blocks) {
    seconds += static_cast<double>(block.bytes.size()) / (block.format.sampleRate * 2);
    for (std::size_t i = 0; i + 1 < block.bytes.size(); i += 2) {
      const auto v = static_cast<int16_t>(block.bytes[i] | (block.bytes[i + 1] << 8));
      energy += static_cast<double>(v) * v;
      ++samples;
    }
  }
  EXPECT_GT(seconds, 1.0);
  EXPECT_LT(seconds, 5.0);
  EXPECT_GT(std::sqrt(energy / static_cast<double>(samples)), 300.0) << "speech, not silence";
}

TEST_F(EspeakTest, ALoneDigitAndBlankTexts) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  EXPECT_GT(SpeakAndWait("7"), 0.2);
  EXPECT_EQ(SpeakAndWait("   "), 0.0);
}

TEST_F(EspeakTest, AFasterSpeedGivesShorterSpeech) {
  const std::string text = "A ilha fica a oeste, al\xE9m do recife de coral.";
  ASSERT_TRUE(Sapi4Open(1, 100, 0, ""));
  const double slow = SpeakAndWait(text);
  Sapi4Close();
  ASSERT_TRUE(Sapi4Open(1, 400, 0, ""));
  const double fast = SpeakAndWait(text);
  EXPECT_LT(fast * 2, slow);
}

TEST_F(EspeakTest, AKeyWaitingQueuesNothingAndAKeyDuringSpeechSilencesIt) {
  ASSERT_TRUE(Sapi4Open(1, 0, 0, ""));
  PressKey('a');
  Sapi4Speak("Bom dia");
  EXPECT_FALSE(platform::BackgroundWorkPending());
  EXPECT_FALSE(Sapi4Busy(false));
  while (console::KeyAvailable()) console::WaitKey();

  Sapi4Speak(std::string(40, 'a') + " Uma descri\xE7\xE3o longa do navio, do mar, do c\xE9u e da ilha distante.");
  ASSERT_TRUE(PumpUntil([] { return Sapi4Busy(false) && !platform::BackgroundWorkPending(); }));
  const int resetsBefore = platform::NullWaveOutLog().resets;
  Sapi4Stop();
  EXPECT_GT(platform::NullWaveOutLog().resets, resetsBefore);
  EXPECT_FALSE(Sapi4Busy(false));
  // Nothing of the silenced text plays on later.
  PumpUntil([] { return !platform::BackgroundWorkPending(); });
  const std::size_t blocks = platform::NullWaveOutLog().blocks.size();
  for (int i = 0; i < 50; ++i) PumpOnce();
  EXPECT_EQ(platform::NullWaveOutLog().blocks.size(), blocks);
  EXPECT_FALSE(Sapi4Busy(false));
}

TEST_F(EspeakTest, AFileDestinationGetsAWaveFile) {
  const std::string path = dir_ + "/fala.wav";
  ASSERT_TRUE(Sapi4Open(1, 0, 0, path));
  Sapi4Speak("Terra \xE0 vista!");
  ASSERT_TRUE(PumpUntil(Sapi4Idle));
  Sapi4Close();
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 44u + 22050u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  uint32_t dataSize = 0;
  for (int i = 3; i >= 0; --i)
    dataSize = (dataSize << 8) | static_cast<uint8_t>(bytes[40 + static_cast<std::size_t>(i)]);
  EXPECT_EQ(dataSize, bytes.size() - 44);
  EXPECT_TRUE(platform::NullWaveOutLog().blocks.empty());
}

TEST_F(EspeakTest, TheDispatchOpensSapi4AndWaitsUntilTheEngineIsIdle) {
  ASSERT_TRUE(speech::EngineOpen(0, 0, 0, speech::EngineKind::Sapi4, ""));
  speech::EngineSpeak("Ol\xE1");
  EXPECT_TRUE(PumpUntil(Sapi4Idle));
  speech::EngineClose();
  EXPECT_FALSE(platform::NullWaveOutLog().blocks.empty());
}

TEST(EspeakMapping, SpeedAndPitchAreClampedToEspeaksRanges) {
  EXPECT_EQ(speech::sapi::EspeakRateForSpeed(5), 80);
  EXPECT_EQ(speech::sapi::EspeakRateForSpeed(200), 200);
  EXPECT_EQ(speech::sapi::EspeakRateForSpeed(1000), 450);
  EXPECT_EQ(speech::sapi::EspeakPitchForHz(10), 0);
  EXPECT_EQ(speech::sapi::EspeakPitchForHz(135), 50);
  EXPECT_EQ(speech::sapi::EspeakPitchForHz(65535), 100);
}

}  // namespace
