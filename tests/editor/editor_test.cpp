#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "console/screen.h"
#include "editor/editor.h"
#include "editor_fixture.h"
#include "platform/core/win.h"
#include "speech/cues.h"
#include "speech/state.h"

namespace {

using Requests = std::vector<std::string>;

class Editor : public EditorTest {
 protected:
  // Edits text on row 5 from column 1, 20 characters, all shown.
  uint8_t Edit(std::string& text, int maxLen = 20, int width = 20, int column = 1, int row = 5) {
    return editor::EditLine(text, column, row, maxLen, width, sounds_);
  }
  std::string EditWith(const std::string& keys, std::string text, int maxLen = 20) {
    Type(keys);
    Edit(text, maxLen, maxLen);
    return text;
  }
  static std::string Clipboard() { return platform::ClipboardGetText().value_or("<none>"); }
};

TEST_F(Editor, ReadLineGivesTheTypedTextOrBlanksItOnEsc) {
  console::MoveCursor(1, 10);
  console::WriteChars(">");
  Type("abc<Enter>");
  std::string text = "old";
  editor::ReadLine(text, sounds_);
  EXPECT_EQ(text, "abc");
  EXPECT_EQ(Row(10).substr(0, 5), ">abc ");
  EXPECT_EQ(console::CursorRow(), 11);
  EXPECT_EQ(console::CursorColumn(), 1);
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "char 98", "char 99"}));

  console::WriteChars(">");
  Type("abc<Esc>");
  editor::ReadLine(text, sounds_);
  EXPECT_EQ(text, "");
  EXPECT_EQ(Row(11).substr(0, 5), ">    ");
  EXPECT_EQ(console::CursorRow(), 12);
}

TEST_F(Editor, EscAfterALongLineBlanksOnlyItsOwnRow) {
  console::MoveCursor(1, 11);
  console::WriteChars("marker");
  console::MoveCursor(1, 10);
  Type(std::string(100, 'x') + "<Esc>");
  std::string text;
  editor::ReadLine(text, sounds_);
  EXPECT_EQ(text, "");
  EXPECT_EQ(Row(10), std::string(80, ' '));
  EXPECT_EQ(Row(11).substr(0, 6), "marker");
}

TEST_F(Editor, FirstTypedKeyReplacesAProposedTextAndAMoveFirstInserts) {
  EXPECT_EQ(EditWith("x<Enter>", "look"), "x");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "click", "char 120"}));
  EXPECT_EQ(EditWith("<Right>x<Enter>", "look"), "lxook");
  EXPECT_EQ(TakeRequests(), (Requests{"char 108", "char 120"}));
  // A control code as the first key clicks but keeps the text.
  EXPECT_EQ(EditWith("<Ctrl+a><Enter>", "look"), "look");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "click"}));
}

TEST_F(Editor, TypingIntoAFullFieldLosesItsLastCharacterAndPastTheEndIsRefused) {
  EXPECT_EQ(EditWith("<Right>x<End>y<Enter>", "abcde", 5), "axbcd");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "char 120", "tone"}));
  // Delete has nothing to remove past the end either.
  EXPECT_EQ(EditWith("<End><Del><Enter>", "abc", 3), "abc");
  EXPECT_EQ(TakeRequests(), (Requests{"tone"}));
}

TEST_F(Editor, BackspaceAtTheStartIsRefusedElsewhereItDeletesAloud) {
  EXPECT_EQ(EditWith("<BS><End><BS><Enter>", "abc"), "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"tone", "file _DEL", "char 99"}));
}

TEST_F(Editor, ShiftSelectsAndShiftDeleteRemovesTheSelection) {
  EXPECT_EQ(EditWith("<Shift+Right><Shift+Right><Shift+Right><Shift+Del><Enter>", "abcdef"), "def");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "char 98", "char 99", "file _DEL", "char 97", "char 98", "char 99"}));
  // A key without Shift drops the selection first: Delete then removes one character.
  EXPECT_EQ(EditWith("<Shift+Right><Shift+Right><Del><Enter>", "abcdef"), "abdef");
  EXPECT_EQ(TakeRequests().back(), "char 99");
  // A selection made leftwards is the same selection.
  EXPECT_EQ(EditWith("<End><Shift+Left><Shift+Left><Shift+Del><Enter>", "abcdef"), "abcd");
}

