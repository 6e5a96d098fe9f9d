#include "editor/editor.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "console/key_codes.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/review.h"
#include "platform/core/win.h"
#include "speech/state.h"

// The line editor. The field keeps exactly maxLen characters while it is edited (blanks
// pad it); positions are counted from 1, and the cursor may stand one place past the end.
// Every movement and edit is heard: a click for an accepted move, the tone for a refusal,
// a character's own sound for what the cursor passes or removes.

namespace editor {

// The editor and the review work the console's screen and key queue throughout.
using namespace console;

namespace {

constexpr int MaxFieldLength = 2048;
constexpr uint8_t EndMark = 0;

// ---- character classes ----

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// Letters of the word moves and of the spoken words: ASCII letters and every code from 128.
bool IsWordLetter(uint8_t c) { return IsAsciiLetter(c) || c >= 128; }
uint8_t AsciiUpper(uint8_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint8_t>(c - 32) : c; }
// Words made only of these cannot be pronounced and are spelled.
bool IsSpelledConsonant(uint8_t c) {
  static constexpr std::string_view Consonants = "BCDFGHJKLMNPQRSTVXZ";
  return Consonants.find(static_cast<char>(AsciiUpper(c))) != std::string_view::npos;
}
// Stripped from both ends of a word before it is opened.
bool IsDocumentNoise(uint8_t c) {
  static constexpr std::string_view Noise = "\"(*-.<=>[_{";
  return Noise.find(static_cast<char>(c)) != std::string_view::npos;
}

std::string WithoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// ---- one call's state ----

struct Editor {
  explicit Editor(Sounds& heard) : sounds(heard) {}
  Sounds& sounds;
  std::string field;  // exactly maxLen characters; position p is field[p - 1]
  std::string entryText;
  int column = 1, row = 1, maxLen = 0, width = 0;
  int pos = 1;
  int first = 1;
  bool firstKey = true;
  int SelectionStart = 0, SelectionEnd = 0;
  uint8_t result = 32;
  bool ended = false;
  uint8_t ExtendedKeyCode = 0;
  bool shift = false, alt = false;  // held with the key being handled
  ScreenPlace route;                // where the routing key being handled points

