#pragma once
// The line editor with spoken echo: editing a field on the screen, reading lines and numbers.

#include <cstdint>
#include <string>

namespace console {

uint8_t EditLine(std::string& text, int column, int row, int maxLen, int width);
uint8_t EditField(std::string& text, int column, int row, int maxLen);
// Reads a line at the cursor; Esc gives the empty text. Ends the screen line.
void ReadLine(std::string& text);
// Reads an integer at the cursor; an empty answer leaves value unchanged.
void ReadNumber(int32_t& value);

}  // namespace console
