#pragma once
// The line editor with spoken echo: editing a field on the screen, reading lines and numbers.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace editor {

// Edits text in place at column, row (1-based, the field's first character) as a field of
// maxLen characters (at most 2048) of which width are shown. Returns the code of the key
// that ended editing: 9 Tab, 10 Ctrl+Enter, 13 Enter, 27 Esc, 104 Alt+F1, 102 Ctrl+F9, or
// the second code of an extended key the editor has no use for (72 Up, 80 Down, 60 F2...).
// On return text is the field without its trailing blanks.
uint8_t EditLine(std::string& text, int column, int row, int maxLen, int width);
// EditLine with the field running to column 78 of a row that it starts in column 1.
uint8_t EditField(std::string& text, int column, int row, int maxLen);
// Reads a line at the cursor; Esc gives the empty text. Ends the screen line.
void ReadLine(std::string& text);
// Reads an integer at the cursor; an empty answer leaves value unchanged.
void ReadNumber(int32_t& value);

// ---- for tests ----

// Every sound and speech request of the editor, reported before it is made, as a short
// text: "click", "tone", "char 97", "file _DEL", "speak abc", "spell rst", "dial 1",
// "time", "date", "open abc", "wait", "end speech", "start speech 5", "review", and
// "key 53" after the rate key has been read. With RecordedOnly nothing is made: no sound,
// no speech, no restart of speech, no document opened and no review.
enum class EditorRequests { Made, RecordedOnly };
void SetEditorObserverForTests(std::function<void(std::string_view)> observer,
                               EditorRequests mode = EditorRequests::Made);
// Where the editor learns which of Shift, Ctrl and Alt (platform::ModShift, ModCtrl,
// ModAlt) were held with the key it has just read; nullptr restores the platform's key state.
void SetKeyModifierSourceForTests(uint32_t (*source)());

}  // namespace editor
