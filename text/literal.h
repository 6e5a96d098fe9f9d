#pragma once
// UTF-8 string literals of the program's sources turned into Windows-1252 bytes at compile time.
//
// Writing "\xE3" for every accented letter makes Portuguese unreadable, so sources write
// plain UTF-8 and convert it here, once, with the strict rule of text/cp1252.h: a literal
// with a character that Windows-1252 cannot hold, or that is not well-formed UTF-8, does
// not compile.

#include <cstddef>
#include <string_view>

#include "text/cp1252.h"

namespace text {

// A string literal as a template argument.
template <std::size_t N>
struct Utf8Literal {
  char bytes[N]{};
  consteval Utf8Literal(const char (&source)[N]) {
    for (std::size_t i = 0; i < N; ++i) bytes[i] = source[i];
  }
};

template <std::size_t N>
struct Cp1252Literal {
  char bytes[N]{};
  std::size_t length = 0;
};

// The converted bytes of one literal, kept in static storage.
template <Utf8Literal Source>
inline constexpr auto ConvertedLiteral = [] {
  Cp1252Literal<sizeof(Source.bytes)> converted;
  const std::string_view utf8(Source.bytes, sizeof(Source.bytes) - 1);
  if (!Utf8ToCp1252Exactly(utf8, converted.bytes, converted.length)) {
    throw "a literal with a character that Windows-1252 lacks, or that is not UTF-8";
  }
  return converted;
}();

template <Utf8Literal Source>
consteval std::string_view Cp1252Of() {
  return {ConvertedLiteral<Source>.bytes, ConvertedLiteral<Source>.length};
}

}  // namespace text
