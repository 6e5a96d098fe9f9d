#pragma once
// The console window and its 80 x 25 character screen: writing, scrolling, colours,
// clearing, the clipboard and the end of the program.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/core/win.h"

namespace console {

inline constexpr int ScreenColumns = platform::ConsoleColumns;
inline constexpr int ScreenRows = platform::ConsoleRows;

// The background colour of the line editor's selection; a Braille display marks the cells
// drawn on it with dots 7 and 8.
inline constexpr int SelectionBackground = 8;

// The current colour byte: foreground in the low nibble, background in the high nibble.
// Every character written and every cell cleared takes it.
uint8_t TextAttribute();
void SetTextAttribute(uint8_t attribute);

// A cell of the screen, 1-based.
struct ScreenPlace {
  int row = 0, column = 0;
  bool operator==(const ScreenPlace&) const = default;
};

void EnsureConsoleWindow();

// Writes bytes at the cursor (BEL beeps, BS, LF, CR; other control codes are dropped).
void WriteChars(std::string_view bytes);
void WriteCharacter(uint8_t byte);

// The program's standard text output: writes to the screen, records the text in the
// transcript, then polls the keyboard so that window messages are dispatched. A line end
// is CR LF. Everything the game and the speech front write goes this way.
void Write(std::string_view text);
void WriteLine(std::string_view text = {});

void ClearScreen();
void ClearToLineEnd();
// 1-based; clamped to the screen. Neither draws nor creates the window.
void MoveCursor(int column, int row);
int CursorColumn();
int CursorRow();
void SetBackgroundColour(int index);
// 1-based; the caller keeps them in range.
uint8_t ScreenCharAt(int column, int row);
uint8_t ScreenAttrAt(int column, int row);

void CopyToClipboard(std::string_view text);
// Copies at most size - 1 characters into buffer and terminates them; size 0 or an
// unavailable clipboard leaves the buffer untouched.
void PasteFromClipboard(char* buffer, std::size_t size);

// The window caption (Windows-1252).
void SetWindowTitle(std::string_view title);

// Ends the program through the console: drains the keys, destroys the window, then exits
// with the code given (0: a normal end).
[[noreturn]] void CloseConsole(int exitCode = 0);

struct Date {
  uint16_t year, month, day, weekday;
};  // weekday 0 = Sunday
struct Time {
  uint16_t hour, minute, second, hundredths;
};
Date CurrentDate();
Time CurrentTime();

// Wave playback's hook for the block-done message addressed to the console window.
using WaveDoneProc = void (*)(uintptr_t wParam, intptr_t lParam);
void SetWaveDoneHandler(WaveDoneProc handler, bool enabled);

// Transcript of what the player reads: text output and the lines the editor returns.
void TranscriptAppend(std::string_view text);

}  // namespace console
