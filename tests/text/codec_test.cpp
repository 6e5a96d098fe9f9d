// The Windows-1252 codec: one rule for undefined bytes, characters without a byte,
// malformed UTF-8 and the byte-order mark.
#include <gtest/gtest.h>

#include <string>

#include "text/cp1252.h"
#include "text/literal.h"

namespace {

using namespace std::string_literals;

static_assert(text::Cp1252Of<"ação">() == "a\xE7\xE3o");
static_assert(text::Cp1252Of<"€—…“”">() == "\x80\x97\x85\x93\x94");
static_assert(text::Cp1252Of<"">().empty());

TEST(Cp1252, EveryByteSurvivesTheRoundTripThroughUtf8) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    const std::string utf8 = text::Cp1252ToUtf8(one);
    EXPECT_TRUE(text::IsValidUtf8(utf8)) << byte;
    EXPECT_EQ(text::Utf8ToCp1252(utf8), one) << byte;
  }
  EXPECT_EQ(text::Cp1252ToUtf8("\x80\xC9"), "€É");
}

TEST(Cp1252, UndefinedBytesStandForTheirC1CodePointsBothWays) {
  for (const uint8_t byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
    EXPECT_TRUE(text::IsUndefinedCp1252(byte));
    EXPECT_EQ(text::Cp1252ToCodePoint(byte), char32_t{byte});
    EXPECT_EQ(text::CodePointToCp1252(byte), byte);
  }
  EXPECT_EQ(text::Cp1252ToUtf8("\x81"), "\xC2\x81");
  EXPECT_EQ(text::Utf8ToCp1252("\xC2\x9D"), "\x9D");
  // The other C1 code points have bytes of their own characters, so they have none.
  EXPECT_FALSE(text::CodePointToCp1252(0x80));
  EXPECT_FALSE(text::CodePointToCp1252(0x9F));
  EXPECT_FALSE(text::IsUndefinedCp1252(0x80));
}

TEST(Cp1252, CharactersWithoutAByteAreDropped) {
  EXPECT_EQ(text::Utf8ToCp1252("a中z"), "az");
  EXPECT_EQ(text::Utf8ToCp1252("Ω→😀"), "");
  EXPECT_EQ(text::Utf8ToCp1252("pô-los “aspas”"),
            "p\xF4-los \x93"
            "aspas\x94");
}

TEST(Cp1252, BytesThatAreNotUtf8AreTakenAsWindows1252) {
  EXPECT_EQ(text::Utf8ToCp1252("a\xE9z"), "a\xE9z");  // Windows-1252 already
  EXPECT_EQ(text::Utf8ToCp1252("\x80"), "\x80");      // stray continuation byte
  EXPECT_EQ(text::Utf8ToCp1252("\xC3"), "\xC3");      // cut short at the end
  EXPECT_EQ(text::Utf8ToCp1252("\xC3"
                               "a"),
            "\xC3"
            "a");                                                         // cut short by a letter
  EXPECT_EQ(text::Utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");                  // overlong
  EXPECT_EQ(text::Utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0\x80");          // a surrogate
  EXPECT_EQ(text::Utf8ToCp1252("\xF4\x90\x80\x80"), "\xF4\x90\x80\x80");  // past U+10FFFF
  EXPECT_EQ(text::Utf8ToCp1252("\xFF\xC3\xA9"), "\xFF\xE9");              // reading goes on after it
  EXPECT_FALSE(text::IsValidUtf8("\xC0\xAF"));
  EXPECT_FALSE(text::IsValidUtf8("\xE2\x82"));
  EXPECT_TRUE(text::IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_TRUE(text::IsValidUtf8(""));
}

TEST(Cp1252, SequenceLengthsAndDecodingAgree) {
  EXPECT_EQ(text::Utf8SequenceLength('a'), 1u);
  EXPECT_EQ(text::Utf8SequenceLength(0xC2), 2u);
  EXPECT_EQ(text::Utf8SequenceLength(0xC1), 0u);  // only overlong forms begin with it
  EXPECT_EQ(text::Utf8SequenceLength(0xF5), 0u);
  EXPECT_EQ(text::Utf8SequenceLength(0x80), 0u);
  const text::Utf8Character euro = text::DecodeUtf8At("x€", 1);
  EXPECT_EQ(euro.codePoint, U'€');
  EXPECT_EQ(euro.length, 3u);
  EXPECT_EQ(text::DecodeUtf8At("x\xE2\x82", 1).length, 0u);
}

TEST(FileNames, WideNamesRoundTripAndMalformedBytesStandForThemselves) {
  const std::string name = "pasta a\xC3\xA7\xC3\xA3o/\xF0\x9F\x8E\xB5.wav";  // a note beyond the BMP
  const std::wstring wide = text::WideFileName(name);
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 17u : 16u);  // a surrogate pair where wchar_t is 16 bits
  EXPECT_EQ(text::NarrowFileName(wide), name);
  EXPECT_EQ(text::WideFileName("a\xE7"), std::wstring(L"a\u00E7"));
}

TEST(DataText, ConvertsUtf8FilesAndKeepsWindows1252Files) {
  EXPECT_EQ(text::DataTextToCp1252("caf\xC3\xA9\n"), "caf\xE9\n");
  EXPECT_EQ(text::DataTextToCp1252("caf\xE9\n"), "caf\xE9\n");
  EXPECT_EQ(text::DataTextToCp1252("plain"), "plain");
  // One byte that is not UTF-8 makes the whole file Windows-1252.
  EXPECT_EQ(text::DataTextToCp1252("\xC3\xA9 \xE9"), "\xC3\xA9 \xE9");
}

TEST(DataText, ALeadingByteOrderMarkIsRemovedWhateverFollows) {
  EXPECT_EQ(text::DataTextToCp1252("\xEF\xBB\xBF(A)=a"), "(A)=a");
  EXPECT_EQ(text::DataTextToCp1252("\xEF\xBB\xBF"
                                   "a\xC3\xA7"),
            "a\xE7");
  EXPECT_EQ(text::DataTextToCp1252("\xEF\xBB\xBF"
                                   "a\xE7"),
            "a\xE7");  // the rest is Windows-1252
  EXPECT_EQ(text::DataTextToCp1252("\xEF\xBB\xBF"), "");
  // Elsewhere it is a character without a byte.
  EXPECT_EQ(text::DataTextToCp1252("a\xEF\xBB\xBF"
                                   "b"),
            "ab");
  EXPECT_EQ(text::Utf8ToCp1252("\xEF\xBB\xBF"
                               "a"),
            "a");
}

TEST(Cp1252Literal, TheStrictConversionRefusesWhatTheRuleWouldAlter) {
  char out[16];
  std::size_t length = 0;
  EXPECT_TRUE(text::Utf8ToCp1252Exactly("BAÚ", out, length));
  EXPECT_EQ(std::string(out, length), "BA\xDA");
  EXPECT_FALSE(text::Utf8ToCp1252Exactly("Ω", out, length));
  EXPECT_FALSE(text::Utf8ToCp1252Exactly("\xC3", out, length));
  EXPECT_FALSE(text::Utf8ToCp1252Exactly("\xC0\xAF", out, length));
}

}  // namespace
