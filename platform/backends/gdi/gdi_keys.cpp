#include "platform/backends/gdi/gdi_keys.h"

#include <iterator>
#include <string_view>
#include <utility>

#include "text/cp1252.h"

namespace platform {

int PositionalKey(int virtualKey, intptr_t lParam) {
  static constexpr std::string_view Rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
  static constexpr int RowStart[] = {0x02, 0x10, 0x1E, 0x2C};
  const bool extended = (lParam >> 24) & 1;
  const int scanCode = static_cast<int>((lParam >> 16) & 0xFF);
  const bool letterOrDigit = (virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9');
  if (!letterOrDigit || extended) return virtualKey;
  for (std::size_t row = 0; row < std::size(Rows); ++row) {
    const int at = scanCode - RowStart[row];
    if (at >= 0 && at < static_cast<int>(Rows[row].size())) return Rows[row][static_cast<std::size_t>(at)];
  }
  return virtualKey;
}

std::vector<KeyEvent> KeyMessageTranslator::Translate(uint32_t message, uintptr_t wParam, intptr_t lParam,
                                                      uint32_t modifiers) {
  std::vector<KeyEvent> events;
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (auto waiting = Flush()) events.push_back(*waiting);
      pending_ = KeyEvent{PositionalKey(static_cast<int>(wParam), lParam), modifiers, std::nullopt, KeyAction::Press};
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (auto waiting = Flush()) events.push_back(*waiting);
      events.push_back({PositionalKey(static_cast<int>(wParam), lParam), modifiers, std::nullopt, KeyAction::Release});
      break;
    case WM_CHAR: {
      const std::optional<uint8_t> byte = text::CodePointToCp1252(static_cast<char32_t>(wParam));
      KeyEvent key = pending_.value_or(KeyEvent{0, modifiers, std::nullopt, KeyAction::Press});
      pending_.reset();
      key.character = byte;
      // Windows types Ctrl+Enter as a line feed and Ctrl+Backspace as DEL; the key's press
      // carries the key's own character, as on every other backend, and the console makes
      // the Ctrl codes of it.
      if (key.virtualKey == VK_RETURN && byte == 10) key.character = 13;
      if (key.virtualKey == VK_BACK && byte == 0x7F) key.character = 8;
      if (key.virtualKey != 0 || byte) events.push_back(key);
      break;
    }
    case WM_SYSCHAR:
      if (auto waiting = Flush()) events.push_back(*waiting);
      break;
    default: break;
  }
  return events;
}

std::optional<KeyEvent> KeyMessageTranslator::Flush() { return std::exchange(pending_, std::nullopt); }

}  // namespace platform
