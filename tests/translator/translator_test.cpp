#include "translator/translator.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using translator::Translator;
using translator::TranslatorWord;

// Each test writes the rule and exception files it needs into its own folder.
class TranslatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::filesystem::temp_directory_path() /
              (std::string("quelvar_translator_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string WriteFile(const std::string& name, const std::string& contents) {
    const auto path = folder_ / name;
    std::ofstream(path, std::ios::binary) << contents;
    return path.string();
  }

  // Rules for the vowels (and the marks after them) so that context tests read clearly.
  static constexpr const char* VowelRules = "(A~)=a~\n(A')=A\n(A)=a\n(E')=E\n(E)=e\n(I)=i\n(O)=o\n(U)=u\n";

  static Translator WithRules(const std::string& rules) {
    Translator translator;
    translator::LoadTranslatorRulesFromText(translator, rules + VowelRules);
    return translator;
  }

  static std::string Rules(const Translator& translator, const std::string& letters) {
    TranslatorWord word;
    word.letters = letters;
    return translator::TranslateWordByRules(translator, word);
  }

  static std::string Stressed(const std::string& letters, int vowels = -1) {
    TranslatorWord word;
    word.letters = letters;
    word.vowelCount = 0;
    for (char c : letters) word.vowelCount += translator::IsTranslatorVowel(c) ? 1 : 0;
    if (vowels >= 0) word.vowelCount = vowels;
    translator::MarkStress(word);
    return word.letters;
  }

  std::filesystem::path folder_;
};

// --- Character mapping -------------------------------------------------------------

TEST_F(TranslatorTest, AccentedLettersMapInBothCodePages) {
  using translator::MapTranslatorText;
  // Windows-1252 positions.
  EXPECT_EQ(MapTranslatorText("caf\xE9"), "cafe'");
  EXPECT_EQ(MapTranslatorText("m\xE3o"), "ma~o");
  EXPECT_EQ(MapTranslatorText("av\xF4"), "avo^");
  EXPECT_EQ(MapTranslatorText("\xE0"), "a`");
  EXPECT_EQ(MapTranslatorText("ca\xE7"
                              "a"),
            "cassa");
  EXPECT_EQ(MapTranslatorText("\xC7\xC3O"), "ssa~O");
  // The u with diaeresis is the glide of gü and qü: the glide letter w.
  EXPECT_EQ(MapTranslatorText("ling\xFCi\xE7"
                              "a"),
            "lingwissa");
  EXPECT_EQ(MapTranslatorText("Q\xDC"), "Qw");
  EXPECT_EQ(MapTranslatorText("\xEF"), "i\"");
  EXPECT_EQ(MapTranslatorText("\xF1"), "nh");
  EXPECT_EQ(MapTranslatorText("\xE6"), "ae");
  // The same letters at their DOS positions.
  EXPECT_EQ(MapTranslatorText("caf\x82"), "cafe'");
  EXPECT_EQ(MapTranslatorText("ca\x87"
                              "a"),
            "cassa");
  EXPECT_EQ(MapTranslatorText("\x81"), "u\"");
  EXPECT_EQ(MapTranslatorText("\x93\x94\x95"), "o^o~o`");
  EXPECT_EQ(MapTranslatorText("\xA0\xA1\xA2\xA3\xA4"), "a'i'o'u'nh");
  // Punctuation and symbols of the table.
  EXPECT_EQ(MapTranslatorText("\xAB\xBB\xA7"), "\xAA\xBA\xA7");
  EXPECT_EQ(MapTranslatorText("\xBF\xA1"), "?i'");
}

TEST_F(TranslatorTest, ControlAndUnmappedCodesBecomeCodeOneBetweenBlanks) {
  using translator::MapTranslatorText;
  EXPECT_EQ(MapTranslatorText("a\tb"), "a \x01 b");
  EXPECT_EQ(MapTranslatorText(std::string("a\0b", 3)), "a \x01 b");
  EXPECT_EQ(MapTranslatorText("\xA9\xFF\x9B"), " \x01  \x01  \x01 ");
}

