#pragma once
// What a Braille display shows of the console, and what its keys do. The display follows
// the console the way a screen reader's Braille cursor tracking follows a terminal: it
// shows the row last written to or the cursor was put on (the line being written, the
// editor's prompt and field, the review row), with the cursor at its cell and the editor's
// selection marked with dots 7 and 8. A row wider than the display is shown a display's
// width at a time, the part that holds the cursor; the display's own keys pan along the
// row and read the rows above and below until the cursor moves or a key is typed.

#include <cstdint>
#include <string>

#include "platform/braille.h"

namespace console {

// The width a display is taken to have for --braille-log when none is connected.
inline constexpr int LoggedBrailleCells = 40;

// --braille-log: every update of the display as one line (UTF-8): the row and columns
// shown, the cursor's cell, the marked cells and the cells' text. False, with the reason
// when asked for, when the file cannot be created.
bool OpenBrailleLog(const std::string& path, std::string* reason = nullptr);
void CloseBrailleLog();

// Shows on the display (and in the log) whatever changed since the last time. The key
// queue calls it whenever it looks for keys, so every written line shows as it is written.
void RefreshBraille();

// A command from the display (WM_APP_BRAILLE).
void HandleBrailleCommand(platform::BrailleCommand command, intptr_t argument);

namespace detail {
// The console's life: forget what was shown (a new window, tests).
void ResetBraille();
// A key went into the queue: the display goes back to following the cursor.
void BrailleKeyTyped();
}  // namespace detail

}  // namespace console
