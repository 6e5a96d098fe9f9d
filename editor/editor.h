#pragma once
// The line editor with spoken echo: editing a field on the screen, reading lines and numbers.

#include <cstdint>
#include <string>

#include "editor/sounds.h"

namespace editor {

// Edits text in place at column, row (1-based, the field's first character) as a field of
// maxLen characters (at most 2048) of which width are shown. Returns the code of the key
// that ended editing: 9 Tab, 10 Ctrl+Enter, 13 Enter, 27 Esc, 104 Alt+F1, 102 Ctrl+F9, or
// the second code of an extended key the editor has no use for (72 Up, 80 Down, 60 F2...).
// On return text is the field without its trailing blanks. Everything the editor makes
// heard goes through sounds.
uint8_t EditLine(std::string& text, int column, int row, int maxLen, int width, Sounds& sounds = SpeechSounds());
// EditLine with the field running to column 78 of a row that it starts in column 1.
uint8_t EditField(std::string& text, int column, int row, int maxLen, Sounds& sounds = SpeechSounds());
// Reads a line at the cursor; Esc gives the empty text. Ends the screen line.
void ReadLine(std::string& text);
void ReadLine(std::string& text, Sounds& sounds);
// Reads an integer at the cursor; an empty answer leaves value unchanged.
void ReadNumber(int32_t& value);
void ReadNumber(int32_t& value, Sounds& sounds);

}  // namespace editor
