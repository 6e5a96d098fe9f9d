// Most terminals report no key releases, so there every key is posted as a press followed
// at once by its release, and the Braille chord keyboard (keys held together) cannot work.
// Terminals that speak the kitty keyboard protocol report every press, repeat and release:
// the console asks at start, and where the answer is yes, keys go down and up as in the
// window. The magnifier needs a mouse and pixels, and works in no terminal.
#include "platform/terminal_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <span>
#include <vector>

#include "platform/audio_device.h"
#include "platform/real_time.h"
#include "platform/wave_out.h"
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

constexpr int VkPause = 0x13, VkClear = 0x0C, VkNumpad0 = 0x60, VkLeftWindows = 0x5B;
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
    {57453, VK_MENU, 0},          {57444, VkLeftWindows, 0},   {57450, VkLeftWindows + 1, 0},
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
    {57362, VkPause, 0},
    {57399, VkNumpad0, '0'},
    {57400, VkNumpad0 + 1, '1'},
    {57401, VkNumpad0 + 2, '2'},
    {57402, VkNumpad0 + 3, '3'},
    {57403, VkNumpad0 + 4, '4'},
    {57404, VkNumpad0 + 5, '5'},
    {57405, VkNumpad0 + 6, '6'},
    {57406, VkNumpad0 + 7, '7'},
    {57407, VkNumpad0 + 8, '8'},
    {57408, VkNumpad0 + 9, '9'},
    {57409, 0x6E, '.'},
    {57410, 0x6F, '/'},
    {57411, 0x6A, '*'},
    {57412, 0x6D, '-'},
    {57413, 0x6B, '+'},
    {57414, VK_RETURN, 0},
    {57415, 0, '='},
    {57416, 0x6C, ','},
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
    {57427, VkClear, 0},
};

// The virtual key of a key named by its character on a US keyboard, as the window names the
// key in that place (letters and digits, the space bar and the punctuation keys).
int VirtualKeyOfUsKey(int codePoint) {
  if (codePoint >= 'a' && codePoint <= 'z') return codePoint - 32;
  switch (codePoint) {
    case ';': return 0xBA;
    case '=': return 0xBB;
    case ',': return 0xBC;
    case '-': return 0xBD;
    case '.': return 0xBE;
    case '/': return 0xBF;
    case '`': return 0xC0;
    case '[': return 0xDB;
    case ']': return 0xDD;
    case '\'': return 0xDE;
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
    virtualKey = functional->virtualKey == VkPause && (modifiers & ModCtrl) ? VK_CANCEL : functional->virtualKey;
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
    case 0x1C: return control(0xDC, ModCtrl, 28);
    case 0x1D: return control(0xDD, ModCtrl, 29);
    case 0x1E: return control('6', ModCtrl | ModShift, 30);
    case 0x1F: return control(0xBD, ModCtrl, 31);
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
    case 'E': return VkClear;
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
    case 57427: return VkClear;
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

// ---- drawing ----

namespace {

void AppendNumber(std::string& out, int value) { out += std::to_string(value); }

void AppendColour(std::string& out, int layer, Rgb colour) {
  out += "\x1b[";
  AppendNumber(out, layer);
  out += ";2;";
  AppendNumber(out, colour.red);
  out += ';';
  AppendNumber(out, colour.green);
  out += ';';
  AppendNumber(out, colour.blue);
  out += 'm';
}

void AppendCellCharacter(std::string& out, uint8_t character) {
  const char32_t codePoint = text::Cp1252ToCodePoint(character);
  // Control characters (and the undefined Windows-1252 bytes, which map to C1 controls)
  // would move the terminal's cursor; they show as blanks.
  if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
    out += ' ';
    return;
  }
  out += text::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(&character), 1));
}

}  // namespace

