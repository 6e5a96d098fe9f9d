// Letter-to-phoneme rules, exceptions, stress marks and liaison.
#include "mbrola_front/rules.h"

#include <gtest/gtest.h>

#include "tests/mbrola_front/test_text.h"

namespace mbrola_front {
namespace {

using Lines = std::vector<std::string>;

Lines Word(const RuleSet& rules, std::string_view word, int stressed) {
  Lines out;
  TranscribeWord(rules, word, stressed, out);
  return out;
}

RuleSet Rules(const Lines& lines) {
  RuleSet rules;
  LoadRuleLines(lines, rules);
  return rules;
}

TEST(RuleFile, ParsesFieldsAndCutsThemToWidth) {
  RuleRecord rule;
  ASSERT_TRUE(ParseRuleLine("#(S)#=z|between vowels", rule));
  EXPECT_EQ(rule.left, "#");
  EXPECT_EQ(rule.focus, "S");
  EXPECT_EQ(rule.right, "#");
  EXPECT_EQ(rule.output, "z");
  ASSERT_TRUE(ParseRuleLine("ABCDEFG(HIJKLMN)OPQRSTU=abcdefghijklmnopqrstuvwxyz", rule));
  EXPECT_EQ(rule.left, "ABCDE");
  EXPECT_EQ(rule.focus, "HIJKL");
  EXPECT_EQ(rule.right, "OPQRS");
  EXPECT_EQ(rule.output, "abcdefghijklmnopqrst");
  EXPECT_FALSE(ParseRuleLine("()=a", rule));
  EXPECT_FALSE(ParseRuleLine("no parenthesis", rule));
  ASSERT_TRUE(ParseRuleLine("(A", rule));  // no ")": context and output stay empty
  EXPECT_EQ(rule.focus, "A");
  EXPECT_EQ(rule.output, "");
}

TEST(RuleFile, BucketsKeepFileOrderAndSkipComments) {
  const RuleSet rules = Rules({"; (A)=x", "", "(A)B=first", "(AB)=second", "(B)=b", "()=z"});
  const auto& bucket = rules.buckets['A' - RuleSet::FirstCode];
  ASSERT_EQ(bucket.size(), 2u);
  EXPECT_EQ(bucket[0].output, "first");
  EXPECT_EQ(bucket[1].output, "second");
  RuleSet loaded;
  EXPECT_FALSE(LoadRules("/nonexistent/portug.nrl", loaded));
}

TEST(TranscribeWord, SilentLettersEmptyOutputsAndSeparators) {
  const RuleSet rules = Rules({"(A)=a", "(H)=", "(X)=k&s"});
  EXPECT_EQ(Word(rules, "AZA", 0), (Lines{"a", "a", ""}));  // Z has no rule
  EXPECT_EQ(Word(rules, "HAX", 0), (Lines{"a", "k", "s", ""}));
  EXPECT_EQ(Word(rules, "", 0), (Lines{""}));
}

TEST(TranscribeWord, OnlyElevenOutputCharactersAreUsed) {
  const RuleSet rules = Rules({"(A)=a&b&c&d&e&f&g&h"});
  EXPECT_EQ(Word(rules, "A", 0), (Lines{"a", "b", "c", "d", "e", "f", ""}));
}

TEST(TranscribeWord, StressMarkIsPlacedOnce) {
  const RuleSet rules = Rules({"(QU)=k", "(H)=", "(A)=a", "(S)=s"});
  EXPECT_EQ(Word(rules, "ASA", 1), (Lines{">a", "s", "a", ""}));
  EXPECT_EQ(Word(rules, "ASA", 3), (Lines{"a", "s", ">a", ""}));
  // Inside a focus, or on a letter with an empty output: the next phoneme takes it.
  EXPECT_EQ(Word(rules, "QUA", 2), (Lines{"k", ">a", ""}));
  EXPECT_EQ(Word(rules, "HA", 1), (Lines{">a", ""}));
  EXPECT_EQ(Word(rules, "ASA", 0), (Lines{"a", "s", "a", ""}));
}

TEST(Contexts, RightContextCodes) {
  EXPECT_TRUE(MatchRightContext("SA", 0, 1, "#"));
  EXPECT_FALSE(MatchRightContext("S", 0, 1, "#"));
  EXPECT_TRUE(MatchRightContext("AS", 1, 1, "%"));
  EXPECT_TRUE(MatchRightContext("AMA", 0, 1, "&#"));
  EXPECT_TRUE(MatchRightContext("ATA", 0, 1, "*T"));  // "*" does not move on
  EXPECT_FALSE(MatchRightContext("ALA", 0, 1, "*"));
  EXPECT_FALSE(MatchRightContext("A", 0, 1, "*"));
  EXPECT_TRUE(MatchRightContext("CE", 0, 1, "+"));
  EXPECT_TRUE(MatchRightContext(W("CÍ"), 0, 1, "+"));
  EXPECT_FALSE(MatchRightContext(W("CÊ"), 0, 1, "+"));
  EXPECT_TRUE(MatchRightContext("L", 0, 1, "["));
  EXPECT_TRUE(MatchRightContext("LT", 0, 1, "["));
  EXPECT_FALSE(MatchRightContext("LH", 0, 1, "["));
  EXPECT_TRUE(MatchRightContext("OS", 0, 1, "\\%"));
  EXPECT_TRUE(MatchRightContext("O", 0, 1, "\\%"));
  EXPECT_FALSE(MatchRightContext("OSA", 0, 1, "\\%"));
  EXPECT_TRUE(MatchRightContext("xab", 0, 1, "AB"));  // the word is compared upper-cased
}

TEST(Contexts, LeftContextCodes) {
  EXPECT_TRUE(MatchLeftContext("ASA", 1, "#"));
  EXPECT_FALSE(MatchLeftContext("SA", 0, "#"));
  EXPECT_TRUE(MatchLeftContext("SA", 0, "%"));
  EXPECT_FALSE(MatchLeftContext("ASA", 1, "%"));
  EXPECT_TRUE(MatchLeftContext("EXA", 1, "%E"));
  EXPECT_TRUE(MatchLeftContext("OL", 1, "]"));
  EXPECT_FALSE(MatchLeftContext("EL", 1, "]"));
  EXPECT_TRUE(MatchLeftContext("S", 0, "_"));
  EXPECT_TRUE(MatchLeftContext("AS", 1, "_"));
  EXPECT_FALSE(MatchLeftContext("TS", 1, "_"));
  EXPECT_TRUE(MatchLeftContext("NR", 1, "|"));
  EXPECT_FALSE(MatchLeftContext("TR", 1, "|"));
  EXPECT_FALSE(MatchLeftContext("R", 0, "N"));
  EXPECT_TRUE(MatchFocus("qua", 0, "QU"));
  EXPECT_FALSE(MatchFocus("Q", 0, "QU"));
}

TEST(Exceptions, SortedLookupWithFinalSAndM) {
  ExceptionTable table;
  LoadExceptionLines({"taxi=tacsi|comment", "CASA=KAZA", "", "no equals", "ZERO=ZÉRO"}, table);
  ASSERT_EQ(table.entries.size(), 3u);
  EXPECT_EQ(table.entries[0].word, "CASA");
  std::string word = "CASAS";
  ApplyException(table, word);
  EXPECT_EQ(word, "KAZAS");
  word = "TAXI";
  ApplyException(table, word);
  EXPECT_EQ(word, "TACSI");
  word = "MASM";
  ApplyException(table, word);
  EXPECT_EQ(word, "MASM");
  word = "SS";
  ApplyException(table, word);
  EXPECT_EQ(word, "SS");
  ExceptionTable missing;
  EXPECT_FALSE(LoadExceptions("/nonexistent/portug.exc", missing));
}

TEST(Exceptions, AtMostFifteenThousand) {
  Lines lines;
  for (int i = 0; i < 15010; ++i) lines.push_back("W" + std::to_string(i) + "=X");
  ExceptionTable table;
  LoadExceptionLines(lines, table);
  EXPECT_EQ(table.entries.size(), 15000u);
}

class TranscribeListTest : public ::testing::Test {
 protected:
  RuleSet rules =
      Rules({"(A)=a", W("(Á)=a"), "(S)%=s2", "(S)=s", "(G)=g", "(U)=w", "(R)%=r2", "(M)=m", "(I)=i", "(O)=o"});
  ExceptionTable exceptions;
};

TEST_F(TranscribeListTest, MarkersPausesAndBoundaries) {
  const Lines out = TranscribeList(rules, exceptions, {"555|", "555|asa", "555|,", "555| ", "575|?"});
  EXPECT_EQ(out,
            (Lines{";555|", "__", "", ";555|asa", ">a", "s", "a", "", ";555|,", "_,", ";555| ", ";575|?", "_?", "__"}));
}

TEST_F(TranscribeListTest, LiaisonBeforeAVowel) {
  // AMIGAS is stressed on its I, so its first phoneme is a plain vowel.
  Lines out = TranscribeList(rules, exceptions, {"555|AS", "555|AMIGAS"});
  EXPECT_EQ(out[2], "z");
  out = TranscribeList(rules, exceptions, {"555|MAR", "555|AMIGO"});
  EXPECT_EQ(out[3], "r");
  // A first phoneme that carries the stress mark is voiced before all the same.
  out = TranscribeList(rules, exceptions, {"555|AS", W("555|ÁGUAS")});
  EXPECT_EQ(out[2], "z");
  EXPECT_EQ(out[5], ">a");
}

TEST(Liaison, FirstPhonemeDecides) {
  Lines lines{";555|AS", "a", "s2", "", ";555|ASAS", "a", "z", "a", "s2", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "z");
  lines = {";555|AS", "a", "s2", "", ";555|ASAS", ">a", "z", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "z");
  // Voiced consonants voice the s but leave the r alone; voiceless ones and r change nothing.
  lines = {";555|OS", "w", "s2", "", ";555|DIAS", "d", ">i", "a", "s2", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "z");
  lines = {";555|MAR", "m", "a", "r2", "", ";555|DE", "d", "y", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[3], "r2");
  lines = {";555|AS", "a", "s2", "", ";555|ROSAS", "rr", ">o", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "s2");
  lines = {";555|AS", "a", "s2", "", ";555|OI", "\xA8o", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "z");
  lines = {";555|AS", "a", "s2", "", ";555|TA", "t", "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "s2");
}

TEST(Liaison, ReducedVowelsBeforeAVowelAreFull) {
  // The article o before a vowel is u; other words keep their glide.
  Lines lines{";555|o", "w", "", ";555|AMIGO", "a", ">m", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[1], "u");
  lines = {";555|DO", "d", "w", "", ";555|AMIGO", "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], "w");
  lines = {";555|o", "w", "", ";555|GATO", "g", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[1], "w");
  // The reduced e after a consonant and r: sobre a, entre os; not after a vowel and r.
  lines = {";555|SOBRE", "s", ">o", "b", "r", "y", "", ";555|A", "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[5], "i");
  lines = {";555|SOBRE", "s", ">o", "b", "r", "y", "", ";555|MAR", "m", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[5], "y");
  lines = {";555|CARE", "k", ">a", "r", "y", "", ";555|A", "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[4], "y");
}

TEST(Liaison, FinalAAndTheAOfCraseAreOneVowel) {
  Lines lines{";555|ACORDA", "a", "k", ">oo", "r", "d", "a", "", W(";555|às"), "a", "s2", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines, (Lines{";555|ACORDA", "a", "k", ">oo", "r", "d", "", W(";555|às"), "a", "s2", "", "__"}));
  // A stressed a stays, and so does the a before other words.
  lines = {";555|JA", "j", ">a", "", W(";555|à"), "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[2], ">a");
  lines = {";555|ACORDA", "a", "k", ">oo", "r", "d", "a", "", ";555|A", "a", "", "__"};
  ApplyLiaison(lines);
  EXPECT_EQ(lines[6], "a");
}

}  // namespace
}  // namespace mbrola_front
