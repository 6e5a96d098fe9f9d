#include "platform/backends/web/web_keys.h"

namespace platform {

KeyEvent WebKeyEvent(bool down, int virtualKey, int modifiers, int character) {
  KeyEvent key{virtualKey, static_cast<uint32_t>(modifiers), std::nullopt,
               down ? KeyAction::Press : KeyAction::Release};
  if (!down) return key;
  if (character >= 0)
    key.character = static_cast<uint8_t>(character);
  else if (!(key.modifiers & ModAlt))
    key.character = KeyCharacter(virtualKey, key.modifiers);
  return key;
}

}  // namespace platform
