// The character screen: writing, wrapping, scrolling, clearing, colours, clipboard, end.

#include <fstream>
#include <sstream>
#include <string>

#include "console/braille.h"
#include "console/console.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "console_fixture.h"
#include "platform/core/win.h"

using namespace console;

namespace {

std::string RowText(int row) {
  std::string text;
  for (int column = 1; column <= ScreenColumns; ++column) text += static_cast<char>(ScreenCharAt(column, row));
  return text;
}

using ScreenTest = ConsoleTest;

TEST_F(ScreenTest, TheEightyFirstCharacterWrapsToTheNextRow) {
  WriteChars(std::string(81, 'x'));
  EXPECT_EQ(ScreenCharAt(80, 1), 'x');
  EXPECT_EQ(ScreenCharAt(1, 2), 'x');
  EXPECT_EQ(ScreenCharAt(2, 2), ' ');
  EXPECT_EQ(CursorColumn(), 2);
  EXPECT_EQ(CursorRow(), 2);
}

TEST_F(ScreenTest, EightyCharactersLeaveTheCursorPastTheRowUntilTheNextOne) {
  WriteChars(std::string(80, 'y'));
  EXPECT_EQ(CursorRow(), 1);
  EXPECT_EQ(RowText(2), std::string(80, ' '));
}

TEST_F(ScreenTest, LineFeedOnTheLastRowScrollsAndBlanksTheBottomRowInTheCurrentAttribute) {
  WriteChars("top");
  MoveCursor(1, 25);
  WriteChars("bottom");
  SetTextAttribute(0x4E);
  WriteChars("\n");
  EXPECT_EQ(RowText(24).substr(0, 6), "bottom");
  EXPECT_EQ(RowText(1).substr(0, 3), "   ");
  EXPECT_EQ(RowText(25), std::string(80, ' '));
  for (int column = 1; column <= 80; ++column) ASSERT_EQ(ScreenAttrAt(column, 25), 0x4E);
  EXPECT_EQ(CursorRow(), 25);
  EXPECT_EQ(CursorColumn(), 1);
  // The scroll repaints the window: the surface shows the moved text.
  EXPECT_EQ(Backend().Row(23).substr(0, 6), "bottom");
}

TEST_F(ScreenTest, BackspaceBlanksTheCellToTheLeftButNeverLeavesColumnOne) {
  WriteChars("ab\b");
  EXPECT_EQ(ScreenCharAt(2, 1), ' ');
  EXPECT_EQ(ScreenCharAt(1, 1), 'a');
  EXPECT_EQ(CursorColumn(), 2);
  MoveCursor(1, 3);
  WriteChars("\b");
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(CursorRow(), 3);
}

TEST_F(ScreenTest, ControlCodesOtherThanBellBackspaceLineFeedAndReturnAreDropped) {
  WriteChars(
      "a\tb\x01\x0c\x1b"
      "c");
  EXPECT_EQ(RowText(1).substr(0, 4), "abc ");
  EXPECT_EQ(CursorColumn(), 4);
  const int beeps = Sound().Beeps();
  WriteChars("\a");
  EXPECT_EQ(Sound().Beeps(), beeps + 1);
  EXPECT_EQ(CursorColumn(), 4);
}

TEST_F(ScreenTest, CarriageReturnInOneWriteRepaintsTheWholeChangedSpan) {
  MoveCursor(10, 1);
  WriteChars("abc\rx");
  EXPECT_EQ(Backend().Row(0).substr(0, 12), "x        abc");
  EXPECT_EQ(ScreenCharAt(1, 1), 'x');
}

TEST_F(ScreenTest, PaintingDrawsOneRunPerAttribute) {
  EnsureConsoleWindow();
  const int before = Backend().DrawCalls();
  SetTextAttribute(0x0F);
  WriteChars("ab");
  SetTextAttribute(0x1E);
  MoveCursor(1, 1);
  WriteChars("a");
  // The second write repaints one cell; a full repaint of row 1 draws three runs.
  EXPECT_EQ(Backend().DrawCalls(), before + 2);
  const auto& cell = Backend().CellAt(0, 0);
  EXPECT_EQ(cell.foreground, (platform::Rgb{255, 255, 0}));
  EXPECT_EQ(cell.background, (platform::Rgb{0, 0, 255}));
}

TEST_F(ScreenTest, MoveCursorClampsToTheScreen) {
  MoveCursor(0, 0);
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(CursorRow(), 1);
  MoveCursor(200, 99);
  EXPECT_EQ(CursorColumn(), 80);
  EXPECT_EQ(CursorRow(), 25);
  MoveCursor(-5, 12);
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(CursorRow(), 12);
}

TEST_F(ScreenTest, ClearScreenAndClearToLineEndUseTheCurrentAttribute) {
  WriteChars("hello world");
  SetTextAttribute(0x20);
  MoveCursor(6, 1);
  ClearToLineEnd();
  EXPECT_EQ(RowText(1).substr(0, 6), "hello ");
  EXPECT_EQ(ScreenAttrAt(6, 1), 0x20);
  EXPECT_EQ(ScreenAttrAt(5, 1), 0x0F);
  EXPECT_EQ(CursorColumn(), 6);
  ClearScreen();
  EXPECT_EQ(RowText(1), std::string(80, ' '));
  EXPECT_EQ(ScreenAttrAt(80, 25), 0x20);
  EXPECT_EQ(CursorColumn(), 1);
  EXPECT_EQ(CursorRow(), 1);
}

TEST_F(ScreenTest, SetBackgroundColourKeepsTheForeground) {
  EnsureConsoleWindow();
  SetTextAttribute(0x0E);
  SetBackgroundColour(8);
  EXPECT_EQ(TextAttribute(), 0x8E);
}

TEST_F(ScreenTest, FixedColoursIgnoreSetBackgroundColourButNotAssignment) {
  WriteIni("[VIDEO]\nCORESFIXAS=SIM\n");
  EnsureConsoleWindow();
  const uint8_t before = TextAttribute();
  SetBackgroundColour(8);
  EXPECT_EQ(TextAttribute(), before);
  SetTextAttribute(0x17);
  EXPECT_EQ(TextAttribute(), 0x17);
}

TEST_F(ScreenTest, PasteIntoAFourByteBufferTakesThreeCharacters) {
  EnsureConsoleWindow();
  CopyToClipboard("abcdef");
  char buffer[4] = {'x', 'x', 'x', 'x'};
  PasteFromClipboard(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "abc");
  char untouched[2] = {'q', 'q'};
  PasteFromClipboard(untouched, 0);
  EXPECT_EQ(untouched[0], 'q');
}

TEST_F(ScreenTest, PasteOfAnEmptyClipboardGivesTheEmptyString) {
  EnsureConsoleWindow();
  char buffer[8] = "zzzzzzz";
  PasteFromClipboard(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "");
}

TEST_F(ScreenTest, ClosingTheWindowWhileAKeyIsAwaitedEndsTheProgram) {
  EnsureConsoleWindow();
  platform::PostMessage(1, platform::WM_CLOSE);
  try {
    WaitKey();
    FAIL() << "WaitKey returned";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.code, 0);
  }
  EXPECT_FALSE(Backend().WindowOpen());
}

