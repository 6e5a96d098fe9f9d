// Spoken numbers, time and date.

#include "speech/numbers.h"
#include "platform/core/win.h"
#include "sound_fixture.h"
#include "speech/cues.h"

namespace {

using namespace speech;

std::string Trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

TEST(NumberToWords, SaysPortugueseNumbers) {
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "zero"},
      {16, "dezesseis"},
      {17, "dezessete"},
      {21, "vinte e um"},
      {100, "cem"},
      {101, "cento e um"},
      {110, "cento e dez"},
      {200, "duzentos"},
      {1000, "mil"},
      {1001, "mil e um"},
      {1150, "mil cento e cinquenta"},
      {1200, "mil e duzentos"},
      {1234, "mil duzentos e trinta e quatro"},
      {2500, "dois mil e quinhentos"},
      {100000, "cem mil"},
      {1000000, "um milh\xE3o"},
      {1002000, "um milh\xE3o e dois mil"},
      {2000000,
       "dois milh\xF5"
       "es"},
      {2000001,
       "dois milh\xF5"
       "es e um"},
      {1000000000, "um bilh\xE3o"},
      // "e" before a last group below a hundred or of whole hundreds, after any group.
      {1021, "mil e vinte e um"},
      {2100, "dois mil e cem"},
      {1000500, "um milh\xE3o e quinhentos"},
      {1500000, "um milh\xE3o e quinhentos mil"},
      {2001000,
       "dois milh\xF5"
       "es e mil"},  // never "um mil" after the millions
      {1001001, "um milh\xE3o mil e um"},
      {1120000, "um milh\xE3o cento e vinte mil"},
      {4294967295,
       "quatro bilh\xF5"
       "es duzentos e noventa e quatro milh\xF5"
       "es novecentos e sessenta e sete mil "
       "duzentos e noventa e cinco"},
  };
  for (const auto& [n, words] : cases) EXPECT_EQ(Trimmed(NumberToWords(n)), words) << n;
  EXPECT_EQ(NumberToWords(21), "vinte e um");  // single spaces
}

TEST(WeekdayOf, KnowsTheCalendar) {
  EXPECT_EQ(WeekdayOf(6, 12, 2026), 0);  // Sunday
  EXPECT_EQ(WeekdayOf(1, 1, 2000), 6);   // Saturday
  EXPECT_EQ(WeekdayOf(29, 2, 2024), 4);  // Thursday
  EXPECT_EQ(WeekdayOf(1, 3, 1900), 4);   // Thursday
}

class SpokenNumbersTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    uint8_t value = 130;
    for (const char* word :
         {"_zero",   "_um",      "_uma",     "_dois",    "_duas",    "_seis",    "_vinte",   "_e",       "_mil",
          "_hora",   "_horas",   "_minuto",  "_minutos", "_Domingo", "_de",      "_Dezembr", "_primeir", "_dezeset",
          "_milhao", "_milhoes", "_cinquen", "_quatroc", "_Sexta",   "_Janeiro", "_cem"}) {
      WriteWord(word, value);
      value = static_cast<uint8_t>(value + 3);
    }
  }
};

TEST_F(SpokenNumbersTest, HoursAndMinutesUseFeminineHours) {
  SpeakHoursMinutes(1, 1);
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_uma", "_hora", "_um", "_minuto"}));
  platform::ClearNullWaveOutLog();
  SpeakHoursMinutes(0, 0);
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_zero", "_hora"}));
  platform::ClearNullWaveOutLog();
  SpeakHoursMinutes(2, 21);
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_duas", "_horas", "_vinte", "_e", "_um", "_minutos"}));
}

TEST_F(SpokenNumbersTest, WordFilesAreShortNamesWithoutTildes) {
  SpeakWords(NumberToWords(2000000) + NumberToWords(1000000) + " dezessete quatrocentos cinquenta");
  EXPECT_EQ(WordsHeard(),
            (std::vector<std::string>{"_dois", "_milhoes", "_um", "_milhao", "_dezeset", "_quatroc", "_cinquen"}));
  // One continuous sound: a single buffer.
  EXPECT_EQ(Blocks().size(), 1u);
}

TEST_F(SpokenNumbersTest, LongWordListsPlayInSeveralBuffers) {
  WriteWord("_longo", 250, 12000);
  SpeakWords("longo longo longo um");  // 36,000 samples and a few more
  EXPECT_EQ(Blocks().size(), 2u);
  EXPECT_EQ(Blocks()[0].bytes.size(), 24000u);
  EXPECT_EQ(Blocks()[1].bytes.size(), 12100u);
  // A recording longer than one buffer goes on in the next.
  platform::ClearNullWaveOutLog();
  WriteWord("_enorme", 247, 45000);
  SpeakWords("um enorme");
  std::vector<std::size_t> sizes;
  for (const auto& block : Blocks()) sizes.push_back(block.bytes.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{256, 30000, 15000}));
}

TEST_F(SpokenNumbersTest, DateSaysWeekdayDayMonthAndYear) {
  SpeakDayMonthYear(6, 12, 2026);
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_Domingo", "_seis", "_de", "_Dezembr", "_de", "_dois", "_mil",
                                                    "_e", "_vinte", "_e", "_seis"}));
  platform::ClearNullWaveOutLog();
  SpeakDayMonthYear(1, 1, 2100);  // a Friday; from 2100 the full number
  EXPECT_EQ(WordsHeard(),
            (std::vector<std::string>{"_Sexta", "_primeir", "_de", "_Janeiro", "_de", "_dois", "_mil", "_e", "_cem"}));
}

TEST_F(SpokenNumbersTest, MissingWordsAreSkipped) {
  SpeakWords("um nada dois");
  EXPECT_EQ(WordsHeard(), (std::vector<std::string>{"_um", "_dois"}));
}

}  // namespace
