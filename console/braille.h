#pragma once
// What a Braille display shows of the console, and what its keys do. A text game is read
// reply by reply, so the display keeps to what the player has not read yet: when the game
// waits (for a command, an answer or Enter) it rests on the first line of the reply to the
// last command; panning walks through that reply window by window, past blank windows and
// lines, and then reaches the prompt with the cursor; any key typed brings the prompt back.
// While the game writes and speaks, the display follows the line being spoken (the last
// line it ended). Rows of a
// long reply that scrolled off the top stay readable. A row is shown from its first
// non-blank column, so text written far to the right (the room name and the score) shows
// at once. The cursor is brltty's own; the editor's selection is marked with dot 8.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/braille/braille.h"

namespace console {

// The width a display is taken to have for --braille-log when none is connected.
inline constexpr int LoggedBrailleCells = 40;

// --braille-log: every update of the display as one line (UTF-8): the row and columns
// shown, the cursor's cell, the marked cells and the cells' text. False, with the reason
// when asked for, when the file cannot be created.
bool OpenBrailleLog(const std::string& path, std::string* reason = nullptr);
void CloseBrailleLog();

// When the console looks at the display: the program polls for keys (while it writes or
// speaks), is about to wait for a key, or sleeps in a pause.
enum class BrailleMoment { Poll, KeyWait, Pause };

// Shows on the display (and in the log) what it should show now, if that changed. Only
// whole frames are shown: nothing while the line editor is half-way through a redraw, and
// a line being written only once the program waits on it (for speech, a pause or a key).
void RefreshBraille(BrailleMoment moment = BrailleMoment::Poll);

// A command from the display (WM_APP_BRAILLE).
void HandleBrailleCommand(platform::BrailleCommand command, intptr_t argument);

namespace detail {
// The console's life: forget what was shown (a new window, tests).
void ResetBraille();
// A key went into the queue: the display goes back to the prompt.
void BrailleKeyTyped();
// The program took a key: the next story text written starts a new reply.
void BrailleKeyTaken();
// The screen is about to change: story text (the program's text output) is written, or the
// editor (or the review) draws.
void BrailleStoryWriting(std::string_view text);
void BrailleEditorDrawing();
// A line end is written on the cursor's row (before the cursor goes on to the next).
void BrailleLineEnded();
// The screen is about to scroll up one row, or to be cleared.
void BrailleBeforeScroll();
void BrailleBeforeClear();
}  // namespace detail

}  // namespace console
