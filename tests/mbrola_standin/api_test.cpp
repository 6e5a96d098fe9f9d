// The C entry points: life cycle, input rules, errors, formats and settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/mbrola_standin/audio_measure.h"
#include "tests/mbrola_standin/mbrola_fixture.h"

namespace mbrola_standin_test {
namespace {

TEST(MbrolaOpen, MissingVoiceFailsWithANegativeResult) {
  EXPECT_LT(init_MBR("/nonexistent/br4"), 0);
  EXPECT_EQ(lastError_MBR(), MBR_ERROR_DATABASE_OPEN);
  short buffer[16];
  EXPECT_LT(read_MBR(buffer, 16), 0);
  EXPECT_LT(write_MBR("a 100 50 200\n"), 0);
  close_MBR();
}

TEST(MbrolaOpen, AFileThatIsNoVoiceFails) {
  EXPECT_EQ(init_MBR(QUELVAR_MBROLA_LIBRARY_PATH), MBR_ERROR_DATABASE_FORMAT);
  close_MBR();
}

TEST(MbrolaOpen, RenamedPhonesAreWrittenTheirNewWay) {
  ASSERT_EQ(init_rename_MBR(QUELVAR_MBROLA_VOICE_PATH, "a A", "u U"), 0);
  EXPECT_EQ(write_MBR("a 100 50 200\n"), MBR_ERROR_UNKNOWN_PHONEME);
  reset_MBR();
  EXPECT_GT(write_MBR("A 100 50 200\nU 100\nu 100\n#\n"), 0);
  close_MBR();
}

TEST_F(MbrolaTest, NothingIsReadUntilAPitchPointOrAFlush) {
  short buffer[4096];
  write_MBR("_ 100\r\n");
  write_MBR("a 100\r\n");
  EXPECT_EQ(read_MBR(buffer, 4096), 0);
  write_MBR("a 200 50 200\r\n");  // its point lies 300 ms in
  const std::size_t first = ReadAll().size();
  EXPECT_EQ(first, 300u * 16);
  write_MBR("l 60\r\n");
  EXPECT_EQ(read_MBR(buffer, 4096), 0);  // the rest waits for a point or the end
  write_MBR("#\r\n");
  EXPECT_EQ(first + ReadAll().size(), 460u * 16);
}

TEST_F(MbrolaTest, ALineInTwoPiecesSoundsAsTheWholeLine) {
  const std::vector<std::int16_t> whole = Say("_ 50\na 150 50 200\n_ 50\n#\n");
  reset_MBR();
  write_MBR("_ 50\na 15");
  write_MBR("0 50 200\n_ 50\n#\n");
  EXPECT_EQ(ReadAll(), whole);
}

TEST_F(MbrolaTest, ChunkSizeDoesNotChangeTheSound) {
  const std::vector<std::int16_t> big = Say(OlaMundo);
  reset_MBR();
  write_MBR(OlaMundo);
  EXPECT_EQ(ReadAll(37), big);
}

TEST_F(MbrolaTest, ResetInMidUtteranceLeavesTheNextOneClean) {
  const std::vector<std::int16_t> clean = Say(OlaMundo);
  reset_MBR();
  write_MBR(";; T=3\r\na 300 50 300\r\nzz 10\r\nu 100\r\ni 10");  // a ratio, an error, held and partial input
  short buffer[512];
  EXPECT_GT(read_MBR(buffer, 512), 0);
  EXPECT_NE(lastError_MBR(), 0);
  reset_MBR();
  EXPECT_EQ(lastError_MBR(), 0);
  EXPECT_EQ(read_MBR(buffer, 512), 0);
  write_MBR(OlaMundo);
  EXPECT_EQ(ReadAll(), clean);
}

TEST_F(MbrolaTest, ErrorsHaveDistinctCodesAndTexts) {
  EXPECT_EQ(write_MBR("zz 100\n"), MBR_ERROR_UNKNOWN_PHONEME);
  EXPECT_EQ(lastError_MBR(), MBR_ERROR_UNKNOWN_PHONEME);
  EXPECT_NE(ErrorText().find("zz"), std::string::npos);
  reset_MBR();
  EXPECT_EQ(write_MBR("a 100 50 200 junk\n"), MBR_ERROR_LEFTOVER_TEXT);
  EXPECT_EQ(lastError_MBR(), MBR_ERROR_LEFTOVER_TEXT);
  reset_MBR();
  EXPECT_EQ(write_MBR("a\n"), MBR_ERROR_MISSING_DURATION);
  EXPECT_EQ(lastError_MBR(), MBR_ERROR_MISSING_DURATION);
  reset_MBR();
  EXPECT_EQ(lastError_MBR(), 0);
  EXPECT_EQ(ErrorText(), "");
  // A short buffer still gets a terminated text and the full length.
  write_MBR("zz 100\n");
  char tiny[4];
  EXPECT_GT(lastErrorStr_MBR(tiny, sizeof tiny), 4);
  EXPECT_EQ(std::strlen(tiny), 3u);
}

TEST_F(MbrolaTest, NoErrorModeSpeaksUnknownPhonesAsSilence) {
  setNoError_MBR(1);
  EXPECT_EQ(getNoError_MBR(), 1);
  const std::vector<std::int16_t> s = Say("a 100 50 200\nzz 100\na 100 50 200\n#\n");
  EXPECT_EQ(lastError_MBR(), 0);
  ASSERT_EQ(s.size(), 300u * 16);
  EXPECT_GT(Rms({s.data() + 400, 800}), 500);
  EXPECT_LT(Rms({s.data() + 1600 + 400, 800}), 50);
  setNoError_MBR(0);
}

TEST_F(MbrolaTest, TheInputBufferTakesAllOrNothing) {
  std::string big;
  while (big.size() < 70000) big += "a 100\n";
  EXPECT_EQ(write_MBR(big.c_str()), MBR_ERROR_INPUT_FULL);
  reset_MBR();
  // Nothing of it was taken: the next utterance is alone.
  EXPECT_EQ(Say("a 100 50 200\n#\n").size(), 100u * 16);
}

TEST_F(MbrolaTest, ALongStreamFlowsThroughTheBoundedBuffer) {
  // Far more text than the buffer holds, read as it goes, as the front end does.
  std::size_t samples = 0;
  for (int i = 0; i < 3000; ++i) {
    ASSERT_GT(write_MBR("a 40 50 200\r\nm 40\r\n"), 0) << i << ErrorText();
    samples += ReadAll().size();
  }
  write_MBR("#\r\n");
  samples += ReadAll().size();
  EXPECT_EQ(samples, 3000u * 80 * 16);
}

TEST_F(MbrolaTest, ReadTypeFormatsCarryTheSameSound) {
  const std::vector<std::int16_t> linear = Say(OlaMundo);
  for (const AudioType type : {LIN8, ULAW, ALAW}) {
    reset_MBR();
    write_MBR(OlaMundo);
    std::vector<std::uint8_t> bytes(linear.size() + 100);
    int total = 0, n = 0;
    while ((n = readtype_MBR(bytes.data() + total, 1000, type)) > 0) total += n;
    ASSERT_EQ(total, static_cast<int>(linear.size())) << type;
    for (std::size_t i = 0; i < linear.size(); ++i) {
      const int value = type == LIN8   ? (bytes[i] - 128) * 256
                        : type == ULAW ? DecodeMuLaw(bytes[i])
                                       : DecodeALaw(bytes[i]);
      // The coarsest step of the logarithmic codes is 1/16 of the value, plus the
      // linear code's 256.
      ASSERT_NEAR(value, linear[i], std::abs(linear[i]) / 16 + 300) << "type " << type << " sample " << i;
    }
  }
  reset_MBR();
  write_MBR(OlaMundo);
  std::vector<short> wide(linear.size());
  EXPECT_EQ(readtype_MBR(wide.data(), static_cast<int>(wide.size()), LIN16), static_cast<int>(linear.size()));
  EXPECT_EQ(std::vector<std::int16_t>(wide.begin(), wide.end()), linear);
  EXPECT_EQ(readtype_MBR(wide.data(), 10, static_cast<AudioType>(9)), MBR_ERROR_BAD_ARGUMENT);
}

TEST_F(MbrolaTest, VolumeRatioScalesTheSamples) {
  const double full = Rms(Say(OlaMundo));
  setVolumeRatio_MBR(0.5f);
  EXPECT_FLOAT_EQ(getVolumeRatio_MBR(), 0.5f);
  EXPECT_NEAR(Rms(Say(OlaMundo)), full / 2, full * 0.01);
  setVolumeRatio_MBR(1.0f);
}

TEST_F(MbrolaTest, OutputRateKeepsDurationsAndPitch) {
  EXPECT_EQ(getFreq_MBR(), 16000);
  setFreq_MBR(8000);
  EXPECT_EQ(getFreq_MBR(), 8000);
  const std::vector<std::int16_t> s = Say("a 500 0 150 100 150\n#\n");
  EXPECT_EQ(s.size(), 500u * 8);
  EXPECT_NEAR(MeasurePitchHz({s.data() + 800, 1600}, 8000, 100, 250), 150, 150 * 0.03);
  setFreq_MBR(16000);
}

TEST_F(MbrolaTest, VersionAndVoiceInformation) {
  char text[128];
  EXPECT_GT(getVersion_MBR(text, sizeof text), 0);
  EXPECT_GT(std::strlen(text), 0u);
  EXPECT_EQ(getDatabaseInfo_MBR(text, sizeof text, 0), 3);
  EXPECT_STREQ(text, "br4");
  getDatabaseInfo_MBR(text, sizeof text, 1);
  EXPECT_STREQ(text, "16000 Hz");
  EXPECT_GT(getDatabaseInfo_MBR(text, sizeof text, 2), 0);
  EXPECT_EQ(getDatabaseInfo_MBR(text, sizeof text, 99), 0);
  EXPECT_STREQ(text, "");
}

// An external parser giving "a 100 (50,200)", "u 100 (50,180)", then the end.
struct ScriptParser {
  Parser parser;
  Phone* phones[2];
  int next = 0;
  int resets = 0;
  int closes = 0;
};

StatePhone NextPhone(Parser* parser, Phone** phone) {
  auto* script = static_cast<ScriptParser*>(parser->self);
  if (script->next < 2) {
    *phone = script->phones[script->next++];
    return PHO_OK;
  }
  if (script->next++ == 2) return PHO_FLUSH;
  return PHO_EOF;
}

TEST_F(MbrolaTest, AnExternalParserReplacesTheText) {
  ScriptParser script;
  script.parser = Parser{&script, [](Parser* p) { ++static_cast<ScriptParser*>(p->self)->resets; },
                         [](Parser* p) { ++static_cast<ScriptParser*>(p->self)->closes; }, NextPhone};
  script.phones[0] = init_Phone("a", 100);
  appendf0_Phone(script.phones[0], 50, 200);
  script.phones[1] = init_Phone("u", 100);
  appendf0_Phone(script.phones[1], 50, 999);
  reset_Phone(script.phones[1]);
  appendf0_Phone(script.phones[1], 50, 180);
  setParser_MBR(&script.parser);
  const std::vector<std::int16_t> fromParser = ReadAll();
  EXPECT_EQ(fromParser.size(), 200u * 16);
  reset_MBR();
  EXPECT_EQ(script.resets, 1);
  setParser_MBR(nullptr);
  EXPECT_EQ(script.closes, 1);
  EXPECT_EQ(Say("a 100 50 200\nu 100 50 180\n#\n"), fromParser);
  close_Phone(script.phones[0]);
  close_Phone(script.phones[1]);
}

}  // namespace
}  // namespace mbrola_standin_test
