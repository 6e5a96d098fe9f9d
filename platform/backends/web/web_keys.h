#pragma once
// The page's keys: what web/page.js hands over for a key (down or up, its virtual key from
// the page's key map, the modifier bits and the Windows-1252 character it types, or -1),
// as the typed key event of platform/core/keys.h. Pure, so that it builds and is tested
// everywhere.

#include "platform/core/keys.h"

namespace platform {

// A key that types nothing of its own makes what the key makes (Enter 13, Ctrl+C 3), unless
// Alt is held.
KeyEvent WebKeyEvent(bool down, int virtualKey, int modifiers, int character);

}  // namespace platform
