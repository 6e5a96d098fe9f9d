#include "text/cp1252.h"

#include <algorithm>

namespace text {

void AppendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char c : bytes) AppendUtf8(out, Cp1252ToCodePoint(static_cast<uint8_t>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character character = DecodeUtf8At(utf8, at);
    if (character.length == 0) {
      out += utf8[at++];
      continue;
    }
    if (const auto byte = CodePointToCp1252(character.codePoint)) out += static_cast<char>(*byte);
    at += character.length;
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = DecodeUtf8At(bytes, at).length;
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string DataTextToCp1252(std::string_view content) {
  constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
  if (content.starts_with(ByteOrderMark)) content.remove_prefix(ByteOrderMark.size());
  const bool nonAscii =
      std::any_of(content.begin(), content.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
  if (nonAscii && IsValidUtf8(content)) return Utf8ToCp1252(content);
  return std::string(content);
}

std::wstring WideFileName(std::string_view utf8) {
  std::wstring wide;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character character = DecodeUtf8At(utf8, at);
    char32_t codePoint = character.length == 0 ? static_cast<uint8_t>(utf8[at]) : character.codePoint;
    at += character.length == 0 ? 1 : character.length;
    if constexpr (sizeof(wchar_t) == 2) {
      if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        wide += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
        codePoint = 0xDC00 + (codePoint & 0x3FF);
      }
    }
    wide += static_cast<wchar_t>(codePoint);
  }
  return wide;
}

std::string NarrowFileName(std::wstring_view wide) {
  std::string utf8;
  for (std::size_t at = 0; at < wide.size(); ++at) {
    char32_t codePoint = static_cast<char32_t>(wide[at]);
    if constexpr (sizeof(wchar_t) == 2) {
      if (codePoint >= 0xD800 && codePoint < 0xDC00 && at + 1 < wide.size() && wide[at + 1] >= 0xDC00 &&
          wide[at + 1] < 0xE000) {
        codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (static_cast<char32_t>(wide[++at]) - 0xDC00);
      }
    }
    AppendUtf8(utf8, codePoint);
  }
  return utf8;
}

}  // namespace text
