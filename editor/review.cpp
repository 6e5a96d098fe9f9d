#include "editor/review.h"

#include <cstdint>
#include <string>

#include "console/key_codes.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/state.h"
#include "speech/state.h"

namespace editor {

// The editor and the review work the console's screen and key queue throughout.
using namespace console;

namespace {

constexpr int LineEndColumn = ScreenColumns + 1;  // just past the last cell of a row
constexpr uint8_t Blank = ' ';

struct Place {
  int row = 1;
  int column = 1;
};

bool OnScreen(int column, int row) { return column >= 1 && column <= ScreenColumns && row >= 1 && row <= ScreenRows; }

uint8_t CellChar(int column, int row) { return OnScreen(column, row) ? ScreenCharAt(column, row) : Blank; }
uint8_t CellAttr(int column, int row) { return OnScreen(column, row) ? ScreenAttrAt(column, row) : 0; }

bool IsAsciiLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Letters, digits and the accented letters of Portuguese and Spanish (Windows-1252).
bool IsWordCharacter(uint8_t c) {
  if (IsAsciiLetter(c) || (c >= '0' && c <= '9')) return true;
  switch (c | 0x20) {  // the accented capitals sit 32 below their small letters
    case 0xE0:
    case 0xE1:
    case 0xE2:
    case 0xE3:
    case 0xE7:
    case 0xE9:
    case 0xEA:
    case 0xED:
    case 0xF1:
    case 0xF3:
    case 0xF4:
    case 0xF5:
    case 0xFA: return c >= 0xC0;
    default: return false;
  }
}

// A token made only of these cannot be pronounced, so it is spelled.
bool IsConsonant(uint8_t c) {
  if (!IsAsciiLetter(c)) return false;
  switch (c & ~0x20) {
    case 'A':
    case 'E':
    case 'I':
    case 'O':
    case 'U': return false;
    default: return true;
  }
}

// Fields are cut at these as well as at a change of colour (box drawing is 176..223).
bool IsFieldDelimiter(uint8_t c) { return c == '!' || c == ':' || c == '?' || c == '|' || (c >= 176 && c <= 223); }

std::string RowText(int row, int fromColumn, int toColumn) {
  std::string text;
  for (int column = fromColumn; column <= toColumn; ++column) text += static_cast<char>(CellChar(column, row));
  return text;
}

void DiscardWaitingKeys() {
  while (KeyAvailable()) WaitKey();
}

uint8_t UpperAscii(uint8_t c) { return (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 32) : c; }

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// One visit to the review, with the review position kept from one command to the next.
class Visit {
 public:
  explicit Visit(Sounds& sounds) : sounds_(sounds), searchText_(detail::TheEditor().searchText) {}

  void Run() {
    Tone();
    position_ = {CursorRow(), CursorColumn()};
    const Place entry = position_;
    for (;;) {
      MoveCursor(position_.column, position_.row);
      const KeyPress key = WaitKeyPress();
      if (key.code == keycode::Esc) break;
      if (key.IsExtended())
        ExtendedCommand(key);
      else
        KeyCommand(key.code);
      KeepInRange();
    }
    Tone();
    Tone();
    MoveCursor(entry.column, entry.row);
  }

 private:
  // Everything the review makes heard goes through the visit's sounds.
  void Tone() { sounds_.Tone(); }
  void Click() { sounds_.Click(); }
  void CharSound(uint8_t code) { sounds_.CharSound(code); }
  void SoundFile(std::string_view name) { sounds_.SoundFile(name); }
  void Spell(std::string_view text) { sounds_.Spell(text); }
  void Speak(std::string_view text) { sounds_.Speak(text); }

  // The answer to a key the review has no command for.
  void Refuse() {
    Tone();
    Click();
    Tone();
  }

  uint8_t CharAt(int column) const { return CellChar(column, position_.row); }

  // ---- positions ----

  void KeepInRange() {
    if (position_.column < 1) {
      Tone();
      DiscardWaitingKeys();
      position_.column = 1;
    }
    if (position_.column > LineEndColumn) {
      Tone();
      DiscardWaitingKeys();
      position_.column = ScreenColumns;
    }
    if (position_.row < 1) {
      Tone();
      DiscardWaitingKeys();
      position_.row = 1;
    }
    if (position_.row > ScreenRows) {
      Tone();
      DiscardWaitingKeys();
      position_.row = ScreenRows;
    }
  }

