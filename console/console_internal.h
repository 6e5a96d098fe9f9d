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
int ConfiguredBrailleMode();

// The keyboard's messages (characters, keys, focus); false when the message is not one.
bool HandleKeyboardMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result);
void SetBreakCheck(bool on);
void DestroyCaretIfShown();
void ResetKeyboard();  // for tests: an empty queue and Braille off

}  // namespace console::detail
