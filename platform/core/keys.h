#pragma once
// The keyboard's one vocabulary: the virtual-key codes (numbered as on Windows), the
// modifier bits, and the typed input every backend posts to the console: a key going down
// or up, and a Braille display's command.

#include <cstdint>
#include <optional>

namespace platform {

// Virtual-key codes. Letters and digits are their own upper-case ASCII codes ('A', '7').
enum : int {
  VK_CANCEL = 0x03,  // Ctrl+Break
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_CLEAR = 0x0C,  // the keypad's 5 without Num Lock
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,  // Alt
  VK_PAUSE = 0x13,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_LWIN = 0x5B,
  VK_RWIN = 0x5C,
  VK_NUMPAD0 = 0x60,  // to VK_NUMPAD0 + 9
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SEPARATOR = 0x6C,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,  // to VK_F12, one after another
  VK_F4 = 0x73,
  VK_F9 = 0x78,
  VK_F10 = 0x79,
  VK_F11 = 0x7A,
  VK_F12 = 0x7B,
  // The punctuation keys, by their place on a US keyboard.
  VK_OEM_1 = 0xBA,       // ; :
  VK_OEM_PLUS = 0xBB,    // = +
  VK_OEM_COMMA = 0xBC,   // , <
  VK_OEM_MINUS = 0xBD,   // - _
  VK_OEM_PERIOD = 0xBE,  // . >
  VK_OEM_2 = 0xBF,       // / ?
  VK_OEM_3 = 0xC0,       // ` ~
  VK_ABNT_C1 = 0xC1,     // the ABNT2 key beside the right Shift
  VK_OEM_4 = 0xDB,       // [ {
  VK_OEM_5 = 0xDC,       // backslash |
  VK_OEM_6 = 0xDD,       // ] }
  VK_OEM_7 = 0xDE,       // ' "
  VK_OEM_102 = 0xE2,     // the key between the left Shift and Z on European keyboards
};

// Which of Shift, Ctrl and Alt were held when a key went down or up.
enum : uint32_t { ModShift = 1, ModCtrl = 2, ModAlt = 4 };

enum class KeyAction : uint8_t { Press, Release };

// A key as a backend saw it. A press carries the character it types, if any (Windows-1252:
// from the layout's text, or the key's own, such as Enter 13 or Ctrl+C 3); a press may
// also be a character alone, without a key (virtualKey 0), where the system gives text
// apart from its keys. A release carries no character. The modifiers are those of the
// key's own moment, so a key typed ahead keeps them whatever is held when it is handled.
struct KeyEvent {
  int virtualKey = 0;
  uint32_t modifiers = 0;
  std::optional<uint8_t> character;
  KeyAction action = KeyAction::Press;
  bool operator==(const KeyEvent&) const = default;
};

// A key that Windows would call a system key (Alt without Ctrl, or F10): the console leaves
// it to the window's default processing while the break check is on, and its character is
// never typed.
constexpr bool IsSystemKey(int virtualKey, uint32_t modifiers) {
  const bool ctrl = modifiers & ModCtrl;
  return ((modifiers & ModAlt) && !ctrl) || (virtualKey == VK_F10 && !ctrl);
}

// The character a key makes by itself with these modifiers (Enter 13, Ctrl+C 3, ...).
std::optional<uint8_t> KeyCharacter(int virtualKey, uint32_t modifiers);
// The virtual key of a typed Windows-1252 character on the keys that have a fixed one:
// letters, digits, the space bar and the backslash key (0 for any other).
int VirtualKeyOfCharacter(uint8_t character);

// A Braille display's key or news, with its argument.
enum class BrailleCommand : uintptr_t {
  Resized = 1,  // the display came, went or changed size: show it all again
  Route,        // a routing key; the argument is the cell, from 0
  PanLeft,      // the display's window one width to the left
  PanRight,
  LineUp,  // the row above, then below, without moving the cursor
  LineDown,
  Dots,       // dots typed in a key script (no brltty to translate them); bit 0 is dot 1
  Character,  // a character typed on the display, Windows-1252
  Key,        // a key (virtual-key code) pressed on the display; ModCtrl in bit 16
  Failed,     // no display could be used: BrailleDisplay::TakeFailure says why
};
inline constexpr intptr_t BrailleKeyCtrl = 1 << 16;

struct BrailleInput {
  BrailleCommand command = BrailleCommand::Resized;
  intptr_t argument = 0;
  bool operator==(const BrailleInput&) const = default;
  // The display's keys are input; its news (come, gone, failed) is not.
  bool IsKey() const { return command != BrailleCommand::Resized && command != BrailleCommand::Failed; }
};

}  // namespace platform