  // Just past the row's last non-blank character; 1 on a blank row.
  void GoToLineEnd() {
    int last = ScreenColumns;
    while (last >= 1 && CharAt(last) == Blank) --last;
    position_.column = last + 1;
  }

  // The run of one colour around the position_, cut at delimiters; the cell at the position_
  // always belongs to it.
  struct Span {
    int start, end;
  };
  Span FieldSpan() {
    const int row = position_.row;
    const uint8_t attribute = CellAttr(position_.column, row);
    auto inField = [&](int column) {
      return CellAttr(column, row) == attribute && !IsFieldDelimiter(CellChar(column, row));
    };
    Span span{position_.column, position_.column};
    while (span.start - 1 >= 1 && inField(span.start - 1)) --span.start;
    while (span.end + 1 <= ScreenColumns && inField(span.end + 1)) ++span.end;
    return span;
  }

  // ---- reading ----

  // Reads the token at the position_ and moves past it; false when nothing was left to read
  // before the last column (a token starting in column 80 is not read).
  bool ReadToken() {
    int& column = position_.column;
    while (column < ScreenColumns && CharAt(column) == Blank) ++column;
    if (column >= ScreenColumns) return false;

    std::string token(1, static_cast<char>(CharAt(column)));
    MoveCursor(column, position_.row);
    ++column;
    while (column < LineEndColumn && IsWordCharacter(CharAt(column))) {
      token += static_cast<char>(CharAt(column));
      MoveCursor(column, position_.row);
      ++column;
    }

    if (token.size() == 1) {
      // A run of one sign is heard as at most three of it, then three clicks.
      int run = 1;
      while (column < LineEndColumn && CharAt(column) == static_cast<uint8_t>(token[0])) {
        if (run < 3) token += token[0];
        ++run;
        MoveCursor(column, position_.row);
        ++column;
      }
      Speak(token);
      if (run > 3) {
        for (int i = 0; i < 3; ++i) Click();
      }
      return true;
    }
    bool consonantsOnly = true;
    for (const char c : token) consonantsOnly = consonantsOnly && IsConsonant(static_cast<uint8_t>(c));
    if (consonantsOnly)
      Spell(token);
    else
      Speak(token);
    return true;
  }

  enum class Afterwards { StayWhereReadingEnded, PutPositionBack };

  void ReadRange(Place from, Place to, Afterwards afterwards) {
    if (from.row == to.row && to.column < from.column) {
      Tone();
      return;
    }
    const Place remembered = position_;
    position_.column = from.column;
    for (int row = from.row; row <= to.row; ++row) {
      position_.row = row;
      const int last = row == to.row ? to.column : ScreenColumns;
      if (speech::State().engineActive) {
        if (last >= position_.column) Speak(RowText(row, position_.column, last));
      } else if (last >= position_.column) {
        do {
          // A cell left in column 80 is not read; the row is done then.
          if (!ReadToken()) break;
          while (position_.column <= last && CharAt(position_.column) == Blank) ++position_.column;
        } while (position_.column <= last && !KeyAvailable());
      }
      if (KeyAvailable()) break;
      position_.column = 1;
      if (row < to.row) Click();
    }
    sounds_.Busy();  // a waiting key cuts the speech
    if (to.column >= ScreenColumns) GoToLineEnd();
    if (afterwards == Afterwards::PutPositionBack) position_ = remembered;
  }

  void ReadCurrentLine() { ReadRange({position_.row, 1}, {position_.row, ScreenColumns}, Afterwards::PutPositionBack); }