std::string RenderGridDiff(const TerminalGrid* shown, const TerminalGrid& wanted, int visibleColumns, int visibleRows) {
  std::string out;
  const int columns = std::min(wanted.width, visibleColumns);
  const int rows = std::min(wanted.height, visibleRows);
  std::optional<Rgb> foreground, background;
  int cursorX = -1, cursorY = -1;  // unknown
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const TerminalCell& cell = wanted.At(x, y);
      if (shown && shown->At(x, y) == cell) continue;
      if (cursorX != x || cursorY != y) {
        out += "\x1b[";
        AppendNumber(out, y + 1);
        out += ';';
        AppendNumber(out, x + 1);
        out += 'H';
      }
      if (foreground != cell.foreground) AppendColour(out, 38, cell.foreground);
      if (background != cell.background) AppendColour(out, 48, cell.background);
      foreground = cell.foreground;
      background = cell.background;
      AppendCellCharacter(out, cell.character);
      // After the last column the cursor waits to wrap: its place is not to be trusted.
      cursorX = x + 1 < columns ? x + 1 : -1;
      cursorY = y;
    }
  }
  return out;
}

std::string SizeNoticeText(int columns, int rows) {
  return "Ilha de Quelvar precisa de um terminal de " + std::to_string(ConsoleColumns) + " colunas por " +
         std::to_string(ConsoleRows) + " linhas; este tem " + std::to_string(columns) + " colunas por " +
         std::to_string(rows) + " linhas. Aumente a janela do terminal.";
}

std::string RenderSizeNotice(int columns, int rows) {
  // Word-wrapped to the width there is, from the top left; what does not fit is cut.
  const std::string text = SizeNoticeText(columns, rows);
  const auto width = static_cast<std::size_t>(std::max(columns, 1));
  std::string out = "\x1b[0m\x1b[2J";
  std::size_t at = 0;
  for (int row = 1; row <= rows && at < text.size(); ++row) {
    std::size_t end = std::min(text.size(), at + width);
    if (end < text.size()) {
      const std::size_t blank = text.rfind(' ', end);
      if (blank != std::string::npos && blank > at) end = blank;
    }
    out += "\x1b[" + std::to_string(row) + ";1H" + text.substr(at, end - at);
    at = end;
    while (at < text.size() && text[at] == ' ') ++at;
  }
  return out;
}

// ---- the backend ----

namespace {

// ---- giving the terminal back, and taking it again ----
//
// Everything the signal handlers touch is here. The program thread sets it up before the
// handlers are installed; the handlers only write(2), tcsetattr(3), raise(3) and the like,
// which are async-signal-safe.

constexpr char RestoreSequence[] =
    "\x1b[>4;0m"       // modifyOtherKeys off
    "\x1b[?1004l"      // no focus reports
    "\x1b[0m\x1b[0 q"  // plain colours, the user's cursor shape
    "\x1b[?7h"         // line wrap back on
    "\x1b[?25h"        // cursor visible
    "\x1b[?1049l"      // back to the normal screen
    "\x1b[23;0t";      // the title the terminal had before
// The keyboard protocol's questions: its flags, then the primary device attributes, which
// every terminal answers; a terminal that speaks the protocol answers the first one first.
constexpr char KeyboardProtocolQuery[] = "\x1b[?u\x1b[c";
static_assert(KeyboardProtocolFlags == 31);
constexpr char KeyboardFlagsPush[] = "\x1b[>31u";
constexpr char KeyboardFlagsQuery[] = "\x1b[?u";
// The flags popped before the normal screen comes back: terminals keep one stack per screen.
constexpr char KeyboardFlagsPop[] = "\x1b[<u";
// Without release events or text keys as reports, chords cannot be read.
constexpr int FlagsForReleases = 2 | 8;

// What makes the terminal the console's, after raw mode.
constexpr char SetupSequence[] =
    "\x1b[22;0t"   // keep the terminal's title, to give it back at the end
    "\x1b[?1049h"  // the alternate screen: the user's scrollback stays as it was
    "\x1b[?7l"     // no line wrap: the bottom-right cell must not scroll the screen
    "\x1b[?25l"    // the cursor shows only as the caret
    "\x1b[4 q"     // an underline cursor, like the console's caret
    "\x1b[?1004h"  // focus reports, where the terminal has them
    "\x1b[0m\x1b[2J";
constexpr char ModifyOtherKeysOn[] = "\x1b[>4;1m";  // tells Ctrl+Enter from Enter, where known

struct HeldTerminal {
  int inputFd = -1, outputFd = -1;
  termios saved{}, raw{};
  bool modifyOtherKeys = false;
};

struct SignalSteps {
  TerminalLeaveStep leave = nullptr;
  TerminalResumeStep resume = nullptr;
};
constexpr int MostSignalSteps = 4;

// What the signal handlers share with the program: the terminal held, what is on it now,
// the steps others take on a signal, and the handlers there were before. Signals are the
// process's, so this is too; a handler makes only async-signal-safe use of it.
struct TerminalSignals {
  HeldTerminal held;
  volatile sig_atomic_t rawActive = 0;     // raw mode and the console's sequences are on
  volatile sig_atomic_t flagsPushed = 0;   // the keyboard protocol's flags are on the terminal's stack
  volatile sig_atomic_t flagsWanted = 0;   // and go back on when the terminal is taken again
  volatile sig_atomic_t givenForStop = 0;  // given back for SIGTSTP: SIGCONT takes it again
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t takenAgain = 0;  // the screen is to be drawn anew
  int wakeWriteFd = -1;
  SignalSteps steps[MostSignalSteps];
  volatile sig_atomic_t stepCount = 0;
  struct sigaction previousActions[NSIG];
  std::vector<int> moreEnding;  // the signals beyond EndingSignals handled as they are (program thread only)
};

TerminalSignals gSignals;

void WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}
template <std::size_t N>
void WriteAll(int fd, const char (&text)[N]) {
  WriteAll(fd, text, N - 1);
}

