// Word classes, pitch codes, durations, pitch targets, diphone fillers and the prosody loader.
#include "mbrola_front/prosody.h"

#include <gtest/gtest.h>

#include "tests/mbrola_front/test_text.h"

namespace mbrola_front {
namespace {

using Lines = std::vector<std::string>;

std::vector<std::pair<std::string, std::string>> messages;
void Capture(std::string_view title, std::string_view text) {
  messages.emplace_back(std::string(title), std::string(text));
}

class Prosody : public ::testing::Test {
 protected:
  void SetUp() override {
    messages.clear();
    Lines pairs;
    for (const char* a : {"_", "a", "b", "s", "x"}) {
      for (const char* b : {"_", "a", "b", "s", "x"}) pairs.push_back(std::string(a) + " " + b);
    }
    LoadDiphoneLines(pairs, diphones);
  }

  bool Load(const Lines& utf8Lines) {
    Lines lines;
    for (const auto& line : utf8Lines) lines.push_back(W(line));
    return LoadProsodyLines(lines, tables, Capture);
  }
  Lines Build(const Lines& phonemes, double durationFactor = 1.0) {
    return BuildPhoLines(tables, diphones, phonemes, durationFactor, 1.0, state);
  }

  ProsodyTables tables;
  DiphoneList diphones;
  PhoLineState state;
};

const Lines GoodFile = {"[DURAÇÃO]",
                        "a = 120",
                        "s = 100",
                        "* comment",
                        "",
                        "[CHAVES]",
                        "o = ar",
                        "casa = nn",
                        "[PROSÓDIA]",
                        "HERTZ = 200",
                        "TABHERTZ=0,10,20,30,40,50,60,70,80,90,99",
                        "|AR|=?73",
                        "|NN|..=575",
                        "||NN = 4",
                        "|| = 555"};

TEST_F(Prosody, LoadsTheThreeSections) {
  ASSERT_TRUE(Load(GoodFile));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(DurationOf(tables, "a"), 120);
  EXPECT_EQ(DurationOf(tables, "x"), 100);
  EXPECT_EQ(tables.baseHertz, 200);
  EXPECT_EQ(tables.hertzSteps[9], 90);
  EXPECT_EQ(KeyOfWord(tables, "Casa"), "NN");
  EXPECT_EQ(KeyOfWord(tables, "mesa"), "XX");
  ASSERT_EQ(tables.patterns.size(), 4u);
  EXPECT_EQ(tables.patterns[0].current, "AR");
  EXPECT_EQ(tables.patterns[2].code, "455");  // a short code is completed with 5s
}

TEST_F(Prosody, MessagesForMalformedFiles) {
  EXPECT_FALSE(Load({"[CHAVES]", "[PROSÓDIA]"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "a 90"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "a=90", "[PROSÓDIA]"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "[CHAVES]", "casa nn", "[PROSÓDIA]"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "[CHAVES]"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "[CHAVES]", "[PROSÓDIA]", "|XX| 555"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "[CHAVES]", "[PROSÓDIA]", "HERTZ=alto"}));
  EXPECT_FALSE(Load({"[DURAÇÃO]", "[CHAVES]", "[PROSÓDIA]", "TABHERTZ=1,2,3"}));
  EXPECT_FALSE(LoadProsody("/nonexistent/portug.pro", tables, Capture));
  const Lines expected = {"Duração dos difones errada ou ausente",
                          "Configuração da prosódia: fonema errado: a 90",
                          "Prosódia: palavras chaves ausentes",
                          "Configuração da prosódia: chave errada: casa nn",
                          "Prosódia: especificações ausentes",
                          "Configuração da prosódia: chave errada: |XX| 555",
                          "Configuração da prosódia: chave errada: HERTZ=alto",
                          "Configuração da prosódia: chave errada: TABHERTZ=1,2,3",
                          "Configuração da prosódia não foi achada"};
  ASSERT_EQ(messages.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(messages[i].second, W(expected[i]));
}

TEST_F(Prosody, BadDurationIsReportedAndLoadingGoesOn) {
  EXPECT_TRUE(Load({"[DURAÇÃO]", "a = muito", "e = 80", "[CHAVES]", "[PROSÓDIA]"}));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second, W("Configuração da prosódia: fonema errado: a = muito"));
  EXPECT_EQ(DurationOf(tables, "a"), 100);
  EXPECT_EQ(DurationOf(tables, "e"), 80);
}

TEST_F(Prosody, ClassifyWordsTokensAndBoundaries) {
  ASSERT_TRUE(Load(GoodFile));
  EXPECT_EQ(ClassifyWords(tables, W("Olá, mundo.")),
            (Lines{"[--]", W("[XX]Olá"), "[,,],", "[XX]mundo", "[..].", "[--]"}));
  EXPECT_EQ(ClassifyWords(tables, "casa... o fim"), (Lines{"[--]", "[NN]casa", "[.-].", "[--]", "[AR]o", "[XX]fim"}));
  EXPECT_EQ(ClassifyWords(tables, "sim? sim!"),
            (Lines{"[--]", "[XX]sim", "[??]?", "[--]", "[XX]sim", "[!!]!", "[--]"}));
  EXPECT_EQ(ClassifyWords(tables, "   "), (Lines{"[--]"}));
}

TEST_F(Prosody, PitchCodesFollowTheTableInOrder) {
  ASSERT_TRUE(Load(GoodFile));
  const Lines coded = AssignPitchCodes(tables, {"[--]", "[NN]casa", "[..].", "[--]", "[AR]o"}, PitchTable::Use);
  EXPECT_EQ(coded, (Lines{"455|", "575|casa", "555|.", "555|", "573|o"}));
  EXPECT_EQ(AssignPitchCodes(tables, {"[--]", "[AR]o"}, PitchTable::Use)[1], "573|o");
  EXPECT_EQ(AssignPitchCodes(tables, {"[AR]o"}, PitchTable::Ignore), (Lines{"555|o"}));
  // "?" on the first line takes the neutral step 5.
  ProsodyTables questionFirst;
  questionFirst.patterns.push_back({"", "", "", "?12"});
  EXPECT_EQ(AssignPitchCodes(questionFirst, {"[--]", "[XX]a"}, PitchTable::Use), (Lines{"512|", "212|a"}));
}

TEST_F(Prosody, DurationsWithFactorAndStress) {
  ASSERT_TRUE(Load(GoodFile));
  const Lines out = Build({";555|casa", "a", ">a", "\xA8s", "a", ""}, 0.8);
  EXPECT_EQ(out[0], ";casa");
  EXPECT_EQ(out[1], "a 96 50 100");   // first phoneme: step 5 at 50 %
  EXPECT_EQ(out[2], "a 139 80 100");  // stressed: 145 %, step 5 at 80 %
  EXPECT_EQ(out[3], "s 80");
  EXPECT_EQ(out[4], "a 96 50 100");  // last after the stress
  EXPECT_EQ(out[5], "");
}

TEST_F(Prosody, LongWordsAreShortenedBeforeTheStress) {
  ASSERT_TRUE(Load(GoodFile));
  auto first = [&](const std::string& word) { return Build({";555|" + word, "a", "a", ">a", "a", ""})[2]; };
  EXPECT_EQ(first("abcdefgh"), "a 120");      // 8 letters
  EXPECT_EQ(first("abcdefghi"), "a 108");     // 9 letters: 90 %
  EXPECT_EQ(first("abcdefghijkl"), "a 108");  // 12 letters
  EXPECT_EQ(first("abcdefghijklm"), "a 96");  // 13 letters: 80 %
  const Lines after = Build({";555|abcdefghijklm", "a", ">a", "a", "a", ""});
  EXPECT_EQ(after[3], "a 120");  // after the stress: full length
}

TEST_F(Prosody, PausesAndPitchTargets) {
  ASSERT_TRUE(Load({"[DURAÇÃO]", "__ = 300", "_, = 200", "[CHAVES]", "[PROSÓDIA]", "HERTZ=200",
                    "TABHERTZ=0,10,20,30,40,50,60,70,80,90"}));
  const Lines out = Build({";915|", "__", "", ";555|,", "_,", ";555|x", "_ 40", "_", "__"});
  EXPECT_EQ(out, (Lines{";", "_ 300 50 180", "", ";,", "_ 200 50 100", ";x", "_ 40 50 100", "_ 100", "_ 300"}));
  // Only the stressed and last phonemes of a word stressed on its first phoneme get targets.
  // A step of 0 gives no target; the pitch factor scales the hertz.
  EXPECT_EQ(BuildPhoLines(tables, diphones, {";050|ab", ">a", "b", ""}, 1.0, 1.5, state),
            (Lines{";ab", "a 145 80 150", "b 100", ""}));
  int stage = 0;
  EXPECT_EQ(PitchTarget(tables, "x55", stage, false, 1.0), "");
  EXPECT_EQ(stage, 1);
}

TEST_F(Prosody, MissingDiphonesGetFillers) {
  LoadDiphoneLines({"; comment", "! x", "* x", "_ a", "a s", "_ _", "a y", "r2 _", "  a-a  ", "A R2 extra"}, diphones);
  EXPECT_TRUE(diphones.Contains("a-r2"));
  EXPECT_TRUE(diphones.Contains("A-A"));
  EXPECT_FALSE(diphones.Contains("x-x"));
  // a-a is there; a-t is not and a-y is: "y 50".
  Lines out = Build({";555|a", "a", "", ";555|a", "a", "", ";555|t", "t", ""});
  EXPECT_EQ(out, (Lines{";a", "a 100", "", ";a", "a 100", "", ";t", "y 50", "t 100", ""}));
  // r2 followed by a missing pair rests on a pause when r2-_ exists.
  out = Build({";555|ar", "a", "r2", "", ";555|s", "s", ""});
  EXPECT_EQ(out, (Lines{";ar", "a 100", "r2 100", "", ";s", "_ 50", "s 100", ""}));
  // Nothing to lean on (no tables loaded here, so no pitch targets either): "_ 50". The state keeps the phoneme for the
  // next call.
  out = Build({";555|s", "s", "__"});
  EXPECT_EQ(out, (Lines{";s", "_ 50", "s 100", "_ 50", "_ 100"}));
  EXPECT_EQ(state.currentPhoneme, "_");
}

TEST(DiphoneFile, MissingFileFails) {
  DiphoneList list;
  EXPECT_FALSE(LoadDiphoneList("/nonexistent/portug.dfn", list));
}

}  // namespace
}  // namespace mbrola_front
