// What the synthesizer sounds like, measured: lengths, pitch, formants, noise and silences.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mbrola_standin/float_mode.h"
#include "tests/mbrola_standin/audio_measure.h"
#include "tests/mbrola_standin/mbrola_fixture.h"

namespace mbrola_standin_test {
namespace {

constexpr double TestRate = 16000;

// F1 and F2 of a phone as the voice file gives them.
std::pair<double, double> TableFormants(const std::string& label) {
  std::ifstream file(QUELVAR_MBROLA_VOICE_PATH);
  std::string line;
  while (std::getline(file, line)) {
    std::istringstream words(line);
    std::string name, kind;
    double f1 = 0, f2 = 0;
    if (words >> name >> kind >> f1 >> f2 && name == label) return {f1, f2};
  }
  ADD_FAILURE() << "no row for " << label;
  return {0, 0};
}

std::span<const std::int16_t> Span(const std::vector<std::int16_t>& s, double fromMs, double toMs) {
  const auto from = static_cast<std::size_t>(fromMs * 16), to = static_cast<std::size_t>(toMs * 16);
  return {s.data() + from, to - from};
}

TEST_F(MbrolaTest, AnUtteranceLastsTheSumOfItsDurations) {
  EXPECT_EQ(Say(OlaMundo).size(), static_cast<std::size_t>(OlaMundoMs * 16));
  EXPECT_EQ(Say("a 33.3 50 200\ni 33.3\nu 33.4\n#\n").size(), 100u * 16);
  EXPECT_EQ(Say(";; T=1.5\na 100 50 200\n#\n").size(), 150u * 16);
  EXPECT_EQ(Say("a 0 50 200\n#\n").size(), 0u);
  // Two utterances in one write stay apart.
  EXPECT_EQ(Say("a 100 50 200\n#\nu 50 50 200\n#\n").size(), 150u * 16);
}

TEST_F(MbrolaTest, PitchFollowsTheTargets) {
  const std::vector<std::int16_t> flat = Say("a 600 10 200 90 200\n#\n");
  EXPECT_NEAR(MeasurePitchHz(Span(flat, 200, 400), TestRate, 120, 320), 200, 200 * 0.03);

  // A rise from 150 Hz at 0 ms to 250 Hz at 1200 ms, across a phone without a point.
  const std::vector<std::int16_t> rise = Say("a 400 0 150\no 400\ne 400 100 250\n#\n");
  EXPECT_NEAR(MeasurePitchHz(Span(rise, 100, 140), TestRate, 100, 300), 160, 160 * 0.03);
  EXPECT_NEAR(MeasurePitchHz(Span(rise, 580, 620), TestRate, 120, 320), 200, 200 * 0.03);
  EXPECT_NEAR(MeasurePitchHz(Span(rise, 1150, 1190), TestRate, 150, 350), 247.5, 247.5 * 0.03);

  const std::vector<std::int16_t> beyond = Say("a 200 0 120 200 240\n#\n");  // the end is at 180 Hz
  EXPECT_NEAR(MeasurePitchHz(Span(beyond, 180, 200), TestRate, 100, 300), 177, 177 * 0.03);
}

TEST_F(MbrolaTest, SustainedVowelsShowTheirFormants) {
  for (const char* vowel : {"a", "e", "ee", "i", "o", "oo", "u"}) {
    const auto [f1, f2] = TableFormants(vowel);
    const std::vector<std::int16_t> s = Say(std::string(vowel) + " 600 50 200\n#\n");
    const std::vector<double> peaks = MeasureFormantsHz(Span(s, 250, 350), TestRate, 14);
    ASSERT_GE(peaks.size(), 2u) << vowel;
    EXPECT_NEAR(peaks[0], f1, f1 * 0.10) << vowel;
    EXPECT_NEAR(peaks[1], f2, f2 * 0.10) << vowel;
  }
}

TEST_F(MbrolaTest, FormantsGlideBetweenVowels) {
  const std::vector<std::int16_t> s = Say("a 300 50 200\ni 300 50 200\n#\n");
  const double before = MeasureFormantsHz(Span(s, 150, 250), TestRate, 14)[1];
  const double across = MeasureFormantsHz(Span(s, 285, 315), TestRate, 14)[1];
  const double after = MeasureFormantsHz(Span(s, 350, 450), TestRate, 14)[1];
  EXPECT_LT(before, across);
  EXPECT_LT(across, after);
}

// "olá mundo" and more: the sounds of each class where they belong. The WAV file is
// left in the build folder for listening.
TEST_F(MbrolaTest, ConsonantsHaveTheirShapes) {
  const std::vector<std::int16_t> ola = Say(OlaMundo);
  WriteWav("mbrola_ola_mundo.wav", ola, 16000);
  const double vowel = Rms(Span(ola, 280, 360));
  EXPECT_GT(vowel, 2000);
  EXPECT_EQ(Rms(Span(ola, 0, 90)), 0);             // leading pause
  EXPECT_LT(Rms(Span(ola, 400, 450)), vowel / 3);  // nasal murmur, weaker
  EXPECT_GT(Rms(Span(ola, 400, 450)), vowel / 40);
  EXPECT_LT(EnergyShareAbove(Span(ola, 400, 450), TestRate, 1000), 0.2);
  EXPECT_LT(Rms(Span(ola, 585, 630)), vowel / 5);  // voiced closure of d
  EXPECT_LT(Rms(Span(ola, 780, 840)), 5);          // trailing pause, once the tract rang out

  const std::vector<std::int16_t> s =
      Say("_ 50\na 150 50 200\nt 100\na 150\ns 150\na 150\nx 150\ni 150 50 180\n_ 50\n#\n");
  WriteWav("mbrola_consonants.wav", s, 16000);
  EXPECT_LT(Rms(Span(s, 210, 270)), 10);                                  // voiceless closure
  EXPECT_GT(Rms(Span(s, 280, 300)), 100);                                 // burst and breath
  EXPECT_GT(EnergyShareAbove(Span(s, 480, 540), TestRate, 4000), 0.6);    // [s]
  const double sh = EnergyShareAbove(Span(s, 780, 840), TestRate, 2000);  // [ʃ]
  EXPECT_GT(sh, 0.6);
  EXPECT_LT(EnergyShareAbove(Span(s, 350, 410), TestRate, 4000), 0.05);  // the vowel
  // Taps drop their voicing in the middle.
  const std::vector<std::int16_t> tap = Say("a 150 50 200\nr 60\na 150 50 200\n#\n");
  EXPECT_LT(Rms(Span(tap, 172, 188)), Rms(Span(tap, 100, 140)) / 2);
}

#if defined(__SSE__)
// The filters ring down towards zero through a long pause; the library takes numbers too
// small for a normal float as zero while it renders, whatever mode the program that
// loaded it runs in, and gives the program its own mode back. The samples are the same.
TEST(FloatMode, RenderingFlushesDenormalsAndRestoresTheCallersMode) {
  using mbrola_standin::FlushDenormals;
  const unsigned callers = _mm_getcsr();
  for (const unsigned mode : {callers & ~FlushDenormals::Modes, callers | FlushDenormals::Modes}) {
    _mm_setcsr(mode);
    {
      const FlushDenormals flushing;
      EXPECT_EQ(_mm_getcsr() & FlushDenormals::Modes, FlushDenormals::Modes);
      volatile float tiny = 1e-39f;  // below the smallest normal float
      EXPECT_EQ(tiny * 1.0f, 0.0f);
    }
    EXPECT_EQ(_mm_getcsr(), mode);
  }
  _mm_setcsr(callers);
}

TEST_F(MbrolaTest, LongPausesSoundTheSameWhateverTheCallersFloatingPointMode) {
  using mbrola_standin::FlushDenormals;
  const std::string text = "a 150 50 200\n_ 2000\na 150 50 200\n_ 2000\n#\n";
  const unsigned callers = _mm_getcsr();
  _mm_setcsr(callers & ~FlushDenormals::Modes);
  const std::vector<std::int16_t> plain = Say(text);
  EXPECT_EQ(_mm_getcsr() & FlushDenormals::Modes, 0u);
  _mm_setcsr(callers | FlushDenormals::Modes);
  const std::vector<std::int16_t> flushing = Say(text);
  _mm_setcsr(callers);
  EXPECT_EQ(plain, flushing);
  EXPECT_EQ(plain.size(), 4300u * 16);
}
#endif

}  // namespace
}  // namespace mbrola_standin_test
