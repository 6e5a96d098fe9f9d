#pragma once
// Game texts: UTF-8 literals in the source become Windows-1252 bytes at compile time.
//
// The game keeps every text as Windows-1252 bytes, as the console and the speech services
// expect. The sources write plain UTF-8 with a suffix: "Você"_text (a text the player
// reads) or "BAÚ"_word (a word of the vocabulary). Both convert at compile time
// (text/literal.h); a literal with a character that Windows-1252 cannot hold does not
// compile.

#include <string_view>

#include "text/literal.h"

namespace game {

// A text that the player reads or hears.
template <text::Utf8Literal Source>
consteval std::string_view operator""_text() {
  return text::Cp1252Of<Source>();
}

// A word of the vocabulary: verbs, object words, noise words, answers.
template <text::Utf8Literal Source>
consteval std::string_view operator""_word() {
  return text::Cp1252Of<Source>();
}

}  // namespace game