  uint8_t At(int p) const {
    return p >= 1 && p <= maxLen ? static_cast<uint8_t>(field[static_cast<std::size_t>(p - 1)]) : ' ';
  }
  void Set(int p, uint8_t c) { field[static_cast<std::size_t>(p - 1)] = static_cast<char>(c); }
  int LastNonBlank() const {
    const auto last = field.find_last_not_of(' ');
    return last == std::string::npos ? 0 : static_cast<int>(last) + 1;
  }
  void End(uint8_t code) {
    result = code;
    ended = true;
  }
  void DropSelection() { SelectionStart = SelectionEnd = 0; }
  bool HasSelection() const { return SelectionStart >= 1 && SelectionEnd >= 1 && SelectionStart != SelectionEnd; }
  int SelectionLow() const { return std::min(SelectionStart, SelectionEnd); }
  int SelectionHigh() const { return std::max(SelectionStart, SelectionEnd); }
  // The width characters shown, from first.
  std::string Visible() const {
    const auto from = static_cast<std::size_t>(first - 1);
    return from < field.size() ? field.substr(from, static_cast<std::size_t>(width)) : std::string();
  }
};

// ---- drawing ----

void KeepCursorVisible(Editor& e) {
  if (e.pos < e.first) e.first = e.pos;
  if (e.first + e.width < e.pos) e.first = e.pos - e.width;
}

// The visible part of the field at its place, the visible part of a selection on the
// highlight background. A selection that begins left of the shown part is highlighted
// from the field's first column.
void Draw(const Editor& e) {
  MoveCursor(e.column, e.row);
  const std::string shown = e.Visible();
  const int shownEnd = e.first + static_cast<int>(shown.size());  // exclusive
  const int from = e.HasSelection() ? std::max(e.SelectionLow(), e.first) : shownEnd;
  const int to = e.HasSelection() ? std::min(e.SelectionHigh(), shownEnd) : shownEnd;
  if (from < to) {
    const auto a = static_cast<std::size_t>(from - e.first), b = static_cast<std::size_t>(to - e.first);
    WriteChars(std::string_view(shown).substr(0, a));
    const uint8_t saved = TextAttribute();
    SetBackgroundColour(SelectionBackground);
    WriteChars(std::string_view(shown).substr(a, b - a));
    SetTextAttribute(saved);
    WriteChars(std::string_view(shown).substr(b));
  } else {
    WriteChars(shown);
  }
  if (shown.size() < static_cast<std::size_t>(ScreenColumns)) ClearToLineEnd();
}

void RedrawVisible(const Editor& e) {
  MoveCursor(e.column, e.row);
  WriteChars(e.Visible());
}

// ---- editing ----

void InsertChar(Editor& e, uint8_t ch) {
  if (e.pos > e.maxLen) {
    e.sounds.Tone();
    return;
  }
  e.field.insert(static_cast<std::size_t>(e.pos - 1), 1, static_cast<char>(ch));
  e.field.pop_back();
  // Echoed at the cursor when it stands inside the shown part; the next cycle redraws.
  if (e.pos - e.first < e.width) WriteCharacter(ch);
  if (speech::State().echoTyping) e.sounds.CharSound(ch);
  ++e.pos;
}

enum class DelSound { With, Without };

void DeleteAt(Editor& e, DelSound sound) {
  // Past the end of the field there is nothing to remove.
  if (e.pos > e.maxLen) {
    e.sounds.Tone();
    return;
  }
  const uint8_t removed = e.At(e.pos);
  e.field.erase(static_cast<std::size_t>(e.pos - 1), 1);
  e.field.push_back(' ');
  RedrawVisible(e);
  if (sound == DelSound::With) e.sounds.SoundFile("_DEL");
  e.sounds.CharSound(removed);
}

// Scans the field followed by a blank and an end mark.
void WordRight(Editor& e) {
  const auto at = [&e](int p) -> uint8_t { return p <= e.maxLen ? e.At(p) : p == e.maxLen + 1 ? ' ' : EndMark; };
  int p = e.pos;
  if (IsDigit(at(p))) {
    while (IsDigit(at(p))) ++p;
  } else if (at(p) != ' ') {
    ++p;
    while (p <= e.maxLen && IsWordLetter(at(p))) ++p;
  }
  if (at(p) == ' ') {
    while (at(p) == ' ') ++p;
  }
  if (p > e.maxLen + 1) {  // ran into the end mark: no further word
    e.pos = e.LastNonBlank() + 1;
    e.sounds.Tone();
  } else {
    e.pos = p;
    e.sounds.Click();
  }
}

// Scans the field preceded by a blank and an end mark.
void WordLeft(Editor& e) {
  const auto at = [&e](int p) -> uint8_t { return p >= 1 ? e.At(p) : p == 0 ? ' ' : EndMark; };
  int p = e.pos - 1;
  while (at(p) == ' ') --p;
  if (IsDigit(at(p))) {
    while (IsDigit(at(p))) --p;
  } else {
    --p;
    while (p >= 1 && IsWordLetter(at(p))) --p;
  }
  if (p + 1 < 1) {
    e.pos = 1;
    e.sounds.Tone();
  } else {
    e.pos = p + 1;
    e.sounds.Click();
  }
}

void DeleteWord(Editor& e) {
  if (e.pos > 1 && e.At(e.pos - 1) != ' ') WordLeft(e);
  const int a = e.pos;
  WordRight(e);
  const int b = e.pos;
  WordLeft(e);
  // The deletion starts where the word began: when a lies inside a run of blanks, WordLeft
  // does not come back to it, and deleting at its stopping place would remove the wrong text.
  e.pos = a;
  for (int i = 0; i < b - a; ++i) DeleteAt(e, i == 0 ? DelSound::With : DelSound::Without);
}

void SpeakNextWord(Editor& e) {
  const int start = e.pos;
  const auto at = [&e](int p) -> uint8_t { return p <= e.maxLen ? e.At(p) : EndMark; };
  int p = e.pos;
  while (at(p) == ' ') ++p;
  const uint8_t c = AsciiUpper(at(p));
  std::string item;
  if (c == EndMark) {
    e.sounds.Tone();
    e.pos = start;
    return;
  }
  if (IsDigit(c) || c == '-') {
    item += static_cast<char>(at(p++));
    while (IsDigit(at(p))) item += static_cast<char>(at(p++));
    e.pos = p;
    e.sounds.Speak(item);
  } else if ((c >= 'A' && c <= 'Z') || c >= 128) {
    bool unpronounceable = true;
    while (p <= e.maxLen && IsWordLetter(at(p))) {
      unpronounceable = unpronounceable && IsSpelledConsonant(at(p));
      item += static_cast<char>(at(p++));
    }
    e.pos = p;
    if (unpronounceable)
      e.sounds.Spell(item);
    else
      e.sounds.Speak(item);
  } else {
    e.pos = p + 1;
    e.sounds.Spell(std::string(1, static_cast<char>(at(p))));
  }
}

void OpenWordAtCursor(Editor& e) {
  int end = e.pos;
  while (end <= e.maxLen && e.At(end) != ' ') ++end;
  int start = e.pos;
  while (start > 1 && e.At(start - 1) != ' ') --start;
  std::string word = start < end
                         ? e.field.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(end - start))
                         : std::string();
  while (!word.empty() && IsDocumentNoise(static_cast<uint8_t>(word.front()))) word.erase(0, 1);
  while (!word.empty() && IsDocumentNoise(static_cast<uint8_t>(word.back()))) word.pop_back();
  if (word.empty())
    e.sounds.Tone();
  else
    e.sounds.OpenDocument(word);
}

void ChangeSpeechRate(Editor& e) {
  e.sounds.SoundFile("_VELOC");
  // Each key typed ahead is heard; the last one counts.
  uint8_t k = 0;
  do {
    k = e.sounds.ReadKeySpoken();
  } while (KeyAvailable());
  if (k != 27 && k != 13) e.sounds.RestartSpeech(k - '0');
}

void Copy(const Editor& e) {
  if (e.HasSelection()) {
    const int low = e.SelectionLow(), high = e.SelectionHigh();
    CopyToClipboard(e.field.substr(static_cast<std::size_t>(low - 1), static_cast<std::size_t>(high - low)));
  } else {
    CopyToClipboard(WithoutTrailingBlanks(e.field) + "\r\n");
  }
}

void Paste(Editor& e) {
  std::vector<char> buffer(static_cast<std::size_t>(e.maxLen) + 1, '\0');
  PasteFromClipboard(buffer.data(), buffer.size());
  std::string pasted(buffer.data());
  pasted = pasted.substr(0, pasted.find_first_of("\r\n"));
  if (e.firstKey) {
    e.sounds.Click();
    e.sounds.Click();
    e.field.assign(static_cast<std::size_t>(e.maxLen), ' ');
  }
  if (e.SelectionStart >= 1) {
    // A selection made leftwards is replaced like one made rightwards.
    if (e.SelectionEnd < 1) e.SelectionEnd = e.SelectionStart;
    const int low = e.SelectionLow(), high = e.SelectionHigh();
    e.SelectionStart = low;
    e.SelectionEnd = high;
    e.pos = low;
  } else {
    e.SelectionStart = e.SelectionEnd = e.pos;
  }
  std::string joined = e.field.substr(0, static_cast<std::size_t>(e.SelectionStart - 1)) + pasted;
  if (e.SelectionEnd <= e.maxLen) joined += e.field.substr(static_cast<std::size_t>(e.SelectionEnd - 1));
  joined.resize(static_cast<std::size_t>(e.maxLen), ' ');
  e.field = joined;
  e.SelectionEnd = std::min(e.SelectionStart + static_cast<int>(pasted.size()), e.maxLen + 1);
}

void DeleteKey(Editor& e) {
  if (!e.HasSelection()) {
    DeleteAt(e, DelSound::With);
    return;
  }
  const int low = e.SelectionLow(), high = e.SelectionHigh();
  e.SelectionStart = low;
  e.SelectionEnd = high;
  e.pos = low;
  e.sounds.SoundFile("_DEL");
  for (int i = low; i < high; ++i) DeleteAt(e, DelSound::Without);
  e.SelectionEnd = e.SelectionStart;
}

// A routing key of a Braille display over the field puts the cursor on that character,
// heard as a cursor move is; anywhere else it is refused.
void RouteTo(Editor& e, ScreenPlace place) {
  const int offset = place.column - e.column;
  if (place.row != e.row || offset < 0 || offset > e.width) {
    e.sounds.Tone();
    return;
  }
  e.pos = std::min(e.first + offset, e.maxLen + 1);
  e.sounds.CharSound(e.At(e.pos));
}

void ExtendedCommand(Editor& e) {
  switch (e.ExtendedKeyCode) {
    case keycode::ext::BrailleRoute: RouteTo(e, e.route); break;
    case keycode::ext::F1:
      if (e.alt)
        e.End(keycode::ext::CtrlF11);
      else
        SpeakNextWord(e);
      break;
    case keycode::ext::F4:
      speech::State().echoTyping = !speech::State().echoTyping;
      e.sounds.SoundFile(speech::State().echoTyping ? "_FALACI" : "_FALDLG");
      break;
    case keycode::ext::F8: e.sounds.SpeakTime(); break;
    case keycode::ext::F12: OpenWordAtCursor(e); break;
    case keycode::ext::Home: e.pos = 1; break;
    case keycode::ext::Left:
      if (e.pos > 1) {
        --e.pos;
        e.sounds.CharSound(e.At(e.pos));
      } else {
        e.sounds.Tone();
      }
      break;
    case keycode::ext::Right:
      if (e.pos > e.maxLen) {
        e.sounds.Tone();
        break;
      }
      if (e.alt && IsAsciiLetter(e.At(e.pos)))
        e.sounds.SoundFile("_FON" + std::to_string(e.At(e.pos)));
      else
        e.sounds.CharSound(e.At(e.pos));
      ++e.pos;
      break;
    case keycode::ext::End: e.pos = e.LastNonBlank() + 1; break;
    case keycode::ext::Delete: DeleteKey(e); break;
    case keycode::ext::CtrlF1: e.sounds.Speak(e.field); break;
    case keycode::ext::CtrlF4: ChangeSpeechRate(e); break;
    case keycode::ext::CtrlF8: e.sounds.SpeakDate(); break;
    case keycode::ext::CtrlF9:  // with Alt, or Shift where the desktop keeps Ctrl+Alt+F9
      if (e.alt || e.shift)
        ScreenReview(e.sounds);
      else
        e.End(keycode::ext::CtrlF9);
      break;
    case keycode::ext::CtrlLeft: WordLeft(e); break;
    case keycode::ext::CtrlRight: WordRight(e); break;
    case keycode::ext::Paste:  // Ctrl+V, Shift+Insert
      Paste(e);
      break;
    case keycode::ext::Copy:  // Ctrl+C, Ctrl+Insert
      Copy(e);
      break;
    default:
      if (e.ExtendedKeyCode >= keycode::ext::AltDigitFirst && e.ExtendedKeyCode <= keycode::ext::AltDigitLast)
        break;  // Alt+digit
      e.End(e.ExtendedKeyCode);
      break;
  }
}

void Type(Editor& e, uint8_t key) {
  if (e.firstKey && e.pos <= e.LastNonBlank()) {
    // A first typed character replaces a proposed text.
    e.sounds.Click();
    e.sounds.Click();
    if (key >= keycode::Space) e.field.assign(static_cast<std::size_t>(e.maxLen), ' ');
  }
  if (key >= keycode::Space) InsertChar(e, key);
}

void KeyCommand(Editor& e, uint8_t key) {
  switch (key) {
    case keycode::CtrlC: Copy(e); break;
    case keycode::CtrlD:
      for (int p = e.pos; p <= e.maxLen; ++p) e.Set(p, ' ');
      e.sounds.SoundFile("_APFCPO");
      break;
    case keycode::Backspace:
      if (e.pos == 1) {
        e.sounds.Tone();
      } else {
        --e.pos;
        DeleteAt(e, DelSound::With);
      }
      break;
    case keycode::Tab:
    case keycode::CtrlEnter:
    case keycode::Enter:
    case keycode::Esc: e.End(key); break;
    case keycode::CtrlK: e.sounds.Speak(std::to_string(e.pos)); break;
    case keycode::CtrlS:
      if (e.pos > 1) {
        const auto removed = static_cast<std::size_t>(std::min(e.pos - 1, e.maxLen));
        e.field.erase(0, removed);
        e.field.append(removed, ' ');
      }
      e.pos = 1;
      e.sounds.SoundFile("_APICPO");
      break;
    case keycode::CtrlU:
      e.field = e.entryText;
      e.pos = 1;
      e.sounds.Tone();
      e.sounds.Tone();
      e.sounds.Tone();
      break;
    case keycode::CtrlV: Paste(e); break;
    case keycode::CtrlY:
      e.field.assign(static_cast<std::size_t>(e.maxLen), ' ');
      e.sounds.SoundFile("_CPOAPA");
      e.pos = 1;
      break;
    case keycode::CtrlBackslash:
      for (const char c : e.field) e.sounds.DialTones(std::string(1, c));
      break;
    case keycode::CtrlBackspace: DeleteWord(e); break;
    case keycode::SpeakField:
      e.sounds.WaitUntilSilent();
      e.sounds.Speak(e.field);
      break;
    case keycode::Ignored: break;
    default: Type(e, key); break;
  }
}

// Reads one key as the editor handles it: a plain code, or 0 with ExtendedKeyCode set,
// with the modifiers it was typed with. The Alt+Q, Alt+W and Alt+E combinations (the prefix
// that AltGr characters bring with them) are passed over; when the key after them is itself
// extended, that key is handled.
uint8_t ReadKey(Editor& e) {
  KeyPress key = WaitKeyPress();
  while (key.IsExtended() && key.extended >= keycode::ext::AltQ && key.extended <= keycode::ext::AltE) {
    key = WaitKeyPress();
  }
  if (key.IsExtended()) e.ExtendedKeyCode = key.extended;
  e.sounds.Silence();
  e.shift = key.modifiers & platform::ModShift;
  e.alt = key.modifiers & platform::ModAlt;
  e.route = key.place;
  return key.code;
}

}  // namespace

