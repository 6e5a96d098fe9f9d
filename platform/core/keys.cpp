#include "platform/core/keys.h"

namespace platform {

std::optional<uint8_t> KeyCharacter(int virtualKey, uint32_t modifiers) {
  const bool ctrl = modifiers & ModCtrl;
  if (virtualKey == VK_RETURN) return 13;
  if (virtualKey == VK_BACK) return 8;
  if (virtualKey == VK_TAB && !ctrl) return 9;
  if (virtualKey == VK_ESCAPE) return 27;
  if (ctrl && virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<uint8_t>(virtualKey - 'A' + 1);
  if (ctrl && virtualKey == VK_OEM_5) return 28;  // Ctrl+backslash
  if (ctrl && virtualKey == VK_OEM_4) return 27;  // Ctrl+[
  if (ctrl && virtualKey == VK_OEM_6) return 29;  // Ctrl+]
  return std::nullopt;
}

int VirtualKeyOfCharacter(uint8_t ch) {
  if (ch >= 'a' && ch <= 'z') return ch - 32;
  if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return ch;
  if (ch == ' ') return VK_SPACE;
  if (ch == '\\') return VK_OEM_5;
  return 0;
}

}  // namespace platform