TEST_F(ScreenTest, AnExitThatSkipsCloseConsoleMarksTheCaption) {
  EnsureConsoleWindow();
  platform::PostQuitMessage(255);
  try {
    KeyAvailable();
    FAIL() << "the quit message did not end the program";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.code, 255);
  }
  EXPECT_EQ(Backend().Title(), "Programa terminado");
}

TEST_F(ScreenTest, DateAndTimeComeFromTheClock) {
  EnsureConsoleWindow();
  platform::Sleep(61'250);
  const Time time = CurrentTime();
  EXPECT_EQ(time.minute, 1);
  EXPECT_EQ(time.second, 1);
  EXPECT_EQ(time.hundredths, 25);
  EXPECT_EQ(CurrentDate().weekday, 1);
}

// The program opens these before the console starts; a console made anew keeps writing them.
TEST_F(ScreenTest, TheFilesOfAScriptedRunStayOpenWhenTheConsoleStartsAnew) {
  ASSERT_TRUE(OpenTranscript(configDir_ + "/transcript"));
  ASSERT_TRUE(OpenBrailleLog(configDir_ + "/braille"));
  ASSERT_TRUE(OpenScreenDump(configDir_ + "/screen"));
  InitConsole("quelvar");
  Write("Ilha\r\n");
  RefreshBraille(BrailleMoment::KeyWait);
  DumpScreen();
  CloseScreenDump();
  CloseBrailleLog();
  CloseTranscript();
  const auto contents = [this](const std::string& name) {
    std::ostringstream bytes;
    bytes << std::ifstream(configDir_ + "/" + name, std::ios::binary).rdbuf();
    return bytes.str();
  };
  EXPECT_EQ(contents("transcript"), "Ilha\n");
  EXPECT_NE(contents("braille").find("|Ilha "), std::string::npos);
  const std::string screen = contents("screen");
  EXPECT_EQ(screen.size(), static_cast<std::size_t>(ScreenRows * (ScreenColumns + 1)));
  EXPECT_EQ(screen.substr(0, ScreenColumns + 1), "Ilha" + std::string(ScreenColumns - 4, ' ') + "\n");
  // With its file closed the dump writes nowhere.
  DumpScreen();
}

}  // namespace
