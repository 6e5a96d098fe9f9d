// The unit walk, the fallback chain, the phoneme input and the letters folder's names.

#include "tools/voicedata/units.h"
#include "tools/voicedata/letters.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Units(std::string_view transcription) {
  std::vector<std::string> names;
  voicedata::ForEachUnitLookup(transcription, [&](const voicedata::UnitLookup& u) { names.push_back(u.spelled); });
  return names;
}

std::vector<std::string> Fallback(std::string_view spelled) {
  std::vector<std::string> names;
  voicedata::ForEachFallbackName(spelled, 8, [&](const std::string& n) { names.push_back(n); });
  return names;
}

using Names = std::vector<std::string>;

TEST(UnitWalk, MarksSplitUnitsAndLongTokensBreakAtASlash) {
  // Nine characters collected: the "/" before "u" ends the token.
  EXPECT_EQ(Units("[p/e~/s/a/m/E~/t/u]"), (Names{"$peTIL", "$samETIL", "$t", "$u"}));
  EXPECT_EQ(Units("[k/A/z/a]"), (Names{"$kAza"}));
}

TEST(UnitWalk, ClustersFinalConsonantsAndPluralsAreSpokenApart) {
  EXPECT_EQ(Units("[p/r/A/t/u]"), (Names{"$p", "$rAtu"}));
  EXPECT_EQ(Units("[m/A/r]"), (Names{"$mA", "$r"}));
  EXPECT_EQ(Units("[k/A/z/a/s]"), (Names{"$kAza", "$s"}));
  EXPECT_EQ(Units("[k/A/rr]"), (Names{"$kA", "$rr"}));
}

TEST(UnitWalk, NasalDiphthongIsTheVowelGlideAndMark) {
  EXPECT_EQ(Units("[m/A~w]"), (Names{"$mACIRC", "$AwTIL"}));
  EXPECT_EQ(Units("[p/A/y]"), (Names{"$pA", "$Ay"}));  // the vowel said twice, shortened first
}

TEST(UnitWalk, RecordingsAndPunctuationNeedNoUnit) { EXPECT_TRUE(Units("[ /_,][ /_x]").empty()); }

TEST(UnitFallback, LongNamesSplitAsTheSynthesizerSplitsThem) {
  EXPECT_EQ(Fallback("$kapitACIRC"), (Names{"$kapitACIRC", "$kapit", "$ACIRC"}));
  EXPECT_EQ(Fallback("$kuwminAri"), (Names{"$kuwminAri", "$kuwminAr", "$i"}));
  EXPECT_EQ(Fallback("$asidemeTIL"), (Names{"$asidemeTIL", "$asidemeCIRC", "$asidem", "$eCIRC", "$nn"}));
  EXPECT_EQ(Fallback("$kAza"), (Names{"$kAza"}));
}

TEST(UnitPhonemes, OurPhonesBecomeEspeakPhonemes) {
  EXPECT_EQ(voicedata::UnitToEspeak("$kAza"), "[[k'aza]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$boCIRC"), "[[bo]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$samETIL"), "[[sam'e~]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$AwTIL"), "[['&~U~]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$filhu"), "[[fil^u]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$tchirrA"), "[[tSix'a]]");
  EXPECT_EQ(voicedata::UnitToEspeak("$rEy"), "[[*'EI]]");
}

TEST(LettersFolder, WordFileNamesFollowTheEightCharacterRule) {
  EXPECT_EQ(voicedata::WordFileName("quatrocentos"), "_quatroc");
  EXPECT_EQ(voicedata::WordFileName("dezessete"), "_dezeset");
  EXPECT_EQ(voicedata::WordFileName("dezesseis"), "_dezesse");
  EXPECT_EQ(voicedata::WordFileName("Fevereiro"), "_Feverei");
  EXPECT_EQ(voicedata::WordFileName("milhoes"), "_milhoes");
}

TEST(LettersFolder, HoldsEverySoundTheProgramAsksFor) {
  std::set<std::string> names;
  for (const auto& r : voicedata::LettersFolderRecordings()) {
    EXPECT_TRUE(names.insert(r.name).second) << "twice: " << r.name;
  }
  std::vector<std::string> wanted = {"_zero",    "_MENOS",   "_primeir", "_de",      "_e",       "_uma",     "_duas",
                                     "_hora",    "_horas",   "_minuto",  "_minutos", "_DEL",     "_FALACI",  "_FALDLG",
                                     "_APFCPO",  "_APICPO",  "_CPOAPA",  "_VELOC",   "_quatroc", "_cinquen", "_dezeset",
                                     "_dezesse", "_quatorz", "_milhao",  "_milhoes", "_cem",     "_cento",   "_mil",
                                     "_Domingo", "_Terca",   "_Sabado",  "_Marco",   "_Feverei", "_Setembr", "_Novembr",
                                     "_Dezembr", "dtmf_X",   "dtmf_#",   "_8",       "_13",      "_27"};
  for (int c = 32; c < 127; ++c) wanted.push_back("_" + std::to_string(c));
  for (int c = 192; c < 256; ++c) wanted.push_back("_" + std::to_string(c));
  for (int c = 0; c < 26; ++c) {
    wanted.push_back("_FON" + std::to_string('A' + c));
    wanted.push_back("_FON" + std::to_string('a' + c));
  }
  for (char d = '0'; d <= '9'; ++d) wanted.push_back(std::string("dtmf_") + d);
  for (const std::string& name : wanted) EXPECT_TRUE(names.contains(name)) << "missing: " << name;
}

}  // namespace
