#pragma once
// Where a Braille display stands in the console's text (console/braille.cpp reads and moves
// it); the console's owner holds it.

#include <array>
#include <cstdint>
#include <deque>
#include <optional>

#include "console/screen.h"
#include "platform/braille/braille.h"

namespace console::detail {

// A row of the reply that is no longer on the screen (scrolled off the top or cleared).
struct SavedRow {
  std::array<uint8_t, ScreenColumns> chars{}, attrs{};
};

// Lines are counted over the page: the saved rows of the reply, oldest first, then the 25
// rows of the screen.
struct BrailleView {
  enum class Mode {
    Follow,   // the game is answering: the display follows the line it writes and speaks
    Prompt,   // a key was typed: the display shows the cursor's row
    Reading,  // the display stays where it rests or where the player's keys put it
  };

  int width = 0;
  Mode mode = Mode::Follow;
  int line = 0, first = 0;  // Reading: the line and its first column shown (0-based)
  // The reply to the last key the program took: it starts at the first story text written
  // after that key, on screen row replyTop, or in the saved rows when there are any.
  bool replyPending = true;
  int replyTop = 0;
  std::deque<SavedRow> saved;
  // Frames: the editor is half-way through its redraw until the program waits for a key
  // (or writes story text); story text just written shows once the program waits on it.
  bool editorDrawn = false, storyWritten = false;
  // While the game writes, the display follows the last line it ended that shows
  // something: with speech that is the line being spoken, and never a line half written.
  int endedLine = -1;
  std::optional<platform::BrailleCells> shown;
  int shownLine = -1, shownFirst = -1, shownSaved = -1;
};

}  // namespace console::detail