uint8_t EditLine(std::string& text, int column, int row, int maxLen, int width, Sounds& sounds) {
  Editor e(sounds);
  e.column = std::clamp(column, 1, ScreenColumns);
  e.row = std::clamp(row, 1, ScreenRows);
  e.maxLen = std::clamp(maxLen, 0, MaxFieldLength);
  // A field never runs past the end of its row (it would wrap onto the next one).
  e.width = std::clamp(width, 0, std::min(e.maxLen, ScreenColumns + 1 - e.column));
  // Nor does it write the screen's last cell, which would scroll the screen.
  if (e.row == ScreenRows && e.column + e.width > ScreenColumns) --e.width;
  e.field = text.substr(0, static_cast<std::size_t>(e.maxLen));
  e.field.resize(static_cast<std::size_t>(e.maxLen), ' ');
  e.entryText = e.field;

  while (!e.ended) {
    KeepCursorVisible(e);
    Draw(e);
    MoveCursor(e.column + e.pos - e.first, e.row);
    const uint8_t key = ReadKey(e);
    const bool shift = e.shift;
    if (key == keycode::Extended) {
      if (shift) {
        if (e.SelectionStart < 1) e.SelectionStart = e.pos;
      } else if (e.ExtendedKeyCode != keycode::ext::Paste && e.ExtendedKeyCode != keycode::ext::Copy) {
        e.DropSelection();
      }
      ExtendedCommand(e);
      if (shift) e.SelectionEnd = e.pos;
    } else {
      if (key != keycode::CtrlC && key != keycode::CtrlV && key != keycode::SpeakField && key != keycode::Ignored)
        e.DropSelection();
      KeyCommand(e, key);
      if ((key == keycode::CtrlC || key == keycode::CtrlV) && shift) e.SelectionEnd = e.pos;
    }
    e.firstKey = false;
  }

  MoveCursor(e.column, e.row);
  WriteChars(std::string_view(e.field).substr(0, static_cast<std::size_t>(e.width)));
  MoveCursor(e.column, e.row);
  text = WithoutTrailingBlanks(e.field);
  return e.result;
}