// Keys typed while the program was busy are edited as each was typed, whatever the keys
// behind them hold down.
TEST_F(Editor, KeysTypedAheadKeepTheirOwnModifiers) {
  // End selects nothing, so the Shift+Delete after End and Shift+End removes a blank, not
  // the text.
  TypeAhead("<Home><End><Shift+End>");
  EXPECT_EQ(EditWith("<Shift+Del><Enter>", "abc"), "abc");
  EXPECT_EQ(TakeRequests(), (Requests{"file _DEL", "char 32"}));
  // Right sounds its character; Alt+Right after it names its letter.
  TypeAhead("<Right><Alt+Right>");
  EXPECT_EQ(EditWith("<Enter>", "ab"), "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "file _FON98"}));
  // Right moves one character, Ctrl+Right after it to the next word.
  TypeAhead("<Right><Ctrl+Right>");
  EXPECT_EQ(EditWith("X<Enter>", "ab cd"), "ab Xcd");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "click", "char 88"}));
  // Shift+Right selects; the Right after it drops the selection, so Shift+Delete removes
  // the one character at the cursor.
  TypeAhead("<Shift+Right><Right><Shift+Del>");
  EXPECT_EQ(EditWith("<Enter>", "abc"), "ab");
}

TEST_F(Editor, CopyTakesTheLineWithItsEndOrTheSelection) {
  EditWith("<Ctrl+c><Enter>", "look");
  EXPECT_EQ(Clipboard(), "look\r\n");
  EditWith("<Ctrl+Ins><Enter>", "abcde", 5);
  EXPECT_EQ(Clipboard(), "abcde\r\n");
  EditWith("<Right><Shift+Right><Shift+Right><Ctrl+c><Enter>", "look");
  EXPECT_EQ(Clipboard(), "oo");
  // An empty selection copies the line rather than emptying the clipboard.
  EditWith("<Shift+Left><Ctrl+c><Enter>", "look");
  EXPECT_EQ(Clipboard(), "look\r\n");
}

TEST_F(Editor, PasteTakesTheFirstLineReplacesTheSelectionAndKeepsItHighlighted) {
  platform::ClipboardSetText("first\r\nsecond");
  EXPECT_EQ(EditWith("<Ctrl+v><Enter>", ""), "first");
  EXPECT_EQ(EditWith("<Ctrl+v><Enter>", "", 3), "fir");
  EXPECT_EQ(EditWith("<Shift+Ins><Enter>", "old"), "first");
  // A paste as the first key clicks twice, whatever the field held.
  EXPECT_EQ(TakeRequests(), Requests(6, "click"));

  platform::ClipboardSetText("XY");
  EXPECT_EQ(EditWith("<End><Shift+Left><Shift+Left><Ctrl+v><Enter>", "abcdef"), "abcdXY");

  std::vector<uint8_t> backgrounds;
  Backend().beforeKey = [&] {
    for (int column = 1; column <= 4; ++column) backgrounds.push_back(console::ScreenAttrAt(column, 5) >> 4);
  };
  EXPECT_EQ(EditWith("<Right><Ctrl+v><Enter>", "ab"), "aXYb");
  EXPECT_EQ(backgrounds, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 0}));
  EXPECT_EQ(console::ScreenAttrAt(2, 5), 0x0F);  // the exit redraw has no highlight
}

TEST_F(Editor, HighlightOfAScrolledFieldStartsAtItsFirstColumn) {
  std::vector<std::string> rows;
  std::vector<uint8_t> attributes;
  Backend().beforeKey = [&] {
    rows.push_back(Row(5));
    attributes.clear();
    for (int column = 1; column <= 16; ++column) attributes.push_back(console::ScreenAttrAt(column, 5));
  };
  Type("<Shift+End><Enter>");
  std::string text = "abcdefghijklmnopqrstuvwxyz";
  console::MoveCursor(1, 5);
  console::WriteChars("....");
  Edit(text, 30, 10, 5, 5);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].substr(0, 15), "....qrstuvwxyz ");
  EXPECT_EQ(attributes, (std::vector<uint8_t>{0x0F, 0x0F, 0x0F, 0x0F, 0x8F, 0x8F, 0x8F, 0x8F, 0x8F, 0x8F, 0x8F, 0x8F,
                                              0x8F, 0x8F, 0x0F, 0x0F}));
  EXPECT_EQ(console::TextAttribute(), 0x0F);
  EXPECT_EQ(Row(5).substr(0, 15), "....abcdefghij ");
}

TEST_F(Editor, F1SpeaksWordsAndNumbersAndSpellsWhatCannotBeSaid) {
  EXPECT_EQ(EditWith("<F1><Ctrl+k><F1><F1><Ctrl+k><Enter>", "  xyz 42"), "  xyz 42");
  EXPECT_EQ(TakeRequests(), (Requests{"speak xyz", "speak 6", "speak 42", "tone", "speak 9"}));
  EditWith("<F1><Enter>", "rst");
  EditWith("<F1><Enter>", "Sol");
  EditWith("<F1><F1><Enter>", "-5?");
  EditWith("<F1><Enter>", "p\xE3o");
  EXPECT_EQ(TakeRequests(), (Requests{"spell rst", "speak Sol", "speak -5", "spell ?", "speak p\xE3o"}));
}

