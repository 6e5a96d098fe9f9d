// The screen review on a fixed 80 x 25 screen: what is heard, where the review position
// goes, and that the screen is never changed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/review.h"
#include "headless_console.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/log.h"
#include "speech/state.h"

namespace {

std::vector<std::string> engineTexts;

// The speech services' sounds, each told first as "tone", "click", "char(x)", "sound(name)",
// "spell(text)" or "speak(text)".
class HeardSounds final : public editor::Sounds {
 public:
  std::vector<std::string> heard;

  void Click() override {
    Tell("click", {});
    speech_.Click();
  }
  void Tone() override {
    Tell("tone", {});
    speech_.Tone();
  }
  void CharSound(uint8_t code) override {
    const char ch = static_cast<char>(code);
    Tell("char", std::string_view(&ch, 1));
    speech_.CharSound(code);
  }
  void SoundFile(std::string_view name) override {
    Tell("sound", name);
    speech_.SoundFile(name);
  }
  void Speak(std::string_view text) override {
    Tell("speak", text);
    speech_.Speak(text);
  }
  void Spell(std::string_view text) override {
    Tell("spell", text);
    speech_.Spell(text);
  }
  void DialTones(std::string_view text) override { speech_.DialTones(text); }
  void SpeakTime() override { speech_.SpeakTime(); }
  void SpeakDate() override { speech_.SpeakDate(); }
  void OpenDocument(std::string_view word) override { speech_.OpenDocument(word); }
  void WaitUntilSilent() override { speech_.WaitUntilSilent(); }
  bool Busy() override { return speech_.Busy(); }
  void Silence() override { speech_.Silence(); }
  uint8_t ReadKeySpoken() override { return speech_.ReadKeySpoken(); }
  void RestartSpeech(int rate) override { speech_.RestartSpeech(rate); }

 private:
  void Tell(std::string_view sound, std::string_view detail) {
    std::string event(sound);
    if (!detail.empty()) event += "(" + std::string(detail) + ")";
    heard.push_back(event);
  }
  editor::Sounds& speech_ = editor::SpeechSounds();
};

class ReviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeTestFolder("review");
    ASSERT_FALSE(folder_.empty());
    platform::SetWindowsDirectory(folder_);
    // No installed voice: what is heard, and when, must not depend on one being built.
    platform::SetDataRoot(folder_);
    StartHeadlessConsole();
    speech::ResetSpeech();
    console::EnsureConsoleWindow();
    ASSERT_TRUE(speech::OpenSpeechLog(folder_ + "/speech"));
  }

  void TearDown() override {
    speech::ResetSpeech();
    speech::SetEngine(speech::EngineKind::Sapi4, nullptr);
    speech::OpenSpeechLog("/dev/null");
    StopHeadlessConsole();
    std::filesystem::remove_all(folder_);
  }

  // Writes text at a 1-based place in a colour.
  static void Put(int row, int column, const std::string& text, uint8_t attribute = 0x0F) {
    console::SetTextAttribute(attribute);
    console::MoveCursor(column, row);
    console::WriteChars(text);
    console::SetTextAttribute(0x0F);
  }

  // Runs one visit from (column, row) with the keys of a script line; the script must end
  // the visit with <Esc>. Returns what was heard, the entry and exit tones left out.
  std::string Visit(int column, int row, const std::string& keys) {
    std::vector<platform::ScriptItem> items;
    std::string error;
    EXPECT_TRUE(platform::ParseKeyScript(keys + "<NoEnter>", items, error)) << error;
    static_cast<platform::HeadlessBackend&>(platform::CurrentBackend()).SetScript(std::move(items));
    console::MoveCursor(column, row);
    sounds_.heard.clear();
    editor::ScreenReview(sounds_);
    const std::vector<std::string>& heard = sounds_.heard;
    EXPECT_GE(heard.size(), 3u);
    EXPECT_EQ(heard.front(), "tone");
    EXPECT_EQ(heard[heard.size() - 1], "tone");
    EXPECT_EQ(heard[heard.size() - 2], "tone");
    std::string joined;
    for (std::size_t i = 1; i + 2 < heard.size(); ++i) joined += (joined.empty() ? "" : " ") + heard[i];
    return joined;
  }

  std::vector<std::string> SpeechLog() const {
    std::ifstream file(folder_ + "/speech");
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

  std::string folder_;
  HeardSounds sounds_;
};

std::string RowOf(int row) {
  std::string text;
  for (int column = 1; column <= console::ScreenColumns; ++column)
    text += static_cast<char>(console::ScreenCharAt(column, row));
  return text;
}

