// Speaking text: built-in speech of numbers, words and marks, pauses, keys, the engine road.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/core/backend.h"
#include "platform/core/win.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/log.h"
#include "speech/numbers.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "speech_fixture.h"

namespace {

using Sounds = std::vector<std::string>;

class FrontTest : public SpeechTest {
 protected:
  void SetUp() override {
    SpeechTest::SetUp();
    WriteTaggedRecording("_MENOS", 1);
    WriteTaggedRecording("_cinco", 2);
    WriteTaggedRecording("_dez", 3);
    WriteTaggedRecording("_zero", 4);
    WriteTaggedRecording("_sete", 8);
    uint8_t tag = 10;
    for (const char c : std::string("0123456789-.!:/ABCDGHRUVWfptwx,")) Char(c, tag++);
  }
  void Char(char c, uint8_t tag) { WriteTaggedRecording("_" + std::to_string(static_cast<uint8_t>(c)), tag, 300); }
  static std::string C(char c) { return "_" + std::to_string(static_cast<uint8_t>(c)); }

  Sounds Spoken(std::string_view text) {
    ClearPlayed();
    speech::SpeakText(text);
    return PlayedSounds();
  }
  void PressKey(char c) { host_.Type(std::string(1, c)); }
};

TEST_F(FrontTest, NumbersMinusSignsAndDigitRuns) {
  EXPECT_EQ(Spoken("-5"), (Sounds{"_MENOS", "_cinco"}));
  EXPECT_EQ(Spoken("12-34"), (Sounds{C('1'), C('2'), C('-'), C('3'), C('4')}));
  EXPECT_EQ(Spoken("1234567"), (Sounds{C('1'), C('2'), C('3'), C('4'), C('5'), C('6'), C('7')}));
  EXPECT_EQ(Spoken("007"), (Sounds{"_zero", "_zero", "_sete"}));
  EXPECT_EQ(Spoken("10.05"), (Sounds{"_dez", C('.'), "_zero", "_cinco"}));
}

TEST_F(FrontTest, SixDigitNumberIsOneContinuousRecording) {
  Sounds words;
  uint8_t tag = 100;
  std::istringstream list(speech::NumberToWords(123456));
  for (std::string word; list >> word;) {
    const std::string name = ("_" + word).substr(0, 8);
    if (std::find(words.begin(), words.end(), name) == words.end()) WriteTaggedRecording(name, tag++);
    words.push_back(name);
  }
  EXPECT_EQ(Spoken("123456"), words);
  EXPECT_EQ(PlayedBlocks().size(), 1u);
}

TEST_F(FrontTest, WebAddressesAndWords) {
  EXPECT_EQ(Spoken("wWw.ba"), (Sounds{C('w'), C('W'), C('w'), C('.'), C('B'), C('A')}));
  // The colon of "://" is its sound, not a pause; the slashes are their own sounds.
  EXPECT_EQ(Spoken("ftp://x"), (Sounds{C('f'), C('t'), C('p'), C(':'), C('/'), C('/'), C('x')}));
}

TEST_F(FrontTest, RepeatedMarksBecomeClicksFromTheFifthOn) {
  EXPECT_EQ(Spoken("!!!!!!"), (Sounds{C('!'), C('!'), C('!'), C('!'), "click", "click"}));
}

TEST_F(FrontTest, HyphensJoinWordsSilentlyAndPauseBetweenSpaces) {
  EXPECT_EQ(Spoken("guarda-chuva"),
            (Sounds{C('G'), C('U'), C('A'), C('R'), C('D'), C('A'), C('C'), C('H'), C('U'), C('V'), C('A')}));
  const auto elapsed = [this](int pauseMs) {
    speech::State().pauseAfterComma = pauseMs;
    ClearPlayed();
    const uint64_t start = platform::NowMs();
    speech::SpeakText("a - ba");
    EXPECT_EQ(PlayedSounds(), (Sounds{C('A'), C('B'), C('A')}));
    return platform::NowMs() - start;
  };
  EXPECT_EQ(elapsed(1000) - elapsed(0), 1000u);
}

TEST_F(FrontTest, PunctuationNamesPlayTheMarkBeforeItsPause) {
  speech::State().punctuationNames = true;
  speech::State().pauseAfterComma = 0;
  EXPECT_EQ(Spoken("a, ba"), (Sounds{C('A'), C(','), C('B'), C('A')}));
  EXPECT_EQ(Spoken("10.05"), (Sounds{"_dez", C('.'), "_zero", "_cinco"}));  // heard once, not twice
}

TEST_F(FrontTest, KeyDuringLongSentenceSilencesItAndTheNextLineIsOnlyWritten) {
  WriteTaggedRecording(C('A'), 120, 20000);
  WriteTaggedRecording(C('B'), 121, 20000);
  ScriptKeys("<Wait:100>x<NoEnter>");
  std::string sentence;
  for (int i = 0; i < 30; ++i) sentence += "ba ";
  const uint64_t start = platform::NowMs();
  speech::SpeakWriteLine(sentence);
  EXPECT_LE(PlayedBlocks().size(), 1u);
  EXPECT_LT(platform::NowMs() - start, 2000u);  // thirty seconds of speech were cut short
  ClearPlayed();
  speech::SpeakWriteLine("ab");
  EXPECT_TRUE(PlayedBlocks().empty());
  const std::string screen = host_.Written();
  EXPECT_NE(screen.find("ba ba ba"), std::string::npos);
  EXPECT_NE(screen.find("\nab\n"), std::string::npos);
  EXPECT_TRUE(host_.KeyAvailable());  // the key stays for its reader
}

TEST_F(FrontTest, SpeakWriteNumberWritesAndSpeaks) {
  ClearPlayed();
  speech::SpeakWriteNumber(-5);
  EXPECT_EQ(PlayedSounds(), (Sounds{"_MENOS", "_cinco"}));
  EXPECT_EQ(host_.Written().substr(0, 2), "-5");
}

std::vector<std::string> gEngineTexts;

TEST_F(FrontTest, EngineRoadHandsOverTheWholeTextUnlessAKeyWaits) {
  // An engine that keeps what it is handed.
  struct KeepingEngine final : speech::Engine {
    bool Open(int, int, int, const std::string&) override { return true; }
    void Close() override {}
    void Speak(std::string_view text) override { gEngineTexts.emplace_back(text); }
    bool Busy(int) override { return false; }
    void Stop() override {}
  };
  speech::SetEngine(speech::EngineKind::Sapi4, std::make_unique<KeepingEngine>());
  ASSERT_TRUE(speech::EngineOpen(0, 0, 0, speech::EngineKind::Sapi4, ""));
  speech::State().engineActive = true;
  const std::string log = root_ + "/speech.log";
  ASSERT_TRUE(speech::OpenSpeechLog(log));
  gEngineTexts.clear();

  speech::State().waitBeforeSound = false;
  speech::SpeakText("Ol\xE1, -12 www.x");
  EXPECT_EQ(gEngineTexts, (std::vector<std::string>{"Ol\xE1, -12 www.x"}));
  EXPECT_TRUE(speech::State().waitBeforeSound);
  EXPECT_TRUE(PlayedBlocks().empty());

  PressKey('q');
  speech::SpeakText("nada");
  EXPECT_EQ(gEngineTexts.size(), 1u);

  speech::State().engineActive = false;
  host_.WaitKey();
  speech::SpeakText("ba");
  speech::OpenSpeechLog(root_ + "/other.log");
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "Ol\xC3\xA1, -12 www.x\nnada\nba\n");
}

}  // namespace