TEST_F(Editor, SpokenOnDemand) {
  EditWith("<F8><Ctrl+F8><Ctrl+F1><Ctrl+k><Enter>", "ab", 4);
  EXPECT_EQ(TakeRequests(), (Requests{"time", "date", "speak ab  ", "speak 1"}));
  // 222 waits for silence and speaks the field; 223 does nothing. Neither is typed.
  EXPECT_EQ(EditWith("\xC3\x9E\xC3\x9F<Enter>", "ab", 4), "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"wait", "speak ab  "}));
}

TEST_F(Editor, KeysWithoutACommandEndEditingWithTheirCode) {
  const std::vector<std::pair<std::string, int>> cases = {{"<F2>", 60},         {"<Up>", 72},       {"<Down>", 80},
                                                          {"<Ctrl+F11>", 104},  {"<Ctrl+F9>", 102}, {"<Tab>", 9},
                                                          {"<Ctrl+Enter>", 10}, {"<Esc>", 27},      {"<Enter>", 13}};
  for (const auto& [keys, code] : cases) {
    Type(keys);
    std::string text = "ab";
    EXPECT_EQ(Edit(text), code) << keys;
    EXPECT_EQ(text, "ab");
  }
  // Ctrl+Alt+digit does nothing; Ctrl+Alt+F9, and Ctrl+Shift+F9 where the desktop keeps
  // Ctrl+Alt+Fn, visit the screen review (a tone in, Esc and two tones out, through the same
  // sounds) and editing goes on.
  Type("<Ctrl+Alt+5><Ctrl+Alt+F9><Esc><Ctrl+Shift+F9><Esc>x<Enter>");
  std::string text = "ab";
  EXPECT_EQ(Edit(text), 13);
  EXPECT_EQ(text, "xab");
  EXPECT_EQ(TakeRequests(), (Requests{"tone", "tone", "tone", "tone", "tone", "tone", "char 120"}));
}

TEST_F(Editor, AltGrPrefixIsPassedOver) {
  EXPECT_EQ(EditWith("<Ctrl+Alt+q>/<Ctrl+Alt+w><Ctrl+Alt+e>?<Enter>", ""), "/?");
  Type("<Ctrl+Alt+q><Up>");
  std::string text;
  EXPECT_EQ(Edit(text), 72);
}

TEST_F(Editor, SpeechRateChangesOnADigitAndNotOnEsc) {
  EditWith("<Ctrl+F4>5<Enter>", "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"file _VELOC", "key 53", "end speech", "start speech 5"}));
  EXPECT_EQ(EditWith("<Ctrl+F4><Esc><Enter>", "ab"), "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"file _VELOC", "key 27"}));
}

TEST_F(Editor, EchoSwitchesOffAndOn) {
  EXPECT_EQ(EditWith("<F4>a<F4>b<Enter>", ""), "ab");
  EXPECT_EQ(TakeRequests(), (Requests{"file _FALDLG", "file _FALACI", "char 98"}));
  EXPECT_TRUE(speech::State().echoTyping);
}

TEST_F(Editor, ArrowsSoundTheCharactersPassedAndAltRightNamesLetters) {
  EditWith("<Left><Alt+Right><Alt+Right><Right><Left><Home><Left><Enter>", "a1", 2);
  EXPECT_EQ(TakeRequests(), (Requests{"tone", "file _FON97", "char 49", "tone", "char 49", "tone"}));
}

TEST_F(Editor, WordMovesClickAndRefuseAtTheEnds) {
  EditWith(
      "<Ctrl+Right><Ctrl+Right><Ctrl+Right><Ctrl+Right><Ctrl+k>"
      "<Ctrl+Left><Ctrl+Left><Ctrl+Left><Ctrl+Left><Ctrl+Left><Ctrl+k><Enter>",
      "abc 12 x.y");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "click", "click", "tone", "speak 11", "click", "click", "click", "click",
                                      "tone", "speak 1"}));
}

TEST_F(Editor, CtrlBackspaceDeletesTheWordAtTheCursor) {
  EXPECT_EQ(EditWith("<End><Ctrl+BS><Enter>", "pegar chave"), "pegar");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "tone", "click", "file _DEL", "char 99", "char 104", "char 97",
                                      "char 118", "char 101"}));
  // Inside a run of blanks the blanks up to the next word go, not the word before.
  EXPECT_EQ(EditWith("<Right><Right><Right><Right><Right><Ctrl+BS><Enter>", "abc   def"), "abc  def");
}