TEST_F(TranslatorTest, WAndYBesideLettersBecomeVowels) {
  using translator::MapTranslatorText;
  EXPECT_EQ(MapTranslatorText("show"), "shou");
  EXPECT_EQ(MapTranslatorText("Wagner"), "uagner");
  EXPECT_EQ(MapTranslatorText("yoga"), "ioga");
  EXPECT_EQ(MapTranslatorText("www"), "uuu");
  // Alone, they stay letters (and are spelled later).
  EXPECT_EQ(MapTranslatorText("w y"), "w y");
}

TEST_F(TranslatorTest, ApostropheAfterDIsDropped) {
  using translator::MapTranslatorText;
  EXPECT_EQ(MapTranslatorText("d'\xE1gua"), "da'gua");
  EXPECT_EQ(MapTranslatorText("D'Ajuda"), "DAjuda");
  EXPECT_EQ(MapTranslatorText("l'a"), "l'a");
}

// --- Reading words -----------------------------------------------------------------

TEST_F(TranslatorTest, WordsAreLowerCasedAndCountTheirVowels) {
  const std::string text = translator::MapTranslatorText("  CAF\xC9, mar");
  std::size_t position = 0;
  TranslatorWord word;
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters, "cafe'");
  EXPECT_EQ(word.vowelCount, 2);
  EXPECT_TRUE(word.hasAccentMark);
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters, ",");
  EXPECT_EQ(word.vowelCount, 0);
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters, "mar");
  EXPECT_FALSE(word.hasAccentMark);
  EXPECT_FALSE(translator::NextTranslatorWord(text, position, word));
}

TEST_F(TranslatorTest, DiaeresisIsNotAnAccentMark) {
  const std::string text = "lingu\"ica";
  std::size_t position = 0;
  TranslatorWord word;
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters, "lingu\"ica");
  EXPECT_FALSE(word.hasAccentMark);
}

TEST_F(TranslatorTest, OverlongWordIsCutButStaysOneWord) {
  const std::string text = std::string(300, 'b') + "a c";
  std::size_t position = 0;
  TranslatorWord word;
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters.size(), translator::MaxTranslatorWordLength);
  ASSERT_TRUE(translator::NextTranslatorWord(text, position, word));
  EXPECT_EQ(word.letters, "c");
}

// --- Stress ------------------------------------------------------------------------

TEST_F(TranslatorTest, StressFallsWhereThePortugueseRulesPutIt) {
  EXPECT_EQ(Stressed("casa"), "cAsa");
  EXPECT_EQ(Stressed("maria"), "marIa");
  EXPECT_EQ(Stressed("meio"), "mEio");
  EXPECT_EQ(Stressed("rainha"), "raInha");
  EXPECT_EQ(Stressed("mal"), "mAl");
  EXPECT_EQ(Stressed("mar"), "mar");
  EXPECT_EQ(Stressed("casas"), "cAsas");
  EXPECT_EQ(Stressed("homem"), "hOmem");
  EXPECT_EQ(Stressed("jardim"), "jardIm");
  EXPECT_EQ(Stressed("bombons"), "bombOns");
  EXPECT_EQ(Stressed("homens"), "hOmens");
  EXPECT_EQ(Stressed("nuvem"), "nUvem");
  EXPECT_EQ(Stressed("feliz"), "felIz");
  EXPECT_EQ(Stressed("meu"), "mEu");
  EXPECT_EQ(Stressed("tia"), "tIa");
  EXPECT_EQ(Stressed("quase"), "quAse");
  EXPECT_EQ(Stressed("mundo"), "mUndo");
}

