// Run-time twins of the compile-time text conversion.

#include "game/text.h"

namespace game {

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out(utf8.size(), '\0');
  std::size_t length = 0;
  if (!Utf8ToCp1252(utf8, out.data(), length)) return {};
  out.resize(length);
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    char32_t codePoint = byte;
    if (byte >= 0x80 && byte < 0xA0) {
      codePoint = Cp1252High[byte - 0x80];
      if (codePoint == 0) codePoint = 0xFFFD;
    }
    if (codePoint < 0x80) {
      out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
      out += static_cast<char>(0xC0 | (codePoint >> 6));
      out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (codePoint >> 12));
      out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
  }
  return out;
}

}  // namespace game