  // The two-letter commands: I (up to the position_), T (all), F (from the position_), each
  // of the screen (T), the line (L) or the field (C).
  void ReadPair(char from, char unit) {
    const Place here = position_;
    const Place screenStart{1, 1};
    const Place screenEnd{ScreenRows, ScreenColumns};
    const Place lineStart{here.row, 1};
    const Place lineEnd{here.row, ScreenColumns};
    const Place beforeHere{here.row, here.column - 1};
    switch (unit) {
      case 'T':
        if (from == 'I')
          ReadRange(screenStart, beforeHere, Afterwards::StayWhereReadingEnded);
        else if (from == 'T')
          ReadRange(screenStart, screenEnd, Afterwards::StayWhereReadingEnded);
        else
          ReadRange(here, screenEnd, Afterwards::StayWhereReadingEnded);
        break;
      case 'L':
        if (from == 'I')
          ReadRange(lineStart, beforeHere, Afterwards::PutPositionBack);
        else if (from == 'T')
          ReadRange(lineStart, lineEnd, Afterwards::PutPositionBack);
        else
          ReadRange(here, lineEnd, Afterwards::PutPositionBack);
        break;
      case 'C': {
        const Span field = FieldSpan();
        const Place fieldStart{here.row, field.start};
        const Place fieldEnd{here.row, field.end};
        if (from == 'I')
          ReadRange(fieldStart, here, Afterwards::PutPositionBack);
        else if (from == 'T')
          ReadRange(fieldStart, fieldEnd, Afterwards::PutPositionBack);
        else
          ReadRange(here, fieldEnd, Afterwards::PutPositionBack);
        break;
      }
      default: break;
    }
  }

  void TwoLetterCommand(uint8_t key) {
    char from = static_cast<char>(UpperAscii(key));
    if (from != 'F' && from != 'I' && from != 'L' && from != 'T') {
      Refuse();
      return;
    }
    if (from == 'L') from = 'T';
    const uint8_t second = WaitKey();
    if (second == keycode::Extended) WaitKey();  // an extended key's second code is never a unit
    const char unit = static_cast<char>(UpperAscii(second));
    if (unit != 'C' && unit != 'L' && unit != 'T') {
      Refuse();
      return;
    }
    ReadPair(from, unit);
  }

  // ---- moving ----

  void PreviousWord() {
    int column = position_.column - 1;
    while (column >= 1 && CharAt(column) == Blank) --column;
    if (column < 1) {
      Tone();
      position_.column = 1;
      return;
    }
    while (column >= 1 && CharAt(column) != Blank) --column;
    if (column >= 1)
      Click();
    else
      Tone();
    position_.column = column + 1;
  }

  void NextWord() {
    int column = position_.column;
    while (column < LineEndColumn && CharAt(column) != Blank) ++column;
    while (column < LineEndColumn && CharAt(column) == Blank) ++column;
    if (column < LineEndColumn) {
      Click();
      position_.column = column;
    } else {
      Tone();
      GoToLineEnd();
    }
  }

  // Ctrl+PgUp and Ctrl+PgDn: the first or last letter on the screen.
  enum class WhichLetter { First, Last };
  void GoToLetter(WhichLetter which) {
    const bool last = which == WhichLetter::Last;
    for (int step = 0; step < ScreenRows; ++step) {
      const int row = last ? ScreenRows - step : 1 + step;
      for (int i = 0; i < ScreenColumns; ++i) {
        const int column = last ? ScreenColumns - i : 1 + i;
        if (IsAsciiLetter(CellChar(column, row))) {
          position_ = {row, column};
          ReadCurrentLine();
          return;
        }
      }
    }
    Tone();  // no letter anywhere
  }

  void GoToRowAndColumn() {
    Speak("Entre linha e coluna");
    int digits[4];
    for (int& digit : digits) {
      const uint8_t key = WaitKey();
      if (!IsDigit(key)) {
        if (key == keycode::Extended) WaitKey();
        Tone();
        Tone();
        return;
      }
      CharSound(key);
      digit = key - '0';
    }
    // Impossible values are corrected, with a tone, by the visit's range check.
    position_ = {digits[0] * 10 + digits[1], digits[2] * 10 + digits[3]};
  }

  // The next occurrence of the search text after the position_, exact and case-sensitive.
  void FindText() {
    if (!searchText_.empty()) {
      for (int row = position_.row; row <= ScreenRows; ++row) {
        const std::string line = RowText(row, 1, ScreenColumns);
        // On the review row only matches that start after the review column count.
        const std::size_t first = row == position_.row ? static_cast<std::size_t>(position_.column) : 0;
        const std::size_t at = line.find(searchText_, first);
        if (at != std::string::npos) {
          position_ = {row, static_cast<int>(at) + 1};
          Click();
          return;
        }
      }
    }
    Tone();
    Tone();
  }

