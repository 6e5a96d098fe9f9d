// The terminal's bytes as keys: plain bytes and UTF-8, xterm's CSI and SS3 key sequences,
// modifyOtherKeys, the kitty keyboard protocol's reports and the answers to our queries,
// each decoded to the key events the window makes for the same key.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/backends/terminal/terminal_backend.h"
#include "text/cp1252.h"

namespace platform {
namespace {

constexpr char Escape = 0x1B;

// ---- keys ----

using Event = TerminalInput::Event;

TerminalInput Key(int virtualKey, uint32_t modifiers, std::optional<uint8_t> character, Event event = Event::Typed) {
  TerminalInput input;
  input.event = event;
  input.key.virtualKey = virtualKey;
  input.key.modifiers = modifiers;
  if (character) input.key.character = *character;
  return input;
}

// xterm's modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4, Meta 8).
uint32_t ModifiersOfParameter(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  uint32_t modifiers = 0;
  if (bits & 1) modifiers |= ModShift;
  if (bits & 2) modifiers |= ModAlt;
  if (bits & 4) modifiers |= ModCtrl;
  if (bits & 8) modifiers |= ModAlt;
  return modifiers;
}

// A key that carries a character: Alt keys make none, Ctrl keys make their control code.
void AppendCharacterKey(uint8_t ch, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const int virtualKey = VirtualKeyOfCharacter(ch);
  if (ch >= 'A' && ch <= 'Z') modifiers |= ModShift;
  std::optional<uint8_t> character = ch;
  if (modifiers & ModAlt)
    character.reset();
  else if (modifiers & ModCtrl)
    character = KeyCharacter(virtualKey, modifiers);
  if (virtualKey == 0 && !character) return;  // nothing the console could use
  out.push_back(Key(virtualKey, modifiers, character));
}

// The character a terminal names in xterm's modifyOtherKeys form, with its modifiers.
void AppendCodePointKey(char32_t codePoint, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const auto special = [&](int virtualKey) {
    std::optional<uint8_t> character = KeyCharacter(virtualKey, modifiers);
    if (modifiers & ModAlt) character.reset();
    out.push_back(Key(virtualKey, modifiers, character));
  };
  switch (codePoint) {
    case 13: return special(VK_RETURN);
    case 9: return special(VK_TAB);
    case 27: return special(VK_ESCAPE);
    case 8:
    case 127: return special(VK_BACK);
    default: break;
  }
  const auto byte = text::CodePointToCp1252(codePoint);
  if (!byte || *byte < 32) return;
  uint8_t ch = *byte;
  // With Ctrl the terminal may send the unshifted letter; the key is the same.
  if ((modifiers & ModCtrl) && ch >= 'A' && ch <= 'Z' && !(modifiers & ModShift)) ch = static_cast<uint8_t>(ch + 32);
  if ((modifiers & ModShift) && ch >= 'a' && ch <= 'z') ch = static_cast<uint8_t>(ch - 32);
  AppendCharacterKey(ch, modifiers, out);
}

// ---- keys of the kitty keyboard protocol ----
//
// A key report names the key (its unshifted code point, or a number of the protocol's own
// for keys that make no text), the modifiers, the event (press, repeat, release) and, with
// the flags we push, the text the key types and the key's place on a US keyboard. The key
// events made of it are the ones the window makes for the same key.

constexpr int FirstPrivateKey = 57344, LastPrivateKey = 63743;

struct ModifierKey {
  int code;
  int virtualKey;
  uint32_t modifier;  // its own bit, as the window counts it
};
// The right Alt and the level-three shift are AltGr on the layouts that need it: the window
// does not take them as Alt, and neither do we.
constexpr ModifierKey ModifierKeys[] = {
    {57441, VK_SHIFT, ModShift},  {57447, VK_SHIFT, ModShift}, {57442, VK_CONTROL, ModCtrl},
    {57448, VK_CONTROL, ModCtrl}, {57443, VK_MENU, ModAlt},    {57449, VK_MENU, 0},
    {57453, VK_MENU, 0},          {57444, VK_LWIN, 0},         {57450, VK_RWIN, 0},
};

struct FunctionalKey {
  int code;
  int virtualKey;
  char character;  // what the key types when the terminal sends no text (0: what KeyCharacter says)
};
constexpr FunctionalKey FunctionalKeys[] = {
    {13, VK_RETURN, 0},
    {9, VK_TAB, 0},
    {27, VK_ESCAPE, 0},
    {127, VK_BACK, 0},
    {8, VK_BACK, 0},
    {57362, VK_PAUSE, 0},
    {57399, VK_NUMPAD0, '0'},
    {57400, VK_NUMPAD0 + 1, '1'},
    {57401, VK_NUMPAD0 + 2, '2'},
    {57402, VK_NUMPAD0 + 3, '3'},
    {57403, VK_NUMPAD0 + 4, '4'},
    {57404, VK_NUMPAD0 + 5, '5'},
    {57405, VK_NUMPAD0 + 6, '6'},
    {57406, VK_NUMPAD0 + 7, '7'},
    {57407, VK_NUMPAD0 + 8, '8'},
    {57408, VK_NUMPAD0 + 9, '9'},
    {57409, VK_DECIMAL, '.'},
    {57410, VK_DIVIDE, '/'},
    {57411, VK_MULTIPLY, '*'},
    {57412, VK_SUBTRACT, '-'},
    {57413, VK_ADD, '+'},
    {57414, VK_RETURN, 0},
    {57415, 0, '='},
    {57416, VK_SEPARATOR, ','},
    {57417, VK_LEFT, 0},
    {57418, VK_RIGHT, 0},
    {57419, VK_UP, 0},
    {57420, VK_DOWN, 0},
    {57421, VK_PRIOR, 0},
    {57422, VK_NEXT, 0},
    {57423, VK_HOME, 0},
    {57424, VK_END, 0},
    {57425, VK_INSERT, 0},
    {57426, VK_DELETE, 0},
    {57427, VK_CLEAR, 0},
};

// The virtual key of a key named by its character on a US keyboard, as the window names the
// key in that place (letters and digits, the space bar and the punctuation keys).
int VirtualKeyOfUsKey(int codePoint) {
  if (codePoint >= 'a' && codePoint <= 'z') return codePoint - 32;
  switch (codePoint) {
    case ';': return VK_OEM_1;
    case '=': return VK_OEM_PLUS;
    case ',': return VK_OEM_COMMA;
    case '-': return VK_OEM_MINUS;
    case '.': return VK_OEM_PERIOD;
    case '/': return VK_OEM_2;
    case '`': return VK_OEM_3;
    case '[': return VK_OEM_4;
    case ']': return VK_OEM_6;
    case '\'': return VK_OEM_7;
    default: break;
  }
  return codePoint >= 0 && codePoint < 0x80 ? VirtualKeyOfCharacter(static_cast<uint8_t>(codePoint)) : 0;
}

// The capital of a letter that Windows-1252 has in both cases; other characters stay.
char32_t CapitalOf(char32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  switch (c) {
    case 0xFF: return 0x178;   // ÿ
    case 0x153: return 0x152;  // œ
    case 0x161: return 0x160;  // š
    case 0x17E: return 0x17D;  // ž
    default: return c;
  }
}

std::optional<uint8_t> TypedByte(int codePoint) {
  if (codePoint < 0x20 || codePoint == 0x7F) return std::nullopt;
  const auto byte = text::CodePointToCp1252(static_cast<char32_t>(codePoint));
  if (!byte || *byte < 0x20 || *byte == 0x7F) return std::nullopt;
  return byte;
}

struct KeyReport {
  int code = 0;
  int shiftedKey = -1, usKey = -1;  // the alternate keys, where reported
  int modifierBits = 0;             // shift 1, alt 2, ctrl 4, super 8, ... caps lock 64, num lock 128
  Event event = Event::Press;
  std::vector<int> text;  // the text's code points, where reported
};

// What a key types when the terminal sends no text with it: its own character, shifted as
// the terminal says, or a capital letter; what Shift makes of any other key is the layout's
// business, and unknown here.
std::optional<uint8_t> CharacterOfKey(const KeyReport& report, bool shift) {
  if (report.code < 0x20 || report.code == 0x7F || report.code >= FirstPrivateKey) return std::nullopt;
  char32_t c = static_cast<char32_t>(report.code);
  const bool capsLock = report.modifierBits & 64;
  if (shift && report.shiftedKey > 0)
    c = static_cast<char32_t>(report.shiftedKey);
  else if (shift && CapitalOf(c) == c)
    return std::nullopt;
  else if (shift != capsLock)
    c = CapitalOf(c);
  return TypedByte(static_cast<int>(c));
}

void AppendReportedKey(const KeyReport& report, std::vector<TerminalInput>& out) {
  uint32_t modifiers = 0;
  if (report.modifierBits & 1) modifiers |= ModShift;
  if (report.modifierBits & 2) modifiers |= ModAlt;
  if (report.modifierBits & 4) modifiers |= ModCtrl;

  // A modifier key carries the state after its event, as in the window: pressing Shift
  // comes with Shift, letting it go without.
  for (const ModifierKey& key : ModifierKeys) {
    if (key.code != report.code) continue;
    modifiers = report.event == Event::Release ? modifiers & ~key.modifier : modifiers | key.modifier;
    out.push_back(Key(key.virtualKey, modifiers, std::nullopt, report.event));
    return;
  }

  const FunctionalKey* functional = nullptr;
  for (const FunctionalKey& key : FunctionalKeys) {
    if (key.code == report.code) {
      functional = &key;
      break;
    }
  }
  int virtualKey = 0;
  if (functional)
    virtualKey = functional->virtualKey == VK_PAUSE && (modifiers & ModCtrl) ? VK_CANCEL : functional->virtualKey;
  else if (report.code < FirstPrivateKey || report.code > LastPrivateKey)
    virtualKey = VirtualKeyOfUsKey(report.usKey > 0 ? report.usKey : report.code);

  std::vector<uint8_t> typed;
  if (report.event == Event::Release) {
    // a release types nothing
  } else if ((modifiers & (ModCtrl | ModAlt)) || (functional && functional->character == 0)) {
    // As in the window: keys with Ctrl make their control code, keys with Alt nothing.
    if (!(modifiers & ModAlt)) {
      if (const auto ch = KeyCharacter(virtualKey, modifiers)) typed.push_back(*ch);
    }
  } else if (!report.text.empty()) {
    for (const int codePoint : report.text) {
      if (const auto byte = TypedByte(codePoint)) typed.push_back(*byte);
    }
  } else if (functional) {
    typed.push_back(static_cast<uint8_t>(functional->character));
  } else if (const auto ch = CharacterOfKey(report, modifiers & ModShift)) {
    typed.push_back(*ch);
  }

  if (virtualKey == 0 && typed.empty()) return;  // a key the console has no use for
  out.push_back(
      Key(virtualKey, modifiers, typed.empty() ? std::nullopt : std::optional<uint8_t>(typed[0]), report.event));
  // Text of more than one character (an input method's): the rest as typed keys.
  for (std::size_t i = 1; i < typed.size(); ++i) {
    out.push_back(Key(VirtualKeyOfCharacter(typed[i]), modifiers, typed[i]));
  }
}

// A single byte below 0x80 typed on its own (or after ESC, with Alt in 'modifiers').
void AppendByteKey(uint8_t byte, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const bool alt = modifiers & ModAlt;
  const auto control = [&](int virtualKey, uint32_t extra, std::optional<uint8_t> character) {
    out.push_back(Key(virtualKey, modifiers | extra, alt ? std::nullopt : character));
  };
  switch (byte) {
    case 0x7F: return control(VK_BACK, 0, 8);
    case 0x08: return control(VK_BACK, ModCtrl, 8);  // Ctrl+Backspace on most terminals
    case 0x09: return control(VK_TAB, 0, 9);
    case 0x0D: return control(VK_RETURN, 0, 13);
    case 0x0A: return control('J', ModCtrl, 10);
    case 0x1B: return control(VK_ESCAPE, 0, 27);
    case 0x00: return control(VK_SPACE, ModCtrl, ' ');
    case 0x1C: return control(VK_OEM_5, ModCtrl, 28);
    case 0x1D: return control(VK_OEM_6, ModCtrl, 29);
    case 0x1E: return control('6', ModCtrl | ModShift, 30);
    case 0x1F: return control(VK_OEM_MINUS, ModCtrl, 31);
    default: break;
  }
  if (byte < 0x20) return control('A' + byte - 1, ModCtrl, byte);
  AppendCharacterKey(byte, modifiers, out);
}

enum class Step { Done, NeedMore };

// Decodes the UTF-8 character (or stray byte) at bytes[at]; 'used' gets its length.
Step DecodeCharacter(std::string_view bytes, std::size_t at, bool atEnd, uint32_t modifiers, std::size_t& used,
                     std::vector<TerminalInput>& out) {
  const auto lead = static_cast<uint8_t>(bytes[at]);
  if (lead < 0x80) {
    used = 1;
    AppendByteKey(lead, modifiers, out);
    return Step::Done;
  }
  const std::size_t length = text::Utf8SequenceLength(lead);
  std::size_t have = 1;
  while (length > 0 && have < length && at + have < bytes.size() &&
         text::IsUtf8Continuation(static_cast<uint8_t>(bytes[at + have]))) {
    ++have;
  }
  if (length > 0 && have < length && at + have == bytes.size() && !atEnd) return Step::NeedMore;
  const text::Utf8Character character = text::DecodeUtf8At(bytes, at);
  if (character.length == 0) {
    used = 1;  // not UTF-8: the byte stands for itself
    AppendCharacterKey(lead, modifiers, out);
    return Step::Done;
  }
  used = character.length;
  // A character without a Windows-1252 byte types nothing.
  if (const auto byte = text::CodePointToCp1252(character.codePoint)) AppendCharacterKey(*byte, modifiers, out);
  return Step::Done;
}

// A CSI or SS3 sequence's body: parameters separated by ';', each with sub-parameters
// separated by ':'.
struct Sequence {
  std::vector<std::vector<int>> fields;  // -1 for an empty one
  char marker = 0;                       // a private marker ('?' in replies, '<' in mouse reports)
  char final = 0;
};

int Field(const Sequence& sequence, std::size_t index, std::size_t sub, int fallback) {
  if (index >= sequence.fields.size() || sub >= sequence.fields[index].size()) return fallback;
  const int value = sequence.fields[index][sub];
  return value >= 0 ? value : fallback;
}

// No key report comes near this length; a longer body is noise, and is dropped whole.
constexpr std::size_t MostSequenceBytes = 128;
constexpr int LargestNumber = 0x110000;  // beyond every code point

enum class Skip { Ended, Broken, Unfinished };

// Passes over the rest of a sequence's body from bytes[at], keeping nothing. Ended: 'end'
// is the index after its final byte. Broken: 'end' is where a byte that cannot be in a
// sequence came. Unfinished: the bytes ran out ('end' is their size).
Skip SkipSequenceBody(std::string_view bytes, std::size_t at, std::size_t& end) {
  for (end = at; end < bytes.size(); ++end) {
    const auto c = static_cast<uint8_t>(bytes[end]);
    if (c >= 0x40 && c <= 0x7E) {
      ++end;
      return Skip::Ended;
    }
    if (c < 0x20 || c > 0x3F) return Skip::Broken;
  }
  return Skip::Unfinished;
}

// Complete: a sequence to decode. Dropped: one longer than any key report, ended or broken.
// TooLong: such a one that the bytes so far do not end. Broken: a byte that cannot be in a
// sequence came before the end.
enum class Parse { Complete, Unfinished, Broken, Dropped, TooLong };

// Parses the body of a CSI or SS3 sequence starting at bytes[at]. Complete and Dropped:
// 'end' is the index after its final byte, or, for a broken one, where the byte that
// cannot be in a sequence came; the sequence ends before it. TooLong: 'end' is the end of
// the bytes.
Parse ParseSequence(std::string_view bytes, std::size_t at, Sequence& sequence, std::size_t& end) {
  std::vector<int> field{-1};
  for (std::size_t i = at; i < bytes.size(); ++i) {
    if (i - at >= MostSequenceBytes) {
      return SkipSequenceBody(bytes, i, end) == Skip::Unfinished ? Parse::TooLong : Parse::Dropped;
    }
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (c >= '0' && c <= '9') {
      field.back() = std::min(std::max(field.back(), 0) * 10 + (c - '0'), LargestNumber);
    } else if (c == ':') {
      field.push_back(-1);
    } else if (c == ';') {
      sequence.fields.push_back(std::move(field));
      field.assign(1, -1);
    } else if (c >= 0x3C && c <= 0x3F) {
      if (sequence.marker == 0) sequence.marker = static_cast<char>(c);
    } else if (c >= 0x20 && c <= 0x2F) {
      // intermediate bytes: none of the keys we know use them
    } else if (c >= 0x40 && c <= 0x7E) {
      sequence.fields.push_back(std::move(field));
      sequence.final = static_cast<char>(c);
      end = i + 1;
      return Parse::Complete;
    } else {
      end = i;
      return Parse::Broken;
    }
  }
  return Parse::Unfinished;
}

int FunctionKey(int number) { return VK_F1 + number - 1; }

// The virtual key of a final byte that CSI and SS3 sequences share (cursor keys, Home,
// End, the keypad's middle key, F1-F4); 0 for any other.
int CursorOrFunctionKey(char final) {
  switch (final) {
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'E': return VK_CLEAR;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    case 'P': return VK_F1;
    case 'Q': return FunctionKey(2);
    case 'R': return FunctionKey(3);
    case 'S': return FunctionKey(4);
    default: return 0;
  }
}

// The key of a '~' sequence's number: editing keys and F1-F12 (0 for any other).
int NumberedKey(int number) {
  switch (number) {
    case 1:
    case 7: return VK_HOME;
    case 2: return VK_INSERT;
    case 3: return VK_DELETE;
    case 4:
    case 8: return VK_END;
    case 5: return VK_PRIOR;
    case 6: return VK_NEXT;
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: return FunctionKey(number - 10);
    case 17:
    case 18:
    case 19:
    case 20:
    case 21: return FunctionKey(number - 11);
    case 23:
    case 24: return FunctionKey(number - 12);
    case 57427: return VK_CLEAR;
    default: return 0;
  }
}

// The event a CSI key sequence reports after its modifiers (none: a press).
std::optional<Event> EventOf(const Sequence& sequence) {
  switch (Field(sequence, 1, 1, 1)) {
    case 1: return Event::Press;
    case 2: return Event::Repeat;
    case 3: return Event::Release;
    default: return std::nullopt;  // not an event the protocol knows
  }
}

TerminalInput Reply(TerminalInput::Kind kind, int flags = 0) {
  TerminalInput input;
  input.kind = kind;
  input.flags = flags;
  return input;
}

// The input of a complete CSI sequence (nothing for sequences we do not know).
void AppendCsiInput(const Sequence& s, std::vector<TerminalInput>& out) {
  if (s.marker == '?') {  // the terminal's answers to the console's questions
    if (s.final == 'u') out.push_back(Reply(TerminalInput::Kind::KeyboardFlags, Field(s, 0, 0, 0)));
    if (s.final == 'c') out.push_back(Reply(TerminalInput::Kind::DeviceAttributes));
    return;
  }
  if (s.marker != 0) return;  // mouse reports and other answers, not keys
  const std::optional<Event> event = EventOf(s);
  if (!event) return;
  if (s.final == 'u') {
    KeyReport report;
    report.code = Field(s, 0, 0, 0);
    report.shiftedKey = Field(s, 0, 1, -1);
    report.usKey = Field(s, 0, 2, -1);
    report.modifierBits = std::max(Field(s, 1, 0, 1) - 1, 0);
    report.event = *event;
    if (s.fields.size() > 2) {
      for (const int codePoint : s.fields[2]) {
        if (codePoint >= 0) report.text.push_back(codePoint);
      }
    }
    return AppendReportedKey(report, out);
  }
  const uint32_t modifiers = ModifiersOfParameter(Field(s, 1, 0, 1));
  int virtualKey = CursorOrFunctionKey(s.final);
  switch (s.final) {
    case 'Z': out.push_back(Key(VK_TAB, ModShift, 9)); return;
    case 'I':
    case 'O':
      if (s.fields.size() == 1 && Field(s, 0, 0, -1) < 0)
        out.push_back(Reply(s.final == 'I' ? TerminalInput::Kind::FocusIn : TerminalInput::Kind::FocusOut));
      return;
    case '~':
      // xterm's modifyOtherKeys: CSI 27 ; modifiers ; code ~
      if (Field(s, 0, 0, 0) == 27) return AppendCodePointKey(static_cast<char32_t>(Field(s, 2, 0, 0)), modifiers, out);
      virtualKey = NumberedKey(Field(s, 0, 0, 0));
      break;
    default: break;
  }
  if (virtualKey != 0) out.push_back(Key(virtualKey, modifiers, std::nullopt, *event));
}

// The key of a complete SS3 sequence (ESC O x): cursor keys in application mode, F1-F4.
void AppendSs3Key(const Sequence& s, std::vector<TerminalInput>& out) {
  const uint32_t modifiers = ModifiersOfParameter(Field(s, s.fields.size() > 1 ? 1 : 0, 0, 1));
  if (const int shared = CursorOrFunctionKey(s.final)) {
    out.push_back(Key(shared, modifiers, std::nullopt));
    return;
  }
  if (s.final == 'M') out.push_back(Key(VK_RETURN, modifiers, KeyCharacter(VK_RETURN, modifiers)));
}

// Decodes the escape sequence or Alt key at bytes[at] (an ESC).
Step DecodeEscape(std::string_view bytes, std::size_t at, bool atEnd, std::size_t& used,
                  std::vector<TerminalInput>& out, TerminalDecodeState& state) {
  if (at + 1 >= bytes.size()) {
    if (!atEnd) return Step::NeedMore;
    used = 1;
    AppendByteKey(Escape, 0, out);
    return Step::Done;
  }
  const char introducer = bytes[at + 1];
  if (introducer == Escape) {  // Esc pressed twice: the first is a plain Esc
    used = 1;
    AppendByteKey(Escape, 0, out);
    return Step::Done;
  }
  if (introducer == '[' || introducer == 'O') {
    if (at + 2 >= bytes.size()) {
      if (!atEnd) return Step::NeedMore;
      used = 2;
      if (introducer == 'O') AppendCharacterKey('O', ModAlt, out);  // Alt+Shift+O
      return Step::Done;
    }
    // The Linux console's F1-F5: ESC [ [ A..E.
    if (introducer == '[' && bytes[at + 2] == '[') {
      if (at + 3 >= bytes.size()) {
        if (!atEnd) return Step::NeedMore;
        used = 3;
        return Step::Done;
      }
      const char letter = bytes[at + 3];
      if (letter >= 'A' && letter <= 'E') out.push_back(Key(FunctionKey(letter - 'A' + 1), 0, std::nullopt));
      used = 4;
      return Step::Done;
    }
    Sequence sequence;
    std::size_t end = 0;
    switch (ParseSequence(bytes, at + 2, sequence, end)) {
      case Parse::Broken:
      case Parse::Dropped:
        used = end - at;  // drop what was read; an odd byte is decoded on its own
        return Step::Done;
      case Parse::TooLong:
        used = bytes.size() - at;  // dropped so far; the rest is dropped as it comes
        if (!atEnd) state.skippingSequence = true;
        return Step::Done;
      case Parse::Unfinished:
        if (!atEnd) return Step::NeedMore;
        used = bytes.size() - at;  // a sequence cut short for good
        return Step::Done;
      case Parse::Complete: break;
    }
    used = end - at;
    if (introducer == '[')
      AppendCsiInput(sequence, out);
    else
      AppendSs3Key(sequence, out);
    return Step::Done;
  }
  std::size_t length = 0;
  if (DecodeCharacter(bytes, at + 1, atEnd, ModAlt, length, out) == Step::NeedMore) return Step::NeedMore;
  used = 1 + length;
  return Step::Done;
}

}  // namespace

std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out,
                                TerminalDecodeState& state) {
  std::size_t at = 0;
  if (state.skippingSequence) {
    // The rest of a sequence too long to be a key, up to its final byte or a byte that
    // cannot be in it.
    if (SkipSequenceBody(bytes, 0, at) != Skip::Unfinished || atEnd) state.skippingSequence = false;
  }
  while (at < bytes.size()) {
    std::size_t used = 0;
    const Step step = bytes[at] == Escape ? DecodeEscape(bytes, at, atEnd, used, out, state)
                                          : DecodeCharacter(bytes, at, atEnd, 0, used, out);
    if (step == Step::NeedMore) break;
    at += used;
  }
  return at;
}

std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out) {
  TerminalDecodeState state;
  return DecodeTerminalInput(bytes, atEnd, out, state);
}

}  // namespace platform
