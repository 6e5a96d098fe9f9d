#pragma once
// Upper- and lower-casing of Windows-1252 text: the one case rule of the program.
//
// UpperText changes 'a'..'z' and every byte from 224 to 255 to the byte 32 below it (the
// accented lower-case letters à..þ to their capitals); all other bytes stay. The rule is
// positional, as the program has always applied it to commands and answers, so it also
// turns ÷ (247) into × (215) and ÿ (255) into ß (223), and leaves š œ ž (0x9A 0x9C 0x9E),
// which Portuguese never uses, as they are. LowerText is its exact inverse: 'A'..'Z' and
// 192..223 move 32 up.

#include <string>
#include <string_view>

namespace text {

constexpr char UpperChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || byte >= 224 ? static_cast<char>(byte - 32) : c;
}

constexpr char LowerChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') || (byte >= 192 && byte <= 223) ? static_cast<char>(byte + 32) : c;
}

std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

}  // namespace text
