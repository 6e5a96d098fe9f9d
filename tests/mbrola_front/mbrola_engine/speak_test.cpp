// The front end speaking through our own MBROLA-compatible library: how long the sound is
// against the durations handed over, the phoneme log, a key silencing a sentence, and the
// engine's busy answer.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "binding_fixture.h"
#include "console/keyboard.h"
#include "mbrola_front/binding.h"
#include "mbrola_front/mbrola_engine.h"
#include "platform/audio/wave_out.h"
#include "platform/core/win.h"
#include "speech/wave.h"

namespace {

using namespace mbrola_front;

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// The phoneme or pause of a phoneme line and its milliseconds.
std::pair<std::string, int> NameAndMs(const std::string& line) {
  std::istringstream fields(line);
  std::string name;
  int ms = 0;
  fields >> name >> ms;
  return {name, ms};
}

bool IsPhonemeLine(const std::string& line) { return !line.empty() && line[0] != ';'; }

// The milliseconds a list of phoneme lines asks for.
int TotalDurationMs(const std::vector<std::string>& lines) {
  int total = 0;
  for (const auto& line : lines) {
    if (IsPhonemeLine(line)) total += NameAndMs(line).second;
  }
  return total;
}

// The pause a list of phoneme lines opens with, before its first phoneme.
int LeadingPauseMs(const std::vector<std::string>& lines) {
  const auto first = std::find_if(lines.begin(), lines.end(), IsPhonemeLine);
  if (first == lines.end()) return 0;
  const auto [name, ms] = NameAndMs(*first);
  return name == "_" ? ms : 0;
}

using SpeakTest = BindingTest;

// The samples played, blocks joined.
std::vector<uint8_t> Played(const std::vector<std::vector<uint8_t>>& blocks) {
  std::vector<uint8_t> played;
  for (const auto& block : blocks) played.insert(played.end(), block.begin(), block.end());
  return played;
}

// Milliseconds of silence (exact zeros) that 16-bit samples at 16000 Hz begin with.
double LeadingSilenceMs(const std::vector<uint8_t>& bytes) {
  std::size_t at = 0;
  while (at + 1 < bytes.size() && bytes[at] == 0 && bytes[at + 1] == 0) at += 2;
  return static_cast<double>(at) / 32.0;
}

constexpr const char* Sentence =
    "Voc\xEA sonha com aventuras e lutas at\xE9 a morte entre piratas, envolvendo est\xE1tuas de ouro "
    "e ba\xFAs com moedas de ouro muito antigas.";

TEST_F(SpeakTest, ASentenceSoundsAsLongAsItsPhonemesAndEveryLineIsLogged) {
  const std::string log = root_ + "/pho.txt";
  ASSERT_TRUE(OpenPhoLog(log));
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak("Ol\xE1, mundo."));
  ClosePhoLog();

  const auto lines = ReadLines(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], ";");
  EXPECT_NE(std::find(lines.begin(), lines.end(), ";Ol\xC3\xA1"), lines.end());  // UTF-8 in the log
  EXPECT_NE(std::find(lines.begin(), lines.end(), ";mundo"), lines.end());
  const int ms = TotalDurationMs(lines);
  EXPECT_GT(ms, 500);
  EXPECT_LT(ms, 3000);

  // 16-bit samples at 16000 Hz: 32 bytes a millisecond; the last block may be padded. With
  // nothing played before, the reply starts at its first sound: its leading pause is left out.
  const int lead = LeadingPauseMs(lines);
  EXPECT_GT(lead, 100);
  const double played = static_cast<double>(BytesPlayed()) / 32.0;
  EXPECT_NEAR(played, ms - lead, ms * 0.05 + 20) << BytesPlayed() << " bytes for " << ms << " ms";
  // Not silence: a vowel's samples swing well away from zero.
  int peak = 0;
  for (const auto& block : Blocks()) {
    for (std::size_t i = 0; i + 1 < block.size(); i += 2) {
      const int sample = static_cast<int16_t>(block[i] | (block[i + 1] << 8));
      peak = std::max(peak, std::abs(sample));
    }
  }
  EXPECT_GT(peak, 3000);
  // A short first block, so that playback starts at once, then blocks of about half a second.
  ASSERT_GE(Blocks().size(), 2u);
  EXPECT_GE(Blocks()[0].size(), FirstBlockBytes);
  EXPECT_LT(Blocks()[0].size(), 16000u);
  for (std::size_t i = 1; i + 1 < Blocks().size(); ++i) {
    EXPECT_GE(Blocks()[i].size(), 8000u);
    EXPECT_LE(Blocks()[i].size(), 32000u);
  }
}

