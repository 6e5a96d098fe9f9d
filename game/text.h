#pragma once
// Game texts: UTF-8 literals in the source become Windows-1252 bytes at compile time.
//
// The game keeps every text as Windows-1252 bytes, as the console and the speech services
// expect. Writing "\xE3" for every accented letter makes the Portuguese unreadable, so the
// sources write plain UTF-8 with a suffix: "Você"_text (a text the player reads) or
// "BAÚ"_word (a word of the vocabulary). Both convert at compile time; a literal with a
// character that Windows-1252 cannot hold does not compile.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace game {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F (0 where the byte is unused).
inline constexpr char32_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The Windows-1252 byte of a code point, or -1 when it has none.
constexpr int Cp1252ByteOf(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
    return static_cast<int>(codePoint);
  }
  for (int i = 0; i < 32; ++i) {
    if (Cp1252High[i] != 0 && Cp1252High[i] == codePoint) return 0x80 + i;
  }
  return -1;
}

// Converts UTF-8 to Windows-1252 into out (room for utf8.size() bytes is always enough).
// Returns false on malformed UTF-8 or a character Windows-1252 lacks; length is then
// meaningless.
constexpr bool Utf8ToCp1252(std::string_view utf8, char* out, std::size_t& length) {
  length = 0;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    char32_t codePoint = 0;
    std::size_t extra = 0;
    if (lead < 0x80) {
      codePoint = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      codePoint = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      codePoint = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      codePoint = lead & 0x07;
      extra = 3;
    } else {
      return false;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
      if (i + k >= utf8.size()) return false;
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    // Overlong forms are not UTF-8.
    if ((extra == 1 && codePoint < 0x80) || (extra == 2 && codePoint < 0x800) ||
        (extra == 3 && codePoint < 0x10000)) {
      return false;
    }
    const int byte = Cp1252ByteOf(codePoint);
    if (byte < 0) return false;
    out[length++] = static_cast<char>(byte);
    i += extra + 1;
  }
  return true;
}

// The same conversion for texts that arrive at run time (tests, tools). Characters with no
// Windows-1252 byte make the whole result empty.
std::string Utf8ToCp1252(std::string_view utf8);
// Windows-1252 back to UTF-8, for tools and tests that compare with UTF-8 files.
std::string Cp1252ToUtf8(std::string_view bytes);

template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = text[i];
  }
};

template <std::size_t N>
struct Cp1252Text {
  char bytes[N]{};
  std::size_t length = 0;
};

template <Utf8Literal Source>
inline constexpr auto ConvertedLiteral = [] {
  Cp1252Text<sizeof(Source.bytes)> text;
  const std::string_view utf8(Source.bytes, sizeof(Source.bytes) - 1);
  if (!Utf8ToCp1252(utf8, text.bytes, text.length)) {
    throw "game text with a character that Windows-1252 lacks";
  }
  return text;
}();

// A text that the player reads or hears.
template <Utf8Literal Source>
consteval std::string_view operator""_text() {
  return {ConvertedLiteral<Source>.bytes, ConvertedLiteral<Source>.length};
}

// A word of the vocabulary: verbs, object words, noise words, answers.
template <Utf8Literal Source>
consteval std::string_view operator""_word() {
  return {ConvertedLiteral<Source>.bytes, ConvertedLiteral<Source>.length};
}

}  // namespace game