TEST_F(ReviewTest, EntryPlaysOneToneAndEscTwoWithTheCursorBackOnTheEditedLine) {
  Put(12, 1, ">abrir gaveta");
  EXPECT_EQ(Visit(14, 12, "<Up><Up><PgUp><F6>0305<Esc>"),
            "speak(Entre linha e coluna) char(0) char(3) char(0) char(5)");
  EXPECT_EQ(console::CursorColumn(), 14);
  EXPECT_EQ(console::CursorRow(), 12);
  EXPECT_EQ(Visit(14, 12, "<Esc>"), "");
}

TEST_F(ReviewTest, MovesPastTheEdgesAnswerWithTonesAndAreCorrected) {
  Put(2, 80, "Z");
  // Left at column 1: the command's tone and the range check's tone.
  EXPECT_EQ(Visit(1, 3, "<Left><Ctrl+k><Esc>"), "tone tone speak(3 1)");
  // Right on 80 hears the last cell and goes just past it; on 81 a blank, then a tone.
  EXPECT_EQ(Visit(80, 2, "<Right><Ctrl+k><Right><Ctrl+k><Esc>"), "char(Z) speak(2 81) char( ) tone speak(2 80)");
  EXPECT_EQ(Visit(5, 1, "<Up><Ctrl+k><Esc>"), "tone speak(1 1)");
  EXPECT_EQ(Visit(5, 25, "<Enter><Ctrl+k><Down><Ctrl+l><Esc>"), "click tone speak(25 1) click tone speak(25 1)");
  EXPECT_EQ(Visit(5, 25, "<BS><Home><Ctrl+k><Esc>"), "char( ) speak(25 1)");
}

TEST_F(ReviewTest, LineCommandsReadTheRowAndLeaveThePosition) {
  Put(25, 1, "fim da tela");
  Put(24, 3, "a ponte");
  EXPECT_EQ(Visit(9, 4, "<PgDn><Ctrl+k><Esc>"), "speak(fim) speak(da) speak(tela) speak(25 1)");
  EXPECT_EQ(Visit(1, 25, "<Up><Ctrl+k><Esc>"), "speak(a) speak(ponte) speak(24 1)");
  // Space and the pairs TL and LL read the whole row, IL before and FL from the position.
  // A token that runs past the end of the range is read whole.
  EXPECT_EQ(Visit(6, 25, "<Space>tllLilFl<Ctrl+k><Esc>"),
            "speak(fim) speak(da) speak(tela) speak(fim) speak(da) speak(tela) speak(fim) speak(da) speak(tela) "
            "speak(fim) speak(da) speak(a) speak(tela) speak(25 6)");
  std::vector<std::string> expected = {"fim", "da", "tela", "25 1", "a", "ponte", "24 1"};
  const auto log = SpeechLog();
  ASSERT_GE(log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 7), expected);
}

TEST_F(ReviewTest, UnknownKeysAndPairsAnswerToneClickTone) {
  EXPECT_EQ(Visit(1, 1, "x<F2>tq<Esc>"), "tone click tone tone click tone tone click tone");
  // IL at column 1 has nothing before the position.
  EXPECT_EQ(Visit(1, 1, "il<Esc>"), "tone");
}

TEST_F(ReviewTest, TokensRunsAndConsonantWords) {
  Put(5, 1, std::string(30, '='));
  EXPECT_EQ(Visit(1, 5, "<F1><Ctrl+k><F1><Esc>"), "speak(===) click click click speak(5 31) click");
  Put(6, 1, "XYZ Rua 1999 rst -- a");
  EXPECT_EQ(Visit(1, 6, "<F1><F1><F1><F1><F1><F1><Esc>"),
            "spell(XYZ) speak(Rua) speak(1999) spell(rst) speak(--) speak(a)");
  // Accented letters belong to the word; a sign takes the word after it.
  Put(7, 1, "Capit\xE3o -n\xE3o");
  EXPECT_EQ(Visit(1, 7, "<F1><F1><Esc>"), "speak(Capit\xE3o) speak(-n\xE3o)");
}

TEST_F(ReviewTest, FieldsAreRunsOfOneColourCutAtDelimiters) {
  Put(1, 1, " Local: Cabine do navio   Pontos: 10 ", 0x70);
  Put(1, 38, "texto comum");
  // On Cabine: from after the first colon to before the second.
  EXPECT_EQ(Visit(10, 1, "tc<Ctrl+k><Esc>"), "speak(Cabine) speak(do) speak(navio) speak(Pontos) speak(1 10)");
  // On the 10: the rest of the coloured part only; Ctrl+F1 is the same command.
  EXPECT_EQ(Visit(35, 1, "tc<Ctrl+F1><Esc>"), "speak(10) speak(10)");
  // IC up to and including the position, FC from it.
  EXPECT_EQ(Visit(17, 1, "icfc<Esc>"), "speak(Cabine) speak(do) speak(o) speak(navio) speak(Pontos)");
  // Tab goes just past the field's closing delimiter.
  EXPECT_EQ(Visit(10, 1, "<Tab><Ctrl+k><Esc>"), "click speak(1 34)");
}

