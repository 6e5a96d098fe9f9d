// The utterance time line: pitch interpolation across phones, the horizon, parameter transitions.
#include "mbrola_standin/utterance.h"

#include <gtest/gtest.h>

namespace mbrola_standin {
namespace {

class UtteranceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(
        ParseVoice("voice: t\n"
                   "_ silence 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n"
                   "a vowel 700 1700 2700 3900 90 110 170 0 60 0 0 0 0 0 0 0 0\n"
                   "i vowel 300 2300 3000 4000 60 100 180 0 60 0 0 0 0 0 0 0 0\n"
                   "s fricative 300 1400 2600 3600 200 120 150 0 0 0 60 0 0 0 46 60 40\n",
                   voice, error))
        << error;
  }
  PhoPhone Phone(const char* name, double ms, std::vector<PitchPoint> points = {}) {
    return PhoPhone{name, voice.Find(name), ms, std::move(points), 10};
  }
  Voice voice;
};

TEST_F(UtteranceTest, PitchRunsLinearlyAcrossPhonesBetweenPoints) {
  Utterance u(voice, 5);
  u.Append(Phone("_", 100));
  u.Append(Phone("a", 100, {{50, 100}}));
  u.Append(Phone("i", 100));
  u.Append(Phone("a", 100, {{50, 200}, {150, 300}}));
  EXPECT_DOUBLE_EQ(u.PitchAt(0), 100);  // flat before the first point
  EXPECT_DOUBLE_EQ(u.PitchAt(150), 100);
  EXPECT_DOUBLE_EQ(u.PitchAt(250), 150);  // halfway, inside the phone without a point
  EXPECT_DOUBLE_EQ(u.PitchAt(400), 250);  // towards the point beyond the phone's end
  EXPECT_DOUBLE_EQ(u.PitchAt(1000), 300);
}

TEST_F(UtteranceTest, PointsThatGoBackInTimeCountAsSimultaneous) {
  Utterance u(voice, 5);
  u.Append(Phone("a", 100, {{90, 100}, {10, 200}}));
  u.Append(Phone("a", 100, {{50, 300}}));
  EXPECT_DOUBLE_EQ(u.PitchAt(89), 100);
  EXPECT_DOUBLE_EQ(u.PitchAt(120), 250);  // from 200 at 90 ms to 300 at 150 ms
}

TEST_F(UtteranceTest, WithoutPointsTheVoicePitchHolds) {
  Utterance u(voice, 5);
  u.Append(Phone("a", 100));
  EXPECT_DOUBLE_EQ(u.PitchAt(50), voice.pitchHz);
}

TEST_F(UtteranceTest, HorizonStopsShortOfTheUnknownUntilClosed) {
  Utterance u(voice, 5);
  EXPECT_EQ(u.HorizonMs(), 0);
  u.Append(Phone("a", 200, {{25, 200}}));
  EXPECT_DOUBLE_EQ(u.HorizonMs(), 50);  // the last point
  u.Append(Phone("i", 100, {{90, 200}}));
  EXPECT_DOUBLE_EQ(u.HorizonMs(), 300 - (FormantWindowMs + 2 * 5 + 1));  // the look-ahead
  u.Close();
  EXPECT_DOUBLE_EQ(u.HorizonMs(), 300);
}

TEST_F(UtteranceTest, FormantsReachTheirTargetsAndGlideAcrossBoundaries) {
  Utterance u(voice, 5);
  u.Append(Phone("a", 200, {{50, 200}}));
  u.Append(Phone("i", 200));
  u.Close();
  EXPECT_FLOAT_EQ(u.ParamsAt(100).formantHz[0], 700);
  EXPECT_FLOAT_EQ(u.ParamsAt(300).formantHz[1], 2300);
  EXPECT_FLOAT_EQ(u.ParamsAt(200).formantHz[0], 500);  // halfway at the boundary
  const float f2 = u.ParamsAt(200 - FormantWindowMs / 2).formantHz[1];
  EXPECT_GT(f2, 1700);
  EXPECT_LT(f2, 2000);
  EXPECT_FLOAT_EQ(u.ParamsAt(100).voicing, 1.0f);
  EXPECT_FLOAT_EQ(u.ParamsAt(-50).voicing, 0.0f);  // nothing sounds outside
  EXPECT_FLOAT_EQ(u.ParamsAt(450).voicing, 0.0f);
}

TEST_F(UtteranceTest, SilenceBorrowsItsNeighboursFormantsAndSwitchesAmplitudesFast) {
  Utterance u(voice, 5);
  u.Append(Phone("a", 100, {{50, 200}}));
  u.Append(Phone("_", 100));
  u.Append(Phone("s", 100));
  u.Close();
  EXPECT_FLOAT_EQ(u.ParamsAt(120).formantHz[0], 700);   // first half keeps a's
  EXPECT_FLOAT_EQ(u.ParamsAt(180).formantHz[1], 1400);  // second half takes s's
  EXPECT_FLOAT_EQ(u.ParamsAt(150).voicing, 0.0f);
  EXPECT_FLOAT_EQ(u.ParamsAt(100 + AmplitudeWindowMs).voicing, 0.0f);
  EXPECT_FLOAT_EQ(u.ParamsAt(250).frication, 1.0f);
  EXPECT_FLOAT_EQ(u.ParamsAt(250).voicing, 0.0f);
}

TEST_F(UtteranceTest, ForgettingReturnsTheBytesOfPassedPhones) {
  Utterance u(voice, 5);
  for (int i = 0; i < 10; ++i) u.Append(Phone("a", 100, {{50, 200}}));
  EXPECT_EQ(u.KeptBytes(), 100u);
  const std::size_t forgotten = u.Forget(600);
  EXPECT_GT(forgotten, 0u);
  EXPECT_EQ(forgotten + u.KeptBytes(), 100u);
  // What is still needed at 600 ms is unchanged.
  EXPECT_FLOAT_EQ(u.ParamsAt(600).formantHz[0], 700);
  EXPECT_DOUBLE_EQ(u.PitchAt(600), 200);
}

}  // namespace
}  // namespace mbrola_standin