void WakeProgram() {
  if (gSignals.wakeWriteFd < 0) return;
  const char byte = 0;
  ssize_t ignored = write(gSignals.wakeWriteFd, &byte, 1);
  (void)ignored;
}

// The end of the program's way with the terminal, for good or until SIGCONT.
void GiveTerminalBack() {
  if (!gSignals.rawActive) return;
  gSignals.rawActive = 0;
  if (gSignals.flagsPushed) {
    gSignals.flagsPushed = 0;
    WriteAll(gSignals.held.outputFd, KeyboardFlagsPop);
  }
  WriteAll(gSignals.held.outputFd, RestoreSequence);
  tcsetattr(gSignals.held.inputFd, TCSAFLUSH, &gSignals.held.saved);
}

void TakeTerminal() {
  if (gSignals.rawActive || tcsetattr(gSignals.held.inputFd, TCSAFLUSH, &gSignals.held.raw) != 0) return;
  gSignals.rawActive = 1;
  WriteAll(gSignals.held.outputFd, SetupSequence);
  if (gSignals.held.modifyOtherKeys) WriteAll(gSignals.held.outputFd, ModifyOtherKeysOn);
  if (gSignals.flagsWanted) {
    gSignals.flagsPushed = 1;
    WriteAll(gSignals.held.outputFd, KeyboardFlagsPush);
  }
}

void RunLeaveSteps(int signal) {
  for (int i = 0; i < gSignals.stepCount; ++i) {
    if (gSignals.steps[i].leave) gSignals.steps[i].leave(signal);
  }
}
void RunResumeSteps() {
  for (int i = 0; i < gSignals.stepCount; ++i) {
    if (gSignals.steps[i].resume) gSignals.steps[i].resume();
  }
}

// A program continued in the background takes the terminal when it is brought to the front
// (the shell's fg continues it again).
bool InForeground() {
  const pid_t group = tcgetpgrp(gSignals.held.inputFd);
  return group < 0 || group == getpgrp();
}

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int CrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int OtherSignals[] = {SIGTSTP, SIGCONT, SIGWINCH};
// Every other signal whose default ends the program: it gives the terminal back too, but
// only where it would end the program (one that is ignored, by the program or by whoever
// started it, such as SIGXFSZ or SIGPIPE, stays ignored). The real-time signals follow.
constexpr int MoreEndingSignals[] = {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,  SIGXCPU,
                                     SIGXFSZ, SIGPIPE, SIGIO,   SIGPWR,    SIGSTKFLT};

