#pragma once
// The screen review: going back over the 80 x 25 console screen by ear (characters, words,
// lines, fields of one colour, the whole screen), jumping, searching and copying it.

#include <string>

#include "editor/sounds.h"

namespace editor {

// Runs one visit to the review, from the console cursor, until the user presses Esc; the
// cursor is then put back where it was. The line editor calls it on Ctrl+Alt+F9. Everything
// the review makes heard goes through sounds.
void ScreenReview(Sounds& sounds = SpeechSounds());

// The last text searched for, kept from one visit to the next (empty at start).
const std::string& ReviewSearchText();

}  // namespace editor
