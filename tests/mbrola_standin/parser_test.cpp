// The phoneme-line parser and the input buffer, tested on text.
#include "mbrola_standin/pho_parser.h"

#include <gtest/gtest.h>

#include "mbrola_standin/mbrola.h"

namespace mbrola_standin {
namespace {

// A stand-in voice that knows a handful of phones.
int Row(std::string_view name) {
  static const char* const Known[] = {"_", "a", "o", "l", "m", "un", "d", "u"};
  for (int i = 0; i < 8; ++i) {
    if (name == Known[i]) return i;
  }
  return -1;
}

class PhoInputTest : public ::testing::Test {
 protected:
  std::string Ready() { return FormatPhoEvents(input.TakeReady()); }
  PhoInput input{Row, 1024};
};

TEST(PhoLine, ReadsPitchPointsInBothForms) {
  const PhoLine line = ParsePhoLine("a\t96  80 276 (90,300)( 120 , 310.5 ) ; comment");
  ASSERT_EQ(line.error, 0) << line.errorText;
  EXPECT_EQ(line.kind, PhoLine::Kind::Phone);
  EXPECT_EQ(line.name, "a");
  EXPECT_EQ(line.durationMs, 96);
  ASSERT_EQ(line.points.size(), 3u);
  EXPECT_EQ(line.points[1].positionPercent, 90);
  EXPECT_EQ(line.points[2].positionPercent, 120);  // beyond the phone is allowed
  EXPECT_EQ(line.points[2].hertz, 310.5);
}

TEST(PhoLine, KindsOfLinesWithoutPhones) {
  EXPECT_EQ(ParsePhoLine("").kind, PhoLine::Kind::Empty);
  EXPECT_EQ(ParsePhoLine("  \t\r").kind, PhoLine::Kind::Empty);
  EXPECT_EQ(ParsePhoLine(";Olá").kind, PhoLine::Kind::Empty);
  EXPECT_EQ(ParsePhoLine(" # ").kind, PhoLine::Kind::Flush);
  const PhoLine command = ParsePhoLine(";; T=1.5 F = 0.8 X=9");
  EXPECT_EQ(command.kind, PhoLine::Kind::Command);
  EXPECT_EQ(command.timeRatio, 1.5);
  EXPECT_EQ(command.pitchRatio, 0.8);
}

TEST(PhoLine, EachFaultHasItsCode) {
  EXPECT_EQ(ParsePhoLine("a").error, MBR_ERROR_MISSING_DURATION);
  EXPECT_EQ(ParsePhoLine("a ; 100").error, MBR_ERROR_MISSING_DURATION);
  EXPECT_EQ(ParsePhoLine("a 1OO").error, MBR_ERROR_MISSING_DURATION);
  EXPECT_EQ(ParsePhoLine("a 100 50").error, MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(ParsePhoLine("a 100 50 200 x").error, MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(ParsePhoLine("a 100 (50,200").error, MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(ParsePhoLine("a 100 (50 200)").error, MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(ParsePhoLine("# 5").error, MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(ParsePhoLine("a -5").error, MBR_ERROR_BAD_VALUE);
  EXPECT_EQ(ParsePhoLine("a 100 50 0").error, MBR_ERROR_BAD_VALUE);
  EXPECT_EQ(ParsePhoLine(";; T=0").error, MBR_ERROR_BAD_VALUE);
  EXPECT_NE(ParsePhoLine("a 100 50").errorText.find("50"), std::string::npos);
}

TEST(PhoLine, NumbersIgnoreTheLocaleAndRejectOverflow) {
  double value = 0;
  EXPECT_TRUE(ReadDecimal("12.25", value));
  EXPECT_EQ(value, 12.25);
  EXPECT_TRUE(ReadDecimal(".5", value));
  EXPECT_FALSE(ReadDecimal("12,25", value));
  EXPECT_FALSE(ReadDecimal("1e3", value));
  EXPECT_FALSE(ReadDecimal(".", value));
  EXPECT_FALSE(ReadDecimal(std::string(400, '9'), value));
}

TEST_F(PhoInputTest, PhonesWithoutPitchWaitForAPitchPointOrAFlush) {
  EXPECT_GT(input.Write("_ 100\r\no 80\r\n"), 0);
  EXPECT_EQ(Ready(), "");
  EXPECT_EQ(input.HeldCount(), 2u);
  input.Write("l 60 50 200\r\nm 70\n");
  EXPECT_EQ(Ready(), "_ 100\no 80\nl 60 (50,200)\n");
  EXPECT_EQ(input.HeldCount(), 1u);
  input.Write("#\n");
  EXPECT_EQ(Ready(), "m 70\n#\n");
}

TEST_F(PhoInputTest, ALineMayArriveInPieces) {
  input.Write("a 1");
  input.Write("00 (50,");
  EXPECT_EQ(Ready(), "");
  input.Write("200)\nu");
  EXPECT_EQ(Ready(), "a 100 (50,200)\n");
  EXPECT_EQ(input.Flush(), MBR_ERROR_MISSING_DURATION);  // the partial "u" is read as a line
  EXPECT_EQ(Ready(), "#\n");
}

TEST_F(PhoInputTest, AFaultyLineIsDroppedAndTheOthersKept) {
  EXPECT_EQ(input.Write("a 100 50 200\nzz 100\nu 100 50 180\n"), MBR_ERROR_UNKNOWN_PHONEME);
  EXPECT_EQ(input.LastError(), MBR_ERROR_UNKNOWN_PHONEME);
  EXPECT_NE(input.LastErrorText().find("zz"), std::string::npos);
  EXPECT_EQ(Ready(), "a 100 (50,200)\nu 100 (50,180)\n");
}

TEST_F(PhoInputTest, NoErrorModeTurnsUnknownPhonesIntoSilence) {
  input.SetNoError(true);
  EXPECT_GT(input.Write("zz 120 50 150\n"), 0);
  EXPECT_EQ(input.LastError(), 0);
  EXPECT_EQ(Ready(), "_ 120 (50,150)\n");
}

TEST_F(PhoInputTest, RatioCommandsApplyToTheFollowingPhones) {
  input.Write("a 100 50 200\n;; T=2 F=1.5\nu 100 50 200\n");
  EXPECT_EQ(Ready(), "a 100 (50,200)\nu 200 (50,300)\n");
  input.Reset();
  input.Write("u 100 50 200\n");
  EXPECT_EQ(Ready(), "u 100 (50,200)\n");
}

TEST_F(PhoInputTest, TheBufferTakesAllOrNothing) {
  PhoInput small(Row, 40);
  EXPECT_EQ(small.Write("a 100\na 100\na 100\n"), 18);
  EXPECT_EQ(small.Write("a 100\na 100\na 100\na 100\n"), MBR_ERROR_INPUT_FULL);
  EXPECT_EQ(small.BufferedBytes(), 18u);
  EXPECT_EQ(small.HeldCount(), 3u);
  // Comments and errors cost nothing once read; phones cost until released.
  small.ClearError();
  EXPECT_EQ(small.Write(";;;;;;;;;;;;;;;;;;;;\n"), 21);
  EXPECT_EQ(small.BufferedBytes(), 18u);
  small.Flush();
  small.ReleaseBytes(18);
  EXPECT_EQ(small.BufferedBytes(), 0u);
}

TEST_F(PhoInputTest, ResetDropsPendingAndHeldInput) {
  input.Write("a 100\nu 1");
  input.Reset();
  EXPECT_EQ(input.HeldCount(), 0u);
  EXPECT_EQ(input.BufferedBytes(), 0u);
  input.Write("00 50 100\n");  // the "u 1" before the reset is gone
  EXPECT_EQ(Ready(), "");
  EXPECT_EQ(input.LastError(), MBR_ERROR_LEFTOVER_TEXT);
}

}  // namespace
}  // namespace mbrola_standin