TEST_F(ReviewTest, GoToRowAndColumn) {
  EXPECT_EQ(Visit(1, 1, "<F6>1020<Ctrl+k><Esc>"),
            "speak(Entre linha e coluna) char(1) char(0) char(2) char(0) speak(10 20)");
  EXPECT_EQ(Visit(1, 1, "<F6>9901<Ctrl+k><Esc>"),
            "speak(Entre linha e coluna) char(9) char(9) char(0) char(1) tone speak(25 1)");
  // A key that is not a digit: two tones and no move.
  EXPECT_EQ(Visit(7, 3, "<F6>1x<Ctrl+k><Esc>"), "speak(Entre linha e coluna) char(1) tone tone speak(3 7)");
  EXPECT_EQ(Visit(7, 3, "<F6>0000<Ctrl+k><Esc>"),
            "speak(Entre linha e coluna) char(0) char(0) char(0) char(0) tone tone speak(1 1)");
}

TEST_F(ReviewTest, SearchFindsTheNextExactMatchAndRemembersTheText) {
  Put(2, 1, "A ilha de Quelvar");
  Put(5, 1, "Ilha grande");
  Put(8, 4, "uma ilha pequena");
  EXPECT_EQ(Visit(1, 1, "<F5>ilha<Enter><Ctrl+k><Ctrl+F5><Ctrl+k><Ctrl+F5><Ctrl+k><Esc>"),
            "speak(Qual texto) char(i) char(l) char(h) char(a) click speak(2 3) click speak(8 8) tone tone speak(8 8)");
  EXPECT_EQ(editor::ReviewSearchText(), "ilha");
  // The text is kept for later visits; a match at the position itself does not count.
  EXPECT_EQ(Visit(3, 2, "<Ctrl+F5><Ctrl+k><Esc>"), "click speak(8 8)");
  // Backspace takes back a character; Esc ends the typing without a search.
  EXPECT_EQ(Visit(1, 1, "<F5>Ix<BS>lha<Esc><Ctrl+k><Esc>"),
            "speak(Qual texto) char(I) char(x) sound(_DEL) char(x) char(l) char(h) char(a) speak(1 1)");
  EXPECT_EQ(editor::ReviewSearchText(), "Ilha");
  EXPECT_EQ(Visit(1, 1, "<F5><Enter><Esc>"), "speak(Qual texto) tone tone");
}

TEST_F(ReviewTest, WordsAndTheLineEnd) {
  Put(4, 3, "um  dois tres");
  EXPECT_EQ(Visit(1, 4, "<Ctrl+Right><Ctrl+k><Ctrl+Right><Ctrl+k><Ctrl+Right><Ctrl+k><Ctrl+Right><Ctrl+k><Esc>"),
            "click speak(4 3) click speak(4 7) click speak(4 12) tone speak(4 16)");
  EXPECT_EQ(Visit(16, 4, "<Ctrl+Left><Ctrl+k><Ctrl+Left><Ctrl+k><Ctrl+Left><Ctrl+k><Esc>"),
            "click speak(4 12) click speak(4 7) click speak(4 3)");
  EXPECT_EQ(Visit(3, 4, "<Ctrl+Left><Ctrl+k><End><Ctrl+k><Esc>"), "tone speak(4 1) speak(4 16)");
  Put(9, 1, "inicio");
  EXPECT_EQ(Visit(4, 9, "<Ctrl+Left><Ctrl+k><Esc>"), "tone speak(9 1)");
}

TEST_F(ReviewTest, FirstAndLastLetterOfTheScreen) {
  Put(3, 6, "1. Norte");
  Put(20, 2, "Sul 42");
  EXPECT_EQ(Visit(1, 10, "<Ctrl+PgUp><Ctrl+k><Ctrl+PgDn><Ctrl+k><Esc>"),
            "speak(1) speak(.) speak(Norte) speak(3 9) speak(Sul) speak(42) speak(20 4)");
}