void Install(int signal, void (*handler)(int, siginfo_t*, void*), int flags) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void SetDefault(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void OnEndingSignal(int signal, siginfo_t*, void*) {
  GiveTerminalBack();
  RunLeaveSteps(signal);
  SetDefault(signal);
  raise(signal);
}

void OnCrash(int signal, siginfo_t* info, void*) {
  GiveTerminalBack();
  RunLeaveSteps(signal);
  // The handler there was before (a sanitizer's, or the default) takes it from here: a
  // fault comes back to it as the faulting instruction runs again; a signal sent by someone
  // (si_code 0 or below) is sent again.
  sigaction(signal, &gSignals.previousActions[signal], nullptr);
  if (!info || info->si_code <= 0) raise(signal);
}

void ContinueAfterStop() {
  if (!InForeground()) return;
  if (gSignals.givenForStop) {
    gSignals.givenForStop = 0;
    TakeTerminal();
    RunResumeSteps();
  } else if (gSignals.rawActive) {
    // Stopped by SIGSTOP, without a word: the shell may have set its own modes meanwhile.
    tcsetattr(gSignals.held.inputFd, TCSANOW, &gSignals.held.raw);
  }
  gSignals.takenAgain = 1;
  gSignals.resized = 1;  // the terminal may have changed size meanwhile
  WakeProgram();
}

void OnContinue(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  ContinueAfterStop();
  errno = savedErrno;
}

void OnStop(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  if (gSignals.rawActive) {
    GiveTerminalBack();
    gSignals.givenForStop = 1;
  }
  RunLeaveSteps(SIGTSTP);
  // Stop as the default action does, then take the handler back. A process group that no
  // shell could continue is not stopped at all (the kernel discards the signal): then the
  // program simply goes on.
  SetDefault(SIGTSTP);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  Install(SIGTSTP, OnStop, SA_RESTART);
  ContinueAfterStop();
  errno = savedErrno;
}

void OnResize(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  gSignals.resized = 1;
  WakeProgram();
  errno = savedErrno;
}

// The ending signals that are the default's to handle now, beyond EndingSignals.
std::vector<int> DefaultEndingSignals() {
  std::vector<int> signals(std::begin(MoreEndingSignals), std::end(MoreEndingSignals));
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
  std::erase_if(signals, [](int signal) {
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
           current.sa_handler != SIG_DFL;
  });
  return signals;
}

void InstallSignalHandlers() {
  for (const int signal : EndingSignals) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnEndingSignal, 0);
  }
  gSignals.moreEnding = DefaultEndingSignals();
  for (const int signal : gSignals.moreEnding) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnEndingSignal, 0);
  }
  for (const int signal : CrashSignals) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnCrash, 0);
  }
  for (const int signal : OtherSignals) sigaction(signal, nullptr, &gSignals.previousActions[signal]);
  Install(SIGTSTP, OnStop, SA_RESTART);
  Install(SIGCONT, OnContinue, SA_RESTART);
  Install(SIGWINCH, OnResize, SA_RESTART);
}

void RemoveSignalHandlers() {
  for (const auto& group : {std::span<const int>(EndingSignals), std::span<const int>(CrashSignals),
                            std::span<const int>(OtherSignals), std::span<const int>(gSignals.moreEnding)}) {
    for (const int signal : group) sigaction(signal, &gSignals.previousActions[signal], nullptr);
  }
}

constexpr int EscapeTimeoutMs = 50;
constexpr int MostReadsAtOnce = 16;          // 64 KiB of input between two looks at the game
constexpr int KeyboardProtocolWaitMs = 200;  // a terminal that answers nothing costs no more
constexpr uint64_t FrameMs = 16;             // presents that need not be at once: at most about 60 a second

