#pragma once
// The Windows window's keys: the key and character messages Windows sends the window, turned
// into the typed key events of platform/core/keys.h. Free of the system's headers, so that
// it builds and is tested everywhere; the GDI backend hands each message here.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/core/keys.h"

namespace platform {

// The keyboard messages Windows sends a window, numbered as Windows numbers them.
enum : uint32_t {
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
};

// The virtual key of a key message: letters and digits go by the key's position (the scan
// code in lParam's bits 16-23, bit 24 set for an extended key), so that the Braille dot
// keys S D F J K L are the same keys on every layout; other keys keep Windows' code.
int PositionalKey(int virtualKey, intptr_t lParam);

// The window's keyboard messages, each with the modifiers held at its time, as key events.
// Windows sends a key-down and then, when the key types one, its character as a message of
// its own; the key waits here for that character so that the press carries it, as every
// backend's press does. A key-up is a release. A character without a key before it (a
// composed one) is a press of no key (virtual key 0). A system character (the window
// menu's, never the program's) and a character with no Windows-1252 byte are dropped.
class KeyMessageTranslator {
 public:
  // The events complete with this message (none, or the waiting key and this one's).
  std::vector<KeyEvent> Translate(uint32_t message, uintptr_t wParam, intptr_t lParam, uint32_t modifiers);
  // The key still waiting for its character, when no character is coming (the system's
  // messages for now are all handled, or another message came).
  std::optional<KeyEvent> Flush();

 private:
  std::optional<KeyEvent> pending_;
};

}  // namespace platform
