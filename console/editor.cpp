#include "console/editor.h"

#include <algorithm>

#include "console/keyboard.h"
#include "console/screen.h"

// A first line editor: typing, Backspace, Enter and Esc. The full editor with spoken echo
// replaces it.

namespace console {

uint8_t EditLine(std::string& text, int column, int row, int maxLen, int width) {
  (void)width;
  MoveCursor(column, row);
  WriteChars(text);
  for (;;) {
    const uint8_t key = WaitKey();
    if (key == 0) {
      WaitKey();
      continue;
    }
    if (key == 13 || key == 27 || key == 9 || key == 10) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
      return key;
    }
    if (key == 8) {
      if (!text.empty()) {
        text.pop_back();
        WriteCharacter(8);
      }
      continue;
    }
    if (key >= 32 && static_cast<int>(text.size()) < maxLen) {
      text += static_cast<char>(key);
      WriteCharacter(key);
    }
  }
}

uint8_t EditField(std::string& text, int column, int row, int maxLen) {
  return EditLine(text, column, row, maxLen, 79 - column);
}

void ReadLine(std::string& text) {
  text.clear();
  const int column = CursorColumn(), row = CursorRow();
  const uint8_t code = EditField(text, column, row, 255);
  if (code == 27) {
    MoveCursor(column, row);
    WriteChars(std::string(text.size(), ' '));
    MoveCursor(column, row);
    text.clear();
  }
  TranscriptAppend(text + "\n");
  WriteChars("\r\n");
}

void ReadNumber(int32_t& value) {
  std::string text;
  EditField(text, CursorColumn(), CursorRow(), 255);
  TranscriptAppend(text + "\n");
  WriteChars("\r\n");
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return;
  const auto last = text.find_last_not_of(' ');
  text = text.substr(first, last - first + 1);
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int64_t number = 0;
  std::size_t digits = i;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
    number = std::min<int64_t>(number * 10 + (text[digits] - '0'), INT32_MAX);
    ++digits;
  }
  const bool valid = digits == text.size() && digits > i;
  value = static_cast<int32_t>(valid && negative ? -number : number);
}

}  // namespace console
