#pragma once
// What the console's screen and keyboard modules share inside the console: the window,
// the cell metrics, the keyboard's part of the window procedure.

#include <cstdint>

#include "platform/win.h"

namespace console::detail {

platform::Hwnd ConsoleWindow();  // 0 while there is none
struct CellMetrics {
  int width = 1, height = 1, ascent = 0, overhang = 0;
};
const CellMetrics& Cells();
// The cursor, 0-based.
int CursorX();
int CursorY();
// The row (0-based) a Braille display follows: the last one written to or the cursor was
// put on. A line end leaves it on the line just written.
int FocusRow();
int ConfiguredBrailleMode();

// The keyboard's messages (characters, keys, focus); false when the message is not one.
bool HandleKeyboardMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);
void SetBreakCheck(bool on);
void DestroyCaretIfShown();
void ResetKeyboard();  // for tests: an empty queue and Braille off
bool WaitingForKey();  // WaitKey is waiting with the caret shown

// Keys from a Braille display, queued as the same codes the keyboard makes.
void QueueTypedCharacter(uint8_t character);  // Windows-1252
void QueueVirtualKey(int virtualKey, bool ctrl);
// A routing key: 0 and keycode::ext::BrailleRoute; the place is LastBrailleRoute's once
// WaitKey has given the code.
void QueueBrailleRoute(int row, int column);
void SetLastBrailleRoute(int row, int column);
// The character of six dots (bit 0 is dot 1) in the Braille keyboard's own table.
uint8_t BrailleDotsCharacter(uint8_t dots);
}  // namespace console::detail
