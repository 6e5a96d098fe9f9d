// The one upper-casing of Windows-1252 text and its inverse.
#include <gtest/gtest.h>

#include <string>

#include "text/case.h"

namespace {

TEST(Case, UpperTextMovesLettersAndEveryByteFrom224Down32) {
  EXPECT_EQ(text::UpperText("a\xE7\xE3o z!"), "A\xC7\xC3O Z!");  // ação z!
  EXPECT_EQ(text::UpperText("\xF7\xFF"), "\xD7\xDF");            // ÷ and ÿ move with the rest
  EXPECT_EQ(text::UpperText("\x9A\x9C\x9E"), "\x9A\x9C\x9E");    // š œ ž stay
  EXPECT_EQ(text::UpperText("\xC7\xDF{|}@[ 1"), "\xC7\xDF{|}@[ 1");
  for (int byte = 0; byte < 256; ++byte) {
    const bool moves = (byte >= 'a' && byte <= 'z') || byte >= 224;
    EXPECT_EQ(static_cast<unsigned char>(text::UpperChar(static_cast<char>(byte))), moves ? byte - 32 : byte) << byte;
  }
}

TEST(Case, LowerTextIsTheExactInverse) {
  EXPECT_EQ(text::LowerText("\xC9Z"), "\xE9z");
  for (int byte = 0; byte < 256; ++byte) {
    const char c = static_cast<char>(byte);
    if (text::UpperChar(c) != c) {
      EXPECT_EQ(text::LowerChar(text::UpperChar(c)), c) << byte;
    }
    if (text::LowerChar(c) != c) {
      EXPECT_EQ(text::UpperChar(text::LowerChar(c)), c) << byte;
    }
  }
}

}  // namespace