TEST_F(TranslatorTest, StressAfterGuAndQuFallsOnTheFollowingVowel) {
  EXPECT_EQ(Stressed("aqui"), "aquI");
  EXPECT_EQ(Stressed("guia"), "guIa");
  EXPECT_EQ(Stressed("paraguai"), "paraguAi");
  EXPECT_EQ(Stressed("parque"), "pArque");
  EXPECT_EQ(Stressed("sangues"), "sAngues");
  EXPECT_EQ(Stressed("abarquem"), "abArquem");
  // The u of a final gua, guam is a glide; a u standing alone after g keeps its stress.
  EXPECT_EQ(Stressed("averigua"), "averIgua");
  EXPECT_EQ(Stressed("extinguam"), "extInguam");
  EXPECT_EQ(Stressed("agua"), "Agua");
  EXPECT_EQ(Stressed("aguda"), "agUda");
  EXPECT_EQ(Stressed("lingwissa"), "lingwIssa");
}

TEST_F(TranslatorTest, StressOnTheFirstLetterIsMarked) {
  EXPECT_EQ(Stressed("isto"), "Isto");
  EXPECT_EQ(Stressed("ele"), "Ele");
  EXPECT_EQ(Stressed("ontem"), "Ontem");
  EXPECT_EQ(Stressed("eu"), "Eu");
  EXPECT_EQ(Stressed("uva"), "Uva");
  EXPECT_EQ(Stressed("ilha"), "Ilha");
  EXPECT_EQ(Stressed("ainda"), "aInda");
}

TEST_F(TranslatorTest, AccentedAndVowellessWordsGetNoStress) {
  TranslatorWord word;
  word.letters = "cafe'";
  word.vowelCount = 2;
  word.hasAccentMark = true;
  translator::MarkStress(word);
  EXPECT_EQ(word.letters, "cafe'");
  EXPECT_EQ(Stressed("sp"), "sp");
  EXPECT_EQ(Stressed("sol"), "sOl");
  EXPECT_EQ(Stressed("paz"), "paz");
}

// --- Exceptions --------------------------------------------------------------------

TEST_F(TranslatorTest, ExceptionsReplaceWordsAndPeelFinalSAndM) {
  Translator translator;
  ASSERT_TRUE(translator::LoadTranslatorExceptions(translator, WriteFile("e.exc",
                                                                         "zebra=zEbra\n"
                                                                         "case=keis|an English loan\n"
                                                                         "\n"
                                                                         "fala=FALA\n"
                                                                         "no equals sign here\n"
                                                                         "t\xC3\xA1xi=tacsi\n")));
  ASSERT_EQ(translator.exceptions.size(), 4u);
  EXPECT_TRUE(std::is_sorted(translator.exceptions.begin(), translator.exceptions.end(),
                             [](const auto& a, const auto& b) { return a.key < b.key; }));

  auto apply = [&translator](const std::string& letters) {
    TranslatorWord word;
    word.letters = letters;
    word.vowelCount = 7;
    word.hasAccentMark = true;
    translator::ApplyTranslatorExceptions(translator, word);
    EXPECT_EQ(word.vowelCount, 7);
    EXPECT_TRUE(word.hasAccentMark);
    return word.letters;
  };
  EXPECT_EQ(apply("case"), "keis");
  EXPECT_EQ(apply("cases"), "keiss");
  EXPECT_EQ(apply("falam"), "FALAm");
  EXPECT_EQ(apply("falams"), "FALAms");
  EXPECT_EQ(apply("ta'xi"), "tacsi");
  EXPECT_EQ(apply("casam"), "casam");
  EXPECT_EQ(apply("sss"), "sss");
  EXPECT_EQ(apply("zebras"), "zEbras");
}

TEST_F(TranslatorTest, ExceptionTableStopsAt15000Entries) {
  std::string contents;
  for (int i = 0; i < 15010; ++i) contents += "w" + std::to_string(100000 + i) + "=x\n";
  Translator translator;
  ASSERT_TRUE(translator::LoadTranslatorExceptions(translator, WriteFile("big.exc", contents)));
  EXPECT_EQ(translator.exceptions.size(), translator::MaxTranslatorExceptions);
}

TEST_F(TranslatorTest, OnlyThe255FirstCharactersOfAnExceptionLineCount) {
  Translator translator;
  const std::string longValue(300, 'a');
  translator::LoadTranslatorExceptionsFromText(translator, "casa=" + longValue + "\n");
  ASSERT_EQ(translator.exceptions.size(), 1u);
  EXPECT_EQ(translator.exceptions[0].value.size(), 250u);
}

TEST_F(TranslatorTest, UnreadableFilesAreReported) {
  Translator translator;
  EXPECT_FALSE(translator::LoadTranslatorRules(translator, (folder_ / "none.rgr").string()));
  EXPECT_FALSE(translator::LoadTranslatorExceptions(translator, (folder_ / "none.exc").string()));
}

// --- Rule loading ------------------------------------------------------------------

TEST_F(TranslatorTest, RulesGoToTheBucketOfTheirFirstLetterInFileOrder) {
  Translator translator;
  ASSERT_TRUE(translator::LoadTranslatorRules(translator, WriteFile("r.rgr",
                                                                    "| a comment line without a rule\n"
                                                                    "(ch)=x|lower-case match is written in upper case\n"
                                                                    "(C)+=s\r\n"
                                                                    "(C)=k\n"
                                                                    "(LONGMATCH)LONGCONTEXT=abcdefghijklmnop\n"
                                                                    "LONGLEFT(L)=l\n"
                                                                    "(~A)=never\n"
                                                                    "()=empty\n"
                                                                    "(C=broken\n")));
  const auto& c = translator.buckets['C' - 32];
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].match, "CH");
  EXPECT_EQ(c[0].output, "x");
  EXPECT_EQ(c[1].right, "+");
  EXPECT_EQ(c[1].output, "s");
  EXPECT_EQ(c[2].output, "k");
  const auto& l = translator.buckets['L' - 32];
  ASSERT_EQ(l.size(), 2u);
  EXPECT_EQ(l[0].match, "LONGM");
  EXPECT_EQ(l[0].right, "LONGC");
  EXPECT_EQ(l[0].output, "abcdefghijk");
  EXPECT_EQ(l[1].left, "LONGL");
  std::size_t total = 0;
  for (const auto& bucket : translator.buckets) total += bucket.size();
  EXPECT_EQ(total, 5u);
}

TEST_F(TranslatorTest, RulesOfOneLetterKeepFileOrderWhenNotWrittenTogether) {
  const Translator translator = WithRules("(B)A=1\n(C)=k\n(B)=2\n");
  EXPECT_EQ(Rules(translator, "ba"), "[1/a]");
  EXPECT_EQ(Rules(translator, "bo"), "[2/o]");
  EXPECT_EQ(Rules(translator, "c"), "[k]");
}

TEST_F(TranslatorTest, LoadingRulesEmptiesTheExceptionsAndFreeEmptiesTheBuckets) {
  Translator translator;
  translator::LoadTranslatorExceptionsFromText(translator, "a=b\n");
  ASSERT_EQ(translator.exceptions.size(), 1u);
  ASSERT_TRUE(translator::LoadTranslatorRules(translator, WriteFile("r.rgr", "(A)=a\n")));
  EXPECT_TRUE(translator.exceptions.empty());
  EXPECT_EQ(translator.buckets['A' - 32].size(), 1u);
  translator::FreeTranslatorRules(translator);
  EXPECT_TRUE(translator.buckets['A' - 32].empty());
  EXPECT_FALSE(translator::LoadTranslatorRules(translator, (folder_ / "none").string()));
}

TEST_F(TranslatorTest, Utf8DataFilesAreReadAsWindows1252) {
  // A byte-order mark does not become the first rule's left context, and a character
  // without a Windows-1252 byte is dropped from the output.
  translator::Translator translator;
  translator::LoadTranslatorRulesFromText(translator, "\xEF\xBB\xBF(A)=a\xC3\xA7\xE2\x98\x83\n");
  ASSERT_EQ(translator.buckets['A' - 32].size(), 1u);
  EXPECT_EQ(translator.buckets['A' - 32][0].left, "");
  EXPECT_EQ(translator.buckets['A' - 32][0].output, "a\xE7");
  // Not UTF-8: already Windows-1252.
  translator::LoadTranslatorRulesFromText(translator, "(A)=\xE7\xE3\n");
  ASSERT_EQ(translator.buckets['A' - 32].size(), 1u);
  EXPECT_EQ(translator.buckets['A' - 32][0].output, "\xE7\xE3");
}

// --- Rule contexts -----------------------------------------------------------------

TEST_F(TranslatorTest, RightContextSymbols) {
  const Translator vowels = WithRules("(B)#S=V\n(B)=b\n");
  EXPECT_EQ(Rules(vowels, "bae's"), "[V/a/E/ /_S]");
  EXPECT_EQ(Rules(vowels, "bs"), "[b/ /_S]");

  const Translator end = WithRules("(B)%=F\n(B)=b\n");
  EXPECT_EQ(Rules(end, "ab"), "[a/F]");
  EXPECT_EQ(Rules(end, "ba"), "[b/a]");

  const Translator liquids = WithRules("(B)&A=L\n(B)=b\n");
  EXPECT_EQ(Rules(liquids, "bza"), "[L/ /_Z/a]");
  EXPECT_EQ(Rules(liquids, "bta"), "[b/ /_T/a]");
  EXPECT_EQ(Rules(liquids, "bl"), "[b/ /_L]");

  const Translator consonant = WithRules("(B)*T=C\n(B)=b\n");
  EXPECT_EQ(Rules(consonant, "bt"), "[C/ /_T]");
  EXPECT_EQ(Rules(consonant, "br"), "[b/ /_R]");

  const Translator front = WithRules("(B)+S=E\n(B)=b\n");
  EXPECT_EQ(Rules(front, "bes"), "[E/e/ /_S]");
  EXPECT_EQ(Rules(front, "be's"), "[E/E/ /_S]");
  EXPECT_EQ(Rules(front, "bas"), "[b/a/ /_S]");

  const Translator closing = WithRules("(B)[=K\n(B)=b\n");
  EXPECT_EQ(Rules(closing, "ab"), "[a/K]");
  EXPECT_EQ(Rules(closing, "bt"), "[K/ /_T]");
  EXPECT_EQ(Rules(closing, "bh"), "[b/ /_H]");
  EXPECT_EQ(Rules(closing, "ba"), "[b/a]");

  const Translator optionalS = WithRules("(B)\\%=Z\n(B)=b\n");
  EXPECT_EQ(Rules(optionalS, "b"), "[Z]");
  EXPECT_EQ(Rules(optionalS, "bs"), "[Z/ /_S]");
  EXPECT_EQ(Rules(optionalS, "bss"), "[b/ /_S/ /_S]");
}

TEST_F(TranslatorTest, LeftContextSymbols) {
  const Translator vowels = WithRules("S#(B)=V\n(B)=b\n");
  EXPECT_EQ(Rules(vowels, "sa'eb"), "[ /_S/A/e/V]");
  EXPECT_EQ(Rules(vowels, "sb"), "[ /_S/b]");

  const Translator start = WithRules("%(B)=I\n(B)=b\n");
  EXPECT_EQ(Rules(start, "bb"), "[I/b]");

  const Translator open = WithRules("](B)=O\n(B)=b\n");
  EXPECT_EQ(Rules(open, "ab"), "[a/O]");
  EXPECT_EQ(Rules(open, "a~b"), "[a~/O]");
  EXPECT_EQ(Rules(open, "eb"), "[e/b]");
  EXPECT_EQ(Rules(open, "e'b"), "[E/b]");
  EXPECT_EQ(Rules(open, "b"), "[b]");

  const Translator vowelOrStart = WithRules("%_(B)=W\n_(B)=w\n(B)=b\n");
  EXPECT_EQ(Rules(vowelOrStart, "b"), "[W]");
  EXPECT_EQ(Rules(vowelOrStart, "ib"), "[i/W]");
  EXPECT_EQ(Rules(vowelOrStart, "tib"), "[ /_T/i/w]");
  EXPECT_EQ(Rules(vowelOrStart, "te'b"), "[ /_T/E/w]");
  EXPECT_EQ(Rules(vowelOrStart, "tb"), "[ /_T/b]");

  const Translator nrs = WithRules("|(B)=N\n(B)=b\n");
  EXPECT_EQ(Rules(nrs, "nb"), "[ /_N/N]");
  EXPECT_EQ(Rules(nrs, "sb"), "[ /_S/N]");
  EXPECT_EQ(Rules(nrs, "tb"), "[ /_T/b]");

  const Translator letters = WithRules("T(B)=T\n(B)=b\n");
  EXPECT_EQ(Rules(letters, "b"), "[b]");
  EXPECT_EQ(Rules(letters, "tb"), "[ /_T/T]");
}

TEST_F(TranslatorTest, MatchMustLieInsideTheWordAndIgnoresCase) {
  const Translator translator = WithRules("(BA)=X\n(B)=b\n");
  EXPECT_EQ(Rules(translator, "b"), "[b]");
  EXPECT_EQ(Rules(translator, "bA"), "[X]");
}

TEST_F(TranslatorTest, StressedVowelUpperCasesTheFirstVowelOfItsOutput) {
  const Translator translator = WithRules("(OU)=o^w\n(C)=k\n(S)=z\n");
  EXPECT_EQ(Rules(translator, "cAsa"), "[k/A/z/a]");
  EXPECT_EQ(Rules(translator, "pOuca"), "[ /_P/O^w/k/a]");
}

TEST_F(TranslatorTest, LetterWithoutRuleIsPlayedAsItsOwnSound) {
  const Translator translator = WithRules("");
  EXPECT_EQ(Rules(translator, "k"), "[ /_K]");
  EXPECT_EQ(Rules(translator, "Ok"), "[O/ /_K]");
  EXPECT_EQ(translator::TranslateText(translator, "~"), "[ /_~]");
}

// --- Whole text --------------------------------------------------------------------

TEST_F(TranslatorTest, ConsonantOnlyAndCodeOneWordsAreSpelled) {
  const Translator translator = WithRules("(S)=s\n(P)=p\n");
  EXPECT_EQ(translator::TranslateText(translator, "sp"), "[ /_s][ /_p]");
  EXPECT_EQ(translator::TranslateText(translator, "a\tb"), "[a][ /_\x01][ /_b]");
  EXPECT_EQ(translator::TranslateText(translator, "Ok."), "[o/ /_K][ /_.]");
}

TEST_F(TranslatorTest, TranslateTextRunsEveryStep) {
  Translator translator;
  ASSERT_TRUE(translator::LoadTranslatorRules(
      translator, WriteFile("r.rgr",
                            "(A')=A\n(A)=a\n(E')=E\n(E)%=i\n(E)=e\n(O)%=u\n(O)=o\n(U)=u\n(I)=i\n"
                            "(C)=k\n(F)=f\n(D)=d\n(G)=g\n(SH)=x\n(S)=s\n(K)=k\n")));
  ASSERT_TRUE(translator::LoadTranslatorExceptions(translator, WriteFile("e.exc", "case=keis\n")));
  EXPECT_EQ(translator::TranslateText(translator, "caf\xE9"), "[k/a/f/E]");
  EXPECT_EQ(translator::TranslateText(translator, "d'\xE1gua"), "[d/A/g/u/a]");
  EXPECT_EQ(translator::TranslateText(translator, "show"), "[x/O/u]");
  EXPECT_EQ(translator::TranslateText(translator, "cases"), "[k/E/i/s/s]");
  EXPECT_EQ(translator::TranslateText(translator, ""), "");
  EXPECT_EQ(translator::TranslateText(translator, "   "), "");
}

}  // namespace