TEST_F(Editor, LineCommands) {
  EXPECT_EQ(EditWith("<Right><Right><Right><Ctrl+d><Enter>", "abcdef"), "abc");
  EXPECT_EQ(TakeRequests().back(), "file _APFCPO");
  EXPECT_EQ(EditWith("<Right><Right><Ctrl+s><Ctrl+k><Enter>", "abcdef"), "cdef");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "char 98", "file _APICPO", "speak 1"}));
  EXPECT_EQ(EditWith("x<Ctrl+u><Enter>", "abcdef"), "abcdef");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "click", "char 120", "tone", "tone", "tone"}));
  EXPECT_EQ(EditWith("<Right><Ctrl+y>z<Enter>", "abcdef"), "z");
  EXPECT_EQ(TakeRequests(), (Requests{"char 97", "file _CPOAPA", "char 122"}));
  EditWith("<Ctrl+\\><Enter>", "1#", 3);
  EXPECT_EQ(TakeRequests(), (Requests{"dial 1", "dial #", "dial  "}));
}

TEST_F(Editor, F12OpensTheWordAtTheCursorWithoutItsMarks) {
  EditWith("<Ctrl+Right><F12><Enter>", "abrir \"notas.txt\".");
  EditWith("<Right><Right><Right><F12><Right><F12><Enter>", "abc  def");
  EditWith("<F12><Enter>", "--..");
  EXPECT_EQ(TakeRequests(), (Requests{"click", "open notas.txt", "char 97", "char 98", "char 99", "open abc", "char 32",
                                      "tone", "tone"}));
}

TEST_F(Editor, FieldLimits) {
  std::string text(2100, 'a');
  Type("<Enter>");
  Edit(text, 3000, 80);
  EXPECT_EQ(text.size(), 2048u);

  // A field wider than the rest of its row stops at the row's end.
  Type("<Enter>");
  text = std::string(40, 'b');
  Edit(text, 40, 30, 70, 7);
  EXPECT_EQ(Row(7).substr(68), " bbbbbbbbbbb");
  EXPECT_EQ(Row(8), std::string(80, ' '));

  // On the last row the field leaves the screen's last cell alone.
  console::MoveCursor(1, 24);
  console::WriteChars("marker");
  Type("<End>d<Enter>");
  text = std::string(100, 'b');
  Edit(text, 200, 80, 1, 25);
  EXPECT_EQ(text, std::string(100, 'b') + "d");
  EXPECT_EQ(Row(24).substr(0, 6), "marker");
  EXPECT_EQ(console::ScreenCharAt(79, 25), 'b');
  EXPECT_EQ(console::ScreenCharAt(80, 25), ' ');
}

TEST_F(Editor, ReadNumberTakesTheDigitsBeforeAnyJunk) {
  int32_t value = 99;
  Type(" 12 <Enter>");
  editor::ReadNumber(value, sounds_);
  EXPECT_EQ(value, 12);
  Type("<Enter>");
  editor::ReadNumber(value, sounds_);
  EXPECT_EQ(value, 12);
  Type("7x<Enter>");
  editor::ReadNumber(value, sounds_);
  EXPECT_EQ(value, 7);
  Type("-8<Enter>");
  editor::ReadNumber(value, sounds_);
  EXPECT_EQ(value, -8);
}

// End to end through the speech services' document opener: a word never reaches a shell.
TEST_F(Editor, F12NeverRunsAShell) {
  const auto openWord = [](std::string text) { editor::EditLine(text, 1, 5, 200, 79, editor::SpeechSounds()); };
  const std::string victim = configDir_ + "/pwned";
  Type("<F12><Enter>");
  openWord("a;touch${IFS}" + victim);
  Type("<F12><Enter>");
  openWord("$(touch " + victim + ")");
  EXPECT_TRUE(Backend().started.empty());
  EXPECT_FALSE(std::filesystem::exists(victim));

  // A document goes, as one argument, to the program configured for its extension.
  std::ofstream(configDir_ + "/TAMIRE.INI") << "[TAMIRE]\r\nPROG.TXT=cat\r\n";
  const std::string document = configDir_ + "/notas.txt";
  std::ofstream(document) << "x";
  Type("<F12><Enter>");
  openWord("<" + document + ">");
  ASSERT_EQ(Backend().started.size(), 1u);
  EXPECT_EQ(Backend().started[0].back(), document);
}

}  // namespace
