#pragma once
// Windows-1252 ⇄ Unicode: the one codec between the program's bytes and UTF-8.
//
// The program keeps text as Windows-1252 bytes; UTF-8 appears only at its edges (screen,
// logs, keyboard input, key scripts, data files saved by Linux editors). Every conversion
// follows one rule:
//
//  - The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for
//    the C1 control code points of the same value (U+0081 ...), and those code points map
//    back to them, as Windows' own conversion does. Every byte survives a round trip.
//  - A code point with no Windows-1252 byte is dropped (nothing is put in its place).
//  - UTF-8 is read strictly: overlong forms, surrogates, code points past U+10FFFF and cut
//    sequences are malformed. A byte that does not begin a well-formed sequence is taken
//    as the Windows-1252 byte of the same value, and reading goes on with the next byte.
//  - A byte-order mark is removed only at the start of a data file (DataTextToCp1252).
//    Anywhere else U+FEFF is a character without a byte and is dropped like any other.
//
// Texts written in the program's own sources are converted at compile time by a strict
// twin of the rule (text/literal.h): there a dropped character or a malformed sequence
// is a compile error instead.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// Code points of the Windows-1252 bytes 0x80 to 0x9F.
inline constexpr char32_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                            0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// True for the five bytes that Windows-1252 leaves without a character.
constexpr bool IsUndefinedCp1252(uint8_t byte) {
  return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

constexpr char32_t Cp1252ToCodePoint(uint8_t byte) {
  return byte >= 0x80 && byte <= 0x9F ? Cp1252High[byte - 0x80] : byte;
}

// The Windows-1252 byte of a code point, or nothing when it has none.
constexpr std::optional<uint8_t> CodePointToCp1252(char32_t codePoint) {
  if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<uint8_t>(codePoint);
  for (std::size_t i = 0; i < 32; ++i) {
    if (Cp1252High[i] == codePoint) return static_cast<uint8_t>(0x80 + i);
  }
  return std::nullopt;
}

// The length of the UTF-8 sequence a byte begins: 1 for ASCII, 2 to 4 for a lead byte
// that can begin a well-formed sequence, 0 for a continuation byte or a byte that never
// appears in UTF-8.
constexpr std::size_t Utf8SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

constexpr bool IsUtf8Continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// One character read from UTF-8; length 0 when the bytes there are not well-formed.
struct Utf8Character {
  char32_t codePoint = 0;
  std::size_t length = 0;
};

constexpr Utf8Character DecodeUtf8At(std::string_view utf8, std::size_t at) {
  const auto byte = [&](std::size_t k) { return static_cast<uint8_t>(utf8[k]); };
  const std::size_t length = Utf8SequenceLength(byte(at));
  if (length == 0 || at + length > utf8.size()) return {};
  char32_t codePoint = length == 1 ? byte(at) : byte(at) & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if (!IsUtf8Continuation(byte(at + k))) return {};
    codePoint = (codePoint << 6) | (byte(at + k) & 0x3F);
  }
  constexpr char32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (codePoint < Least[length] || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return {};
  return {codePoint, length};
}

// The strict conversion of the program's own texts: writes the bytes into out (room for
// utf8.size() bytes is always enough) and fails on malformed UTF-8 or on a character
// without a byte.
constexpr bool Utf8ToCp1252Exactly(std::string_view utf8, char* out, std::size_t& length) {
  length = 0;
  for (std::size_t at = 0; at < utf8.size();) {
    const Utf8Character character = DecodeUtf8At(utf8, at);
    if (character.length == 0) return false;
    const std::optional<uint8_t> byte = CodePointToCp1252(character.codePoint);
    if (!byte) return false;
    out[length++] = static_cast<char>(*byte);
    at += character.length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t codePoint);
// A UTF-8 file name as the wide characters Windows' file functions take (UTF-16 there,
// code points where wchar_t is 32 bits); a malformed byte stands for itself.
std::wstring WideFileName(std::string_view utf8);
// The other way: wide characters from the system as UTF-8.
std::string NarrowFileName(std::wstring_view wide);

std::string Cp1252ToUtf8(std::string_view bytes);
std::string Utf8ToCp1252(std::string_view utf8);
bool IsValidUtf8(std::string_view bytes);

// A data file's content as Windows-1252: a leading UTF-8 byte-order mark is removed; the
// rest is converted when it is valid UTF-8 holding non-ASCII bytes, and is taken as
// Windows-1252 already otherwise.
std::string DataTextToCp1252(std::string_view content);

}  // namespace text