class TerminalBackend : public RealTimeBackend {
 public:
  TerminalBackend(int inputFd, int outputFd)
      : grid_(ConsoleColumns, ConsoleRows), inputFd_(inputFd), outputFd_(outputFd) {}
  ~TerminalBackend() override {
    GiveTerminalBack();
    if (handlersInstalled_) RemoveSignalHandlers();
    gSignals.wakeWriteFd = -1;
    for (const int fd : wakePipe_) {
      if (fd >= 0) close(fd);
    }
    CloseSharedAudio();
  }

  bool Start(std::string& error) {
    if (!isatty(inputFd_) || !isatty(outputFd_)) {
      error = "standard input and output must be a terminal";
      return false;
    }
    // Sound first: audio libraries may complain on standard error, which then lands on the
    // user's own screen rather than inside the console's.
    OpenSound();
    if (tcgetattr(inputFd_, &gSignals.held.saved) != 0) {
      error = std::string("cannot read the terminal settings: ") + std::strerror(errno);
      return false;
    }
    if (pipe(wakePipe_) != 0) {
      error = std::string("cannot make a pipe: ") + std::strerror(errno);
      return false;
    }
    for (const int fd : wakePipe_) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    gSignals.wakeWriteFd = wakePipe_[1];
    gSignals.held.inputFd = inputFd_;
    gSignals.held.outputFd = outputFd_;
    // Nothing of an earlier console on another terminal (a test's) carries over.
    gSignals.flagsWanted = 0;
    gSignals.flagsPushed = 0;
    gSignals.givenForStop = 0;

    struct termios& raw = gSignals.held.raw;
    raw = gSignals.held.saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | IXON | INPCK | PARMRK);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CS8;
    // Reads never block: what poll said was there may be gone by the read (taking the
    // terminal back after a stop discards unread input).
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;

    const char* term = std::getenv("TERM");
    gSignals.held.modifyOtherKeys =
        term && (std::strstr(term, "xterm") || std::strstr(term, "tmux") || std::strstr(term, "screen") ||
                 std::strstr(term, "kitty") || std::strstr(term, "foot"));

