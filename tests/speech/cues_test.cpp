// Sound cues: recorded sounds by name and code, the click, the tone, dial tones, stopping.

#include <filesystem>

#include "platform/core/win.h"
#include "sound_fixture.h"
#include "speech/cues.h"
#include "speech/numbers.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

using namespace speech;

using CuesTest = SoundTest;

TEST_F(CuesTest, ToneThrowsAwayWaitingKeysAndPlaysItsPattern) {
  PressKey('a');
  PressKey('b');
  PlayTone();
  EXPECT_FALSE(host_.KeyAvailable());
  ASSERT_EQ(Blocks().size(), 1u);
  const auto& bytes = Blocks()[0].bytes;
  ASSERT_EQ(bytes.size(), 512u);
  EXPECT_EQ(bytes[0], 128);
  EXPECT_EQ(bytes[4], 64);
  EXPECT_EQ(bytes[509], 80);
  EXPECT_EQ(bytes[511], 128);
  EXPECT_EQ(WaveQueuedBlocks(), 0);  // it waited for the end
}

TEST_F(CuesTest, ClickIsNeverCompressed) {
  State().cutSpeech = true;
  PlayClick();
  EXPECT_TRUE(State().cutSpeech);
  ASSERT_EQ(Blocks().size(), 1u);
  const auto& bytes = Blocks()[0].bytes;
  ASSERT_EQ(bytes.size(), 256u);
  for (std::size_t i = 0; i < 64; ++i) {
    EXPECT_GE(bytes[i], 128);
    EXPECT_LE(bytes[i], 187);
  }
  EXPECT_TRUE(std::all_of(bytes.begin() + 64, bytes.end(), [](uint8_t b) { return b == 128; }));
}

TEST_F(CuesTest, SoundsAreFoundByCodeAndByName) {
  WriteWord("_65", 150);
  WriteWord("_menos", 160);
  WriteWord("beep", 170);
  PlayCharSound('A');
  PlaySoundFile("_MENOS");  // names are found without regard to case
  PlaySoundFile("beep");    // no underscore: the sound folder
  PlaySoundFile("_absent");
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_65", "_menos", "beep"}));
  EXPECT_EQ(host_.Written().find_first_not_of(" \n"), std::string::npos);  // nothing written
}

TEST_F(CuesTest, SpellingStopsAtAWaitingKey) {
  WriteWord("_97", 150);
  WriteWord("_98", 160);
  SpellText("ab");
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_97", "_98"}));
  platform::ClearNullWaveOutLog();
  PressKey('z');
  SpellText("ab");
  EXPECT_TRUE(Blocks().empty());
  EXPECT_TRUE(host_.KeyAvailable());
}

TEST_F(CuesTest, StopSpeechSilencesKeepsTheKeyAndWakesWaiters) {
  PlayWaveImage(WaveImage(11025, 8, 1, std::vector<uint8_t>(50000, 140)));
  EXPECT_EQ(WaveQueuedBlocks(), 1);
  const int wakes = host_.Wakes();
  PressKey('k');
  EXPECT_FALSE(SpeechBusy());  // the key stops everything
  EXPECT_TRUE(State().stopRequested);
  EXPECT_EQ(WaveQueuedBlocks(), 0);
  EXPECT_EQ(platform::NullWaveOutLog().resets, 1);
  EXPECT_EQ(host_.WaitKey(), 'k');
  // Whoever waits for messages was woken.
  EXPECT_GT(host_.Wakes(), wakes);
}

TEST_F(CuesTest, ReadKeySpokenPlaysTheKeysSound) {
  WriteWord("_120", 150);
  PressKey('x');
  EXPECT_EQ(ReadKeySpoken(), 'x');
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_120"}));
}

TEST_F(CuesTest, DialTonesUseTheirFilesAtNormalSpeed) {
  WriteWord("dtmf_1", 150);
  WriteWord("dtmf_X", 160);
  WriteWord("dtmf_#", 170);
  State().fastPlayback = true;
  const uint64_t start = platform::NowMs();
  PlayDialTones("1*,#?");
  EXPECT_TRUE(State().fastPlayback);
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"dtmf_1", "dtmf_X", "dtmf_#"}));
  for (const auto& opened : platform::NullWaveOutLog().opens) EXPECT_EQ(opened.sampleRate, 11025u);
  EXPECT_GE(platform::NowMs() - start, 1300u);  // three 100 ms pauses and the comma's second
}