  void Search() {
    Speak("Qual texto");
    searchText_.clear();
    for (;;) {
      const uint8_t key = WaitKey();
      if (key == keycode::Esc) return;  // what was typed stays as the search text
      if (key == keycode::Enter) break;
      if (key == keycode::Backspace) {
        if (!searchText_.empty()) {
          SoundFile("_DEL");
          CharSound(static_cast<uint8_t>(searchText_.back()));
          searchText_.pop_back();
        }
        continue;
      }
      searchText_ += static_cast<char>(key);
      CharSound(key);
    }
    FindText();
  }

  void CopyScreen() {
    std::string text;
    text.reserve(static_cast<std::size_t>(ScreenRows * (ScreenColumns + 2)));
    for (int row = 1; row <= ScreenRows; ++row) text += RowText(row, 1, ScreenColumns) + "\r\n";
    CopyToClipboard(text);
  }

  void SpeakPosition() { Speak(std::to_string(position_.row) + " " + std::to_string(position_.column)); }

  void Left() {
    if (position_.column > 1)
      CharSound(CharAt(position_.column - 1));
    else
      Tone();
    --position_.column;
  }

  // ---- commands ----

  void ExtendedCommand(const KeyPress& key) {
    switch (key.extended) {
      case keycode::ext::BrailleRoute:  // a routing key: the review goes to that cell
        position_ = {key.place.row, key.place.column};
        CharSound(CharAt(position_.column));
        break;
      case keycode::ext::ShiftTab:
        position_.column = FieldSpan().start - 2;
        Click();
        break;
      case keycode::ext::F1:
        if (!(speech::State().engineActive && KeyAvailable())) ReadToken();
        if (position_.column > ScreenColumns - 1) {
          Click();
          GoToLineEnd();
        }
        break;
      case keycode::ext::F5: Search(); break;
      case keycode::ext::F6: GoToRowAndColumn(); break;
      case keycode::ext::Home: position_.column = 1; break;
      case keycode::ext::Up:
        --position_.row;
        position_.column = 1;
        if (position_.row < 1) {
          Tone();
          position_.row = 1;
        } else {
          ReadCurrentLine();
        }
        break;
      case keycode::ext::PgUp:
        position_ = {1, 1};
        ReadCurrentLine();
        break;
      case keycode::ext::Left: Left(); break;
      case keycode::ext::Right:
        if (position_.column <= LineEndColumn)
          CharSound(CharAt(position_.column));
        else
          Tone();
        ++position_.column;
        break;
      case keycode::ext::End: GoToLineEnd(); break;
      case keycode::ext::Down:
        ++position_.row;
        position_.column = 1;
        Click();
        if (position_.row > ScreenRows) {
          Tone();
          position_.row = ScreenRows;
        } else {
          ReadCurrentLine();
        }
        break;
      case keycode::ext::PgDn:
        position_ = {ScreenRows, 1};
        ReadCurrentLine();
        break;
      case keycode::ext::CtrlF1: ReadPair('T', 'C'); break;
      case keycode::ext::CtrlF5: FindText(); break;
      case keycode::ext::CtrlLeft: PreviousWord(); break;
      case keycode::ext::CtrlRight: NextWord(); break;
      case keycode::ext::CtrlPgDn: GoToLetter(WhichLetter::Last); break;
      case keycode::ext::CtrlPgUp: GoToLetter(WhichLetter::First); break;
      default: Refuse(); break;
    }
  }

  void KeyCommand(uint8_t key) {
    switch (key) {
      case keycode::CtrlC: CopyScreen(); break;
      case keycode::Backspace: Left(); break;
      case keycode::Tab:
        position_.column = FieldSpan().end + 2;
        if (position_.column <= ScreenColumns)
          Click();
        else
          GoToLineEnd();
        break;
      case keycode::CtrlK:
      case keycode::CtrlL: SpeakPosition(); break;
      case keycode::Enter:
        ++position_.row;
        position_.column = 1;
        Click();
        break;
      case keycode::Space: ReadCurrentLine(); break;
      default:
        if (IsAsciiLetter(key))
          TwoLetterCommand(key);
        else
          Refuse();
        break;
    }
  }

  Sounds& sounds_;
  std::string& searchText_;  // the last text searched for, kept from one visit to the next
  Place position_;
};

}  // namespace

void ScreenReview(Sounds& sounds) { Visit(sounds).Run(); }

const std::string& ReviewSearchText() { return detail::TheEditor().searchText; }

}  // namespace editor