uint8_t EditField(std::string& text, int column, int row, int maxLen, Sounds& sounds) {
  return EditLine(text, column, row, maxLen, 79 - column, sounds);
}

void ReadLine(std::string& text) { ReadLine(text, SpeechSounds()); }

void ReadLine(std::string& text, Sounds& sounds) {
  text.clear();
  const int column = CursorColumn(), row = CursorRow();
  const uint8_t code = EditField(text, column, row, 255, sounds);
  if (code == keycode::Esc) {
    // Blanks over what the field showed; a longer text was never on the screen, and
    // blanking it all would run into the rows below.
    const std::size_t shown = static_cast<std::size_t>(std::max(0, 79 - column));
    MoveCursor(column, row);
    WriteChars(std::string(std::min(text.size(), shown), ' '));
    MoveCursor(column, row);
    text.clear();
  }
  TranscriptAppend(text + "\n");
  WriteChars("\r\n");
}

void ReadNumber(int32_t& value) { ReadNumber(value, SpeechSounds()); }

void ReadNumber(int32_t& value, Sounds& sounds) {
  std::string text;
  EditField(text, CursorColumn(), CursorRow(), 255, sounds);
  TranscriptAppend(text + "\n");
  WriteChars("\r\n");
  const auto firstChar = text.find_first_not_of(' ');
  if (firstChar == std::string::npos) return;
  const auto lastChar = text.find_last_not_of(' ');
  text = text.substr(firstChar, lastChar - firstChar + 1);
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int64_t number = 0;
  std::size_t digits = i;
  while (digits < text.size() && IsDigit(static_cast<uint8_t>(text[digits]))) {
    number = std::min<int64_t>(number * 10 + (text[digits] - '0'), INT32_MAX);
    ++digits;
  }
  // An invalid answer keeps the digits before its first wrong character, without the sign.
  const bool valid = digits == text.size() && digits > i;
  value = static_cast<int32_t>(valid && negative ? -number : number);
}

}  // namespace editor