TEST_F(ReviewTest, ReadingTheScreenFromThePositionAndUpToIt) {
  Put(1, 1, "norte");
  Put(2, 1, "sul");
  // IT stops before the position but reads a word it reaches whole; it ends on column 1.
  EXPECT_EQ(Visit(3, 2, "it<Ctrl+k><Esc>"), "speak(norte) click speak(sul) speak(2 1)");
  // TT reads row after row with a click between them and ends past the last text.
  const std::string all = Visit(1, 1, "tt<Ctrl+k><Esc>");
  EXPECT_EQ(all.substr(0, 37), "speak(norte) click speak(sul) click c");
  EXPECT_EQ(all.substr(all.size() - 11), "speak(25 1)");
}

TEST_F(ReviewTest, AKeyPressedDuringReadingStopsItAndIsTheNextCommand) {
  for (int row = 1; row <= 25; ++row) Put(row, 1, "linha " + std::to_string(row));
  const std::string heard = Visit(1, 1, "tt<Wait:100><Ctrl+k><Esc>");
  // Reading stopped part of the way down, and the key was not lost: it says where.
  const std::size_t at = heard.rfind("speak(");
  ASSERT_NE(at, std::string::npos);
  const std::string place = heard.substr(at + 6, heard.size() - at - 7);
  const int row = std::stoi(place);
  EXPECT_GT(row, 1);
  EXPECT_LT(row, 25);
  EXPECT_EQ(heard.find("speak(linha) speak(" + std::to_string(row + 1) + ")"), std::string::npos) << heard;
}

TEST_F(ReviewTest, ACellLeftInTheLastColumnDoesNotStallReading) {
  Put(10, 80, "#");
  Put(11, 1, "depois");
  EXPECT_EQ(Visit(1, 10, "<Space>ft<Ctrl+k><Esc>").substr(0, 34), "click speak(depois) click click cl");
}

TEST_F(ReviewTest, WithAnEngineOpenWholeRowsAreHandedOver) {
  // An engine that takes every text at once.
  struct TakingEngine final : speech::Engine {
    bool Open(int, int, int, const std::string&) override { return true; }
    void Close() override {}
    void Speak(std::string_view text) override { engineTexts.emplace_back(text); }
    bool Busy(int) override { return false; }
    void Stop() override {}
  };
  speech::SetEngine(speech::EngineKind::Sapi4, std::make_unique<TakingEngine>());
  ASSERT_TRUE(speech::EngineOpen(1, 0, 0, speech::EngineKind::Sapi4, ""));
  speech::State().engineActive = true;
  engineTexts.clear();
  Put(23, 1, "um navio ao longe");
  Put(24, 1, "e a ilha");
  Put(25, 5, "fim");
  EXPECT_EQ(Visit(4, 23, "ft<Ctrl+k><Esc>"), "speak(" + RowOf(23).substr(3) + ") click speak(" + RowOf(24) +
                                                 ") click speak(" + RowOf(25) + ") speak(25 8)");
  ASSERT_EQ(engineTexts.size(), 4u);
  EXPECT_EQ(engineTexts[1], RowOf(24));
  EXPECT_EQ(engineTexts[3], "25 8");
}

TEST_F(ReviewTest, CtrlKOnRow3Column15) { EXPECT_EQ(Visit(15, 3, "<Ctrl+k><Esc>"), "speak(3 15)"); }

TEST_F(ReviewTest, CtrlCCopiesTheWholeScreenAndReadingChangesNothing) {
  Put(1, 1, "primeira linha", 0x1E);
  Put(25, 75, "fim!!");
  const std::string before = console::ScreenText();
  std::vector<uint8_t> attributes;
  for (int row = 1; row <= 25; ++row)
    for (int column = 1; column <= 80; ++column) attributes.push_back(console::ScreenAttrAt(column, row));

  Visit(40, 13, "<Ctrl+c>tt<F6>0101<F5>linha<Enter>tc<Ctrl+PgDn><Esc>");

  EXPECT_EQ(console::ScreenText(), before);
  std::size_t i = 0;
  for (int row = 1; row <= 25; ++row)
    for (int column = 1; column <= 80; ++column) EXPECT_EQ(console::ScreenAttrAt(column, row), attributes[i++]);
  EXPECT_EQ(console::TextAttribute(), 0x0F);

  std::vector<char> buffer(4096, 'x');
  console::PasteFromClipboard(buffer.data(), buffer.size());
  const std::string copied(buffer.data());
  ASSERT_EQ(copied.size(), 25u * 82u);
  for (int row = 1; row <= 25; ++row) {
    EXPECT_EQ(copied.substr(static_cast<std::size_t>(row - 1) * 82, 82), RowOf(row) + "\r\n") << "row " << row;
  }
}

}  // namespace