    InstallSignalHandlers();
    handlersInstalled_ = true;
    TakeTerminal();
    if (!gSignals.rawActive) {
      error = std::string("cannot put the terminal in raw mode: ") + std::strerror(errno);
      return false;
    }
    AddExitStep(GiveTerminalBack);
    // Also when a library ends the process with exit(3), past the program's own end.
    static const bool atExit = std::atexit(GiveTerminalBack) == 0;
    (void)atExit;
    QuerySize();
    AskKeyboardProtocol();
    return true;
  }

  const char* Name() const override { return "terminal"; }
  bool ReportsKeyReleases() override { return releases_; }

  void PollEvents() override {
    ReadInput(0);
    FinishPendingEscape();
    if (gSignals.takenAgain) {
      gSignals.takenAgain = 0;
      SendTitle();
      fullRedraw_ = dirty_ = true;
    }
    if (gSignals.resized) {
      gSignals.resized = 0;
      QuerySize();
      fullRedraw_ = true;
      dirty_ = true;
    }
    if (dirty_ && NowMs() >= lastPresentMs_ + FrameMs) Show();
  }

  void WaitEvents(int timeoutMs) override {
    if (dirty_) Show();
    int wait = timeoutMs;
    if (!pending_.empty()) {
      const auto left = static_cast<int>(std::max<int64_t>(
          0, static_cast<int64_t>(pendingSinceMs_ + EscapeTimeoutMs) - static_cast<int64_t>(NowMs())));
      wait = wait < 0 ? left : std::min(wait, left);
    }
    ReadInput(wait);
    PollEvents();
  }

  void Wake() override {
    const char byte = 0;
    ssize_t ignored = write(wakePipe_[1], &byte, 1);
    (void)ignored;
  }

  // The console asks for a window as large as its text; a smaller terminal still gets
  // the whole screen drawn into its visible part.
  Rect WorkArea() override { return {0, 0, std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  Size ScreenSize() override { return {std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  SystemMetrics Metrics() override { return {}; }
  bool CreateFont(const FontRequest&) override { return true; }
  FontMetrics MeasureFont() override { return {1, 1, 0, 0, 0}; }

  bool OpenWindow(std::string_view title, Size) override {
    grid_ = TerminalGrid(ConsoleColumns, ConsoleRows);
    for (auto& cell : grid_.cells) cell = TerminalCell{' ', {}, {}};
    fullRedraw_ = dirty_ = true;
    SetTitle(title);
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(std::string_view cp1252) override {
    std::string title;
    for (const char c : cp1252) {
      const auto byte = static_cast<uint8_t>(c);
      if (byte >= 0x20 && byte != 0x7F) title += c;  // no control bytes inside the OSC
    }
    title_ = text::Cp1252ToUtf8(title);
    SendTitle();
  }
  bool IsActive() override { return focus_; }
  bool HasFocus() override { return focus_; }
  Rect WindowRect() override { return {0, 0, ConsoleColumns, ConsoleRows}; }

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    if (y < 0 || y >= grid_.height) return;
    for (std::size_t i = 0; i < cp1252.size(); ++i) {
      const int column = x + static_cast<int>(i);
      if (column < 0 || column >= grid_.width) continue;
      grid_.At(column, y) = {static_cast<uint8_t>(cp1252[i]), foreground, background};
    }
    dirty_ = true;
  }
  void Fill(const Rect& rect, Rgb colour) override {
    for (int y = std::max(0, rect.top); y < std::min(grid_.height, rect.bottom); ++y) {
      for (int x = std::max(0, rect.left); x < std::min(grid_.width, rect.right); ++x)
        grid_.At(x, y) = {' ', colour, colour};
    }
    dirty_ = true;
  }
  void Copy(const Rect& source, int destX, int destY) override {
    const TerminalGrid before = grid_;
    for (int y = source.top; y < source.bottom; ++y) {
      for (int x = source.left; x < source.right; ++x) {
        const int tx = destX + (x - source.left), ty = destY + (y - source.top);
        if (x < 0 || y < 0 || x >= grid_.width || y >= grid_.height || tx < 0 || ty < 0 || tx >= grid_.width ||
            ty >= grid_.height) {
          continue;
        }
        grid_.At(tx, ty) = before.At(x, y);
      }
    }
    dirty_ = true;
  }
  void Present(bool urgent) override {
    if (!dirty_) return;
    if (!urgent && NowMs() < lastPresentMs_ + FrameMs) return;  // shown by a later poll
    Show();
  }
  void Caret(bool visible, int x, int y, int, int) override {
    if (visible == caretVisible_ && x == caretX_ && y == caretY_) return;
    caretVisible_ = visible;
    caretX_ = x;
    caretY_ = y;
    dirty_ = true;
  }

  // Without a sound device the terminal's own bell.
  void Beep() override {
    if (HasSound())
      RealTimeBackend::Beep();
    else
      Write("\x07");
  }

 private:
  enum class Probe { Asking, Confirming, Done };

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      // Once the terminal is given back (an exit step, or a signal, even one taken while
      // this writes) nothing more is drawn: it would land on the user's own screen.
      if (!gSignals.rawActive) return;
      const ssize_t written = write(outputFd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;  // the terminal is gone; reading will notice and close
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  void SendTitle() { Write("\x1b]0;" + title_ + "\x07"); }

  // Asks whether the terminal speaks the kitty keyboard protocol, and waits a little for
  // the answer; one that comes later still counts (Decode sees to it).
  void AskKeyboardProtocol() {
    probe_ = Probe::Asking;
    Write(KeyboardProtocolQuery);
    const uint64_t until = NowMs() + KeyboardProtocolWaitMs;
    for (uint64_t now = NowMs(); probe_ != Probe::Done && now < until; now = NowMs())
      ReadInput(static_cast<int>(until - now));
  }

  // The terminal speaks the protocol: our flags go on, and keys are taken as it reports
  // them from then on. It is asked once more which flags it took; an answer without the
  // ones that report releases takes them off again (half the protocol is worse than none).
  // Releases count as reported (and the console is told, so that a Braille keyboard set to
  // start on can start) only once that answer says so, or a release has come.
  void OnKeyboardFlags(int flags) {
    switch (probe_) {
      case Probe::Asking:
        probe_ = Probe::Confirming;
        gSignals.flagsWanted = 1;
        gSignals.flagsPushed = 1;  // before the push: a signal now pops at worst one flag set too many
        Write(std::string(KeyboardFlagsPush) + KeyboardFlagsQuery);
        protocol_ = true;
        break;
      case Probe::Confirming:
        probe_ = Probe::Done;
        if ((flags & FlagsForReleases) != FlagsForReleases) {
          protocol_ = releases_ = false;
          gSignals.flagsWanted = 0;
          Write(KeyboardFlagsPop);
          gSignals.flagsPushed = 0;
        } else {
          LearnReleases();
        }
        break;
      case Probe::Done: break;  // an answer nobody asked for
    }
  }

  void LearnReleases() {
    if (releases_) return;
    releases_ = true;
    PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  }

  void QuerySize() {
    struct winsize size {};
    if (ioctl(outputFd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
      columns_ = size.ws_col;
      rows_ = size.ws_row;
    }
  }

  void Show() {
    // A terminal smaller than the console shows what it needs instead of a cut screen, and
    // says it once each time it becomes too small.
    if (columns_ < ConsoleColumns || rows_ < ConsoleRows) {
      if (!tooSmall_ || fullRedraw_) Write("\x1b[?25l" + RenderSizeNotice(columns_, rows_));
      if (!tooSmall_) PostNotice(SizeNoticeText(columns_, rows_));
      tooSmall_ = true;
      fullRedraw_ = dirty_ = false;
      lastPresentMs_ = NowMs();
      return;
    }
    if (tooSmall_) {
      tooSmall_ = false;
      fullRedraw_ = true;
    }
    std::string out = "\x1b[?25l";
    if (fullRedraw_) out += "\x1b[0m\x1b[2J";
    out += RenderGridDiff(fullRedraw_ ? nullptr : &shown_, grid_, columns_, rows_);
    if (caretVisible_ && caretX_ >= 0 && caretY_ >= 0 && caretX_ < std::min(columns_, ConsoleColumns) &&
        caretY_ < std::min(rows_, ConsoleRows)) {
      out += "\x1b[" + std::to_string(caretY_ + 1) + ";" + std::to_string(caretX_ + 1) + "H\x1b[?25h";
    }
    Write(out);
    shown_ = grid_;
    fullRedraw_ = false;
    dirty_ = false;
    lastPresentMs_ = NowMs();
  }

  // Reads what the terminal sent, waiting up to timeoutMs (-1: no limit) for the first byte.
  void ReadInput(int timeoutMs) {
    // Once the terminal has gone, only the wake pipe is watched (poll skips a negative fd).
    struct pollfd fds[2] = {{gone_ ? -1 : inputFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int wait = timeoutMs;
    int reads = 0;
    for (;;) {
      const int ready = poll(fds, 2, wait);
      if (ready <= 0) return;
      if (fds[1].revents & POLLIN) {
        char drain[64];
        while (read(wakePipe_[0], drain, sizeof drain) > 0) {
        }
      }
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t got = read(inputFd_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got == 0 && !(fds[0].revents & (POLLHUP | POLLERR))) return;  // nothing after all
        if (got <= 0) {
          TerminalGone();
          return;
        }
        const uint64_t now = NowMs();
        // A sequence too long to be a key that the terminal left unended for the ESC
        // timeout is over: what comes now is new input.
        if (decodeState_.skippingSequence && now >= lastInputMs_ + EscapeTimeoutMs) {
          decodeState_.skippingSequence = false;
        }
        lastInputMs_ = now;
        if (pending_.empty()) pendingSinceMs_ = now;
        pending_.append(buffer, static_cast<std::size_t>(got));
        Decode(false);
      }
      // Take whatever else is there, without waiting again; but a flood that never stops
      // must not keep the game from its turn.
      wait = 0;
      if (!(fds[0].revents & POLLIN) || ++reads >= MostReadsAtOnce) return;
    }
  }

  void FinishPendingEscape() {
    if (!pending_.empty() && NowMs() >= pendingSinceMs_ + EscapeTimeoutMs) Decode(true);
  }

  void Decode(bool atEnd) {
    std::vector<TerminalInput> inputs;
    const std::size_t used = DecodeTerminalInput(pending_, atEnd, inputs, decodeState_);
    pending_.erase(0, used);
    if (!pending_.empty()) pendingSinceMs_ = NowMs();
    for (const TerminalInput& input : inputs) {
      switch (input.kind) {
        case TerminalInput::Kind::Key: PostKey(input); break;
        case TerminalInput::Kind::FocusIn:
          if (!focus_) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
          focus_ = true;
          break;
        case TerminalInput::Kind::FocusOut:
          if (focus_) PostMessage(ConsoleWindowHandle, WM_KILLFOCUS);
          focus_ = false;
          break;
        case TerminalInput::Kind::KeyboardFlags: OnKeyboardFlags(input.flags); break;
        case TerminalInput::Kind::DeviceAttributes:
          if (probe_ == Probe::Asking) probe_ = Probe::Done;  // answered first: no protocol
          break;
      }
    }
  }

  // Where releases are reported a key goes down and up as the terminal says; elsewhere each
  // key is pressed and released at once.
  void PostKey(const TerminalInput& input) {
    if (input.event == Event::Typed || !protocol_) {
      if (input.event != Event::Release) PostKeyEvent(input.key, true);
      return;
    }
    if (input.event != Event::Release) {
      PostKeyDown(input.key);
    } else if (input.key.virtualKey != 0) {
      PostKeyUp(input.key.virtualKey, input.key.modifiers);
      LearnReleases();
    }
  }

  void TerminalGone() {
    if (gone_) return;
    gone_ = true;
    PostMessage(ConsoleWindowHandle, WM_CLOSE);
  }

  TerminalGrid grid_, shown_;
  const int inputFd_, outputFd_;
  bool handlersInstalled_ = false;
  bool dirty_ = false, fullRedraw_ = true;
  bool tooSmall_ = false;  // the size notice is on the screen instead of the console
  bool caretVisible_ = false;
  int caretX_ = 0, caretY_ = 0;
  int columns_ = ConsoleColumns, rows_ = ConsoleRows;
  bool focus_ = true, gone_ = false;
  Probe probe_ = Probe::Done;
  bool protocol_ = false;  // the keyboard protocol is on: keys are taken as it reports them
  bool releases_ = false;  // and the terminal is known to report key releases
  std::string title_;      // UTF-8
  std::string pending_;    // input bytes not decoded yet
  TerminalDecodeState decodeState_;
  uint64_t pendingSinceMs_ = 0;
  uint64_t lastInputMs_ = 0;
  uint64_t lastPresentMs_ = 0;
  int wakePipe_[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<Backend> CreateTerminalBackendOn(int inputFd, int outputFd, std::string& error) {
  auto backend = std::make_unique<TerminalBackend>(inputFd, outputFd);
  if (!backend->Start(error)) return nullptr;
  return backend;
}

std::unique_ptr<Backend> CreateTerminalBackend(std::string& error) {
  return CreateTerminalBackendOn(STDIN_FILENO, STDOUT_FILENO, error);
}

bool AddTerminalSignalSteps(TerminalLeaveStep leave, TerminalResumeStep resume) {
  if (gSignals.stepCount >= MostSignalSteps) return false;
  gSignals.steps[gSignals.stepCount] = {leave, resume};
  gSignals.stepCount = gSignals.stepCount + 1;  // after the steps are in place: a handler sees them whole
  return true;
}

}  // namespace platform