TEST_F(CuesTest, KeptRecordingsFollowTheirFiles) {
  PlayCharSound('a');  // no recording yet
  WriteWord("_97", 150);
  PlayCharSound('a');
  WriteWord("_97", 160, 120);  // re-recorded while the game runs
  PlayCharSound('a');
  std::filesystem::remove(dir_ + "/_97.wav");
  PlayCharSound('a');
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_97", "_97"}));
  ASSERT_EQ(Blocks().size(), 2u);
  EXPECT_EQ(Blocks()[0].bytes[0], 150);
  EXPECT_EQ(Blocks()[1].bytes[0], 160);
}

// The kept copy plays exactly as the file does: blocks, compression, a short data chunk.
TEST_F(CuesTest, KeptRecordingPlaysAsTheFileDoes) {
  std::vector<uint8_t> samples(70000);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(128 + 60 * ((i / 40) % 2) - 30);
  const std::string longFile = WriteWave("long.wav", 11025, 8, 1, samples);
  std::vector<uint8_t> truncated = WaveImage(11025, 8, 1, std::vector<uint8_t>(3000, 140));
  truncated.resize(truncated.size() - 1000);
  const std::string shortFile = WriteFile("short.wav", truncated);
  const auto blocksOf = [&](auto play, const std::string& path, int& result) {
    platform::ClearNullWaveOutLog();
    result = play(path, ConfiguredPlayback());
    std::vector<std::vector<uint8_t>> blocks;
    for (const auto& block : Blocks()) blocks.push_back(block.bytes);
    return blocks;
  };
  for (const bool cut : {false, true, true}) {
    State().cutSpeech = cut;
    for (const std::string& path : {longFile, shortFile}) {
      int fromFile = 0, kept = 0;
      const auto expected = blocksOf(PlayWaveFile, path, fromFile);
      EXPECT_EQ(blocksOf(PlayRecordedFile, path, kept), expected) << path << " cut " << cut;
      EXPECT_EQ(kept, fromFile);
    }
  }
  int result = 0;
  EXPECT_EQ(blocksOf(PlayRecordedFile, longFile, result).size(), 2u);  // 65278 and 4722 bytes
  EXPECT_EQ(blocksOf(PlayRecordedFile, shortFile, result).size(), 1u);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(PlayRecordedFile(dir_ + "/absent.wav"), -1);
}

TEST_F(CuesTest, PlaySoundBufferWaitsForTheEnd) {
  const std::vector<uint8_t> samples(11025, 140);
  PlaySoundBuffer({samples, {11025, 8, 1}});
  EXPECT_GE(platform::NowMs(), 1000u);
  EXPECT_EQ(WaveQueuedBlocks(), 0);
  EXPECT_FALSE(State().waitBeforeSound);
}

}  // namespace

namespace {

std::vector<std::string> gToldSounds;
void KeepToldSound(std::string_view name) { gToldSounds.emplace_back(name); }

// A console that shows what is heard (the web page's screen reader) is told each recorded
// sound by name, a number's words by the word, missing files too; a key that stops the
// sound stops the telling.
TEST_F(CuesTest, ListenerIsToldEachRecordedSoundAsItPlays) {
  gToldSounds.clear();
  ListenToRecordedSounds(KeepToldSound);
  WriteWord("_65", 150);
  PlayCharSound('A');
  PlaySoundFile("_DEL");
  SpeakWords("dezessete um", true);
  PlayDialTones("7");
  EXPECT_EQ(gToldSounds, (std::vector<std::string>{"_65", "_DEL", "_dezessete", "_uma", "dtmf_7"}));
  PressKey('z');
  PlayCharSound('A');
  ListenToRecordedSounds(nullptr);
  PlaySoundFile("_DEL");
  EXPECT_EQ(gToldSounds.size(), 5u);
}

}  // namespace