// Played or written to a file, a reply is the same samples: the early first block changes
// where blocks end, not what is heard; only the leading pause of a reply that starts after
// quiet is not played.
TEST_F(SpeakTest, PlayedSamplesAreTheSamplesOfTheWholeUtterance) {
  const std::string path = root_ + "/frase.wav";
  FrontEndSetOutputFile(path);
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak(Sentence));
  FrontEndClose();
  std::ifstream file(path, std::ios::binary);
  std::vector<uint8_t> written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(written.size(), 44u + 5 * 32000);
  written.erase(written.begin(), written.begin() + 44);
  const double lead = LeadingSilenceMs(written);
  EXPECT_GT(lead, 100);  // the file keeps the leading pause
  written.erase(written.begin(), written.begin() + static_cast<std::ptrdiff_t>(lead * 32));

  FrontEndSetOutputFile("");
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak(Sentence));
  const std::vector<uint8_t> played = Played(Blocks());
  EXPECT_TRUE(played == written) << played.size() << " bytes played, " << written.size() << " written";
}

// A reply starts at its first sound when nothing has played for as long as its leading
// pause, or when a key stopped speech; a reply that follows another keeps the pause
// between them as it is, and one that comes after a shorter quiet loses only that much.
TEST_F(SpeakTest, TheLeadingPauseIsPlayedOnlyWhereItPartsReplies) {
  const std::string log = root_ + "/pho.txt";
  ASSERT_TRUE(OpenPhoLog(log));
  ASSERT_TRUE(Open("mbrola.dll"));
  const auto speakAndPlay = [this] {
    platform::ClearNullWaveOutLog();
    EXPECT_TRUE(FrontEndSpeak("Uma porta de madeira grande."));
    while (speech::WaveBusy()) platform::WaitMessage();
    return LeadingSilenceMs(Played(Blocks()));
  };
  EXPECT_EQ(speakAndPlay(), 0.0);  // nothing played before
  ClosePhoLog();
  const int lead = LeadingPauseMs(ReadLines(log));
  ASSERT_GT(lead, 100);
  EXPECT_NEAR(speakAndPlay(), lead, 5);  // straight after the first: the whole pause
  console::Pause(100);
  EXPECT_NEAR(speakAndPlay(), lead - 100, 5);
  console::Pause(static_cast<uint16_t>(lead));
  EXPECT_EQ(speakAndPlay(), 0.0);
  Front().Stop();  // a key stopped speech: the answer comes at once
  EXPECT_EQ(speakAndPlay(), 0.0);
}

TEST_F(SpeakTest, AKeyPressedMidSentenceStopsIt) {
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak(Sentence));
  while (Front().Busy(0)) console::Pause(50);
  const std::size_t whole = BytesPlayed();
  ASSERT_GT(whole, 5u * 32000);  // several seconds

  platform::ClearNullWaveOutLog();
  const uint64_t start = platform::NowMs();
  platform::ScheduleCallback(start + 300, [this] { PressKey('q', 'Q'); });
  FrontEndSpeak(Sentence);
  EXPECT_LT(BytesPlayed(), whole / 2);
  EXPECT_GE(platform::NullWaveOutLog().resets, 1);
  EXPECT_FALSE(Front().Busy(0));
  EXPECT_EQ(speech::WaveQueuedBlocks(), 0);
  ASSERT_TRUE(console::KeyAvailable());  // the key is left for the reader
  EXPECT_EQ(console::WaitKey(), 'q');
}

TEST_F(SpeakTest, BusyAnswersWhileSoundPlaysAndAWaitingKeyStopsIt) {
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak("Uma porta de madeira grande."));
  EXPECT_TRUE(Front().Busy(1));
  EXPECT_GT(speech::WaveQueuedBlocks(), 0);
  PressKey('z', 'Z');
  EXPECT_FALSE(Front().Busy(1));
  EXPECT_EQ(speech::WaveQueuedBlocks(), 0);
  EXPECT_TRUE(console::KeyAvailable());
}

TEST_F(SpeakTest, TheOutputFileHoldsTheWholeUtterance) {
  const std::string path = root_ + "/ola.wav";
  const std::string log = root_ + "/pho.txt";
  ASSERT_TRUE(OpenPhoLog(log));
  FrontEndSetOutputFile(path);
  ASSERT_TRUE(Open("mbrola.dll"));
  ASSERT_TRUE(FrontEndSpeak("Ol\xE1, mundo."));
  FrontEndClose();
  ClosePhoLog();
  EXPECT_TRUE(Blocks().empty());
  const auto size = std::filesystem::file_size(path);
  const int ms = TotalDurationMs(ReadLines(log));
  EXPECT_NEAR(static_cast<double>(size - 44) / 32.0, ms, ms * 0.05 + 20);
  // QUELVAR_KEEP_SPEECH=file keeps the recording for listening or a spectrogram.
  if (const char* keep = std::getenv("QUELVAR_KEEP_SPEECH"); keep != nullptr && *keep != '\0') {
    std::filesystem::copy_file(path, keep, std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace
