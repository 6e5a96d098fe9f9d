// Voice files: the shipped br4 voice and the reader's faults.
#include "mbrola_standin/voice.h"

#include <gtest/gtest.h>

#include "mbrola_standin/audio_format.h"

namespace mbrola_standin {
namespace {

constexpr const char* TestRow = " vowel 700 1700 2700 3900 90 110 170 0 60 0 0 0 0 0 0 0 0\n";

TEST(Voice, ShippedVoiceHasEveryBr4Label) {
  Voice voice;
  std::string error;
  ASSERT_TRUE(LoadVoice(QUELVAR_MBROLA_VOICE_PATH, voice, error)) << error;
  EXPECT_EQ(voice.name, "br4");
  EXPECT_EQ(voice.sampleRate, 16000);
  EXPECT_NEAR(voice.pitchHz, 200, 20);
  const char* const Labels[] = {"_",  "a",  "an", "@", "b",  "d", "e",  "ee", "en", "f", "g",  "h",  "i",
                                "in", "j",  "k",  "l", "lh", "m", "m2", "n",  "nh", "o", "on", "oo", "p",
                                "r",  "r2", "rr", "s", "s2", "t", "u",  "un", "v",  "w", "x",  "y",  "z"};
  for (const char* label : Labels) EXPECT_GE(voice.Find(label), 0) << label;
  EXPECT_EQ(voice.rows.size(), std::size(Labels));
  const VoiceRow& a = voice.rows[voice.Find("a")];
  EXPECT_EQ(a.formantHz[0], 714);
  EXPECT_EQ(a.formantHz[1], 1679);
}

TEST(Voice, FaultsNameTheirLine) {
  Voice voice;
  std::string error;
  EXPECT_FALSE(ParseVoice(std::string("voice: x\na vowel 1 2\n"), voice, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(ParseVoice(std::string("voice: x\na  wobble") + (TestRow + 6), voice, error));
  EXPECT_NE(error.find("wobble"), std::string::npos) << error;
  EXPECT_FALSE(ParseVoice(std::string("voice: x\na") + TestRow + "a" + TestRow, voice, error));
  EXPECT_NE(error.find("twice"), std::string::npos) << error;
  EXPECT_FALSE(ParseVoice(std::string("voice: x\nrate: fast\n"), voice, error));
  EXPECT_FALSE(ParseVoice(std::string("a") + TestRow, voice, error));  // no name
  EXPECT_FALSE(ParseVoice("voice: x\n", voice, error));                // no phones
}

TEST(Voice, SilenceIsAlwaysThere) {
  Voice voice;
  std::string error;
  ASSERT_TRUE(ParseVoice(std::string("voice: x  # comment\na") + TestRow, voice, error)) << error;
  EXPECT_GE(voice.Find("_"), 0);
}

TEST(Voice, RenamesAndClones) {
  Voice voice;
  std::string error;
  ASSERT_TRUE(ParseVoice(std::string("voice: x\na") + TestRow, voice, error)) << error;
  ASSERT_TRUE(ApplyRenames(voice, "a A", "A aa", error)) << error;
  EXPECT_LT(voice.Find("a"), 0);
  EXPECT_EQ(voice.Find("A"), voice.Find("aa"));
  EXPECT_FALSE(ApplyRenames(voice, "zz y", "", error));
  EXPECT_FALSE(ApplyRenames(voice, "A", "", error));
}

TEST(AudioFormat, G711KnownCodes) {
  EXPECT_EQ(MuLawOf(0), 0xFF);
  EXPECT_EQ(MuLawOf(32767), 0x80);
  EXPECT_EQ(MuLawOf(-32768), 0x00);
  EXPECT_EQ(ALawOf(0), 0xD5);
  EXPECT_EQ(ALawOf(32767), 0xAA);
  EXPECT_EQ(ALawOf(-32768), 0x2A);
  std::int16_t samples[2] = {-32768, 32767};
  std::uint8_t bytes[2];
  EncodeSamples(samples, 2, SampleFormat::Linear8, bytes);
  EXPECT_EQ(bytes[0], 0);
  EXPECT_EQ(bytes[1], 255);
}

}  // namespace
}  // namespace mbrola_standin
