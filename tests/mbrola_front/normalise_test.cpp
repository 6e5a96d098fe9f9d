// Numbers, symbols, abbreviations and spelled words in the text normaliser.
#include "mbrola_front/normalise.h"

#include <gtest/gtest.h>

#include "tests/mbrola_front/test_text.h"

namespace mbrola_front {
namespace {

class Normalise : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadAbbreviationLines({"; comment", "SR=senhor", "  Sra = senhora  ", "DR=doutor", "mbr"}, table);
  }
  std::string N(std::string_view utf8) { return NormaliseText(table, W(utf8)); }
  AbbreviationTable table;
};

TEST_F(Normalise, DecimalsAndThousands) {
  EXPECT_EQ(N("3.14"), W("três ponto quatorze "));
  EXPECT_EQ(N("3,5"), W("três vírgula cinco "));
  EXPECT_EQ(N("1.000.000"), W("um milhão  "));
  EXPECT_EQ(N("1.0000"), W("um ponto zero zero zero zero "));
  EXPECT_EQ(N("2.500 reais"), W("dois mil e quinhentos  reais"));
}

TEST_F(Normalise, SignsDashesAndLeadingZeros) {
  EXPECT_EQ(N("-5"), W("menos cinco "));
  EXPECT_EQ(N("5-3"), W(" cinco traço três "));
  EXPECT_EQ(N("555-1234"), W(" cinco cinco cinco traço um dois três quatro "));
  EXPECT_EQ(N("007"), W("zero zero sete "));
  EXPECT_EQ(N("a - b"), W("a , bê"));  // a lone consonant is spelled
  EXPECT_EQ(N("x 0"), W("xis zero "));
}

TEST_F(Normalise, SingleCharacterTextIsItsName) {
  EXPECT_EQ(N("0"), W("zéro"));
  EXPECT_EQ(N("&"), W("é comercial"));
  EXPECT_EQ(N("?"), W("interrogação"));
}

TEST_F(Normalise, Ordinals) {
  EXPECT_EQ(N("2º"), W("segundo "));
  EXPECT_EQ(N("3ª"), W("terceira "));
  EXPECT_EQ(N("21os."), W("vigésimo primeiros "));
  EXPECT_EQ(N("5as."), W("quintas "));
  EXPECT_EQ(N("1o. lugar"), W("primeiro  lugar"));
  EXPECT_EQ(N("2000º"), W("dois mil  "));
  EXPECT_EQ(N("70ª"), W("septuagésima "));
  EXPECT_EQ(OrdinalWords(Gender::Masculine, 1998), W("milésimo nongentésimo nonagésimo oitavo"));
  EXPECT_EQ(OrdinalWords(Gender::Feminine, 21), W("vigésima primeira"));
  EXPECT_EQ(OrdinalWords(Gender::Masculine, 0), "zero");
  // The ordinal drops the spoken leading zeros.
  EXPECT_EQ(N("02º"), W("segundo "));
}

TEST_F(Normalise, CardinalsUseBrazilianConnective) {
  EXPECT_EQ(CardinalWords(0), "zero");
  EXPECT_EQ(CardinalWords(100), "cem");
  EXPECT_EQ(CardinalWords(101), "cento e um");
  EXPECT_EQ(CardinalWords(1000), "mil ");
  EXPECT_EQ(CardinalWords(1200), "mil e duzentos");
  EXPECT_EQ(CardinalWords(1150), W("mil cento e cinqüenta"));
  EXPECT_EQ(CardinalWords(1234), "mil duzentos e trinta e quatro");
  EXPECT_EQ(CardinalWords(2000001), W("dois milhões e um"));
  EXPECT_EQ(CardinalWords(1000000), W("um milhão "));
  EXPECT_EQ(CardinalWords(2500000), W("dois milhões e quinhentos mil "));
  EXPECT_EQ(CardinalWords(19), "dezenove");
  EXPECT_EQ(CardinalWords(1021), "mil e vinte e um");
  EXPECT_EQ(CardinalWords(2100), "dois mil e cem");
  EXPECT_EQ(CardinalWords(1000500), W("um milhão e quinhentos"));
  EXPECT_EQ(CardinalWords(2001000), W("dois milhões e mil "));
  EXPECT_EQ(CardinalWords(1001001), W("um milhão mil e um"));
  EXPECT_EQ(CardinalWords(999999999999999LL),
            W("novecentos e noventa e nove trilhões novecentos e noventa e nove bilhões "
              "novecentos e noventa e nove milhões novecentos e noventa e nove mil "
              "novecentos e noventa e nove"));
}

TEST_F(Normalise, GroupWordsReportsInnerConnective) {
  EXPECT_FALSE(GroupWords('2', '0', '0').innerE);
  EXPECT_TRUE(GroupWords('1', '5', '0').innerE);
  EXPECT_TRUE(GroupWords('0', '2', '1').innerE);
  EXPECT_EQ(GroupWords('0', '0', '0').words, "");
  EXPECT_EQ(ScaledGroupWords("001", 3).words, "um mil ");
  EXPECT_EQ(ScaledGroupWords("002", 2).words, W("dois milhões "));
}

TEST_F(Normalise, SixteenDigitsMakeTwoNumbers) {
  const std::string text = W("1000000000000002");
  size_t pos = 0;
  EXPECT_EQ(ReadNumberAt(text, pos), W("cem trilhões "));
  EXPECT_EQ(pos, 15u);
  EXPECT_EQ(N("1000000000000002"), W("cem trilhões  dois "));
}

TEST_F(Normalise, Abbreviations) {
  EXPECT_EQ(N("Sr. Silva"), "senhor Silva");
  EXPECT_EQ(N("Sra. Silva"), "senhora Silva");
  EXPECT_EQ(N("Falou o Sr."), "Falou o Sr.");
  EXPECT_EQ(LookupAbbreviation(table, "dr"), "doutor");
  EXPECT_EQ(LookupAbbreviation(table, "Prof"), "");
  // A line without "=" is kept with an empty key and matches no word.
  ASSERT_EQ(table.entries.size(), 4u);
  EXPECT_EQ(table.entries[3].key, "");
}

TEST_F(Normalise, VowelLessWordsAreSpelled) {
  EXPECT_EQ(N("PTB"), W("pêtêbê"));
  EXPECT_EQ(N("CD novo"), W(" sê dê novo"));
  EXPECT_EQ(N("ABC-XYZ"), "ABC-XYZ");
  EXPECT_EQ(N("TV-PB"), W("têvêtraçopêbê"));
}

TEST_F(Normalise, SymbolsAndPunctuation) {
  EXPECT_EQ(N("a@e"), W("a arrôba e"));
  EXPECT_EQ(N("sim... não"), W("sim...  não"));
  EXPECT_EQ(N("site.com"), W("site ponto com"));
  EXPECT_EQ(N("ok!\tfim\r\n"), "ok!fim");
  EXPECT_EQ(N("a\x01"
              "e"),
            "a  e");
  EXPECT_EQ(N("(sim)"), "(sim)");
}

TEST(CharacterNames, Table) {
  EXPECT_EQ(CharacterName('C'), W(" sê"));
  EXPECT_EQ(CharacterName('j'), "jota");
  EXPECT_EQ(CharacterName('J'), W("jóta"));
  EXPECT_EQ(CharacterName(0xE7), W("Cê cedilha"));
  EXPECT_EQ(CharacterName(0xD7), "vezes");
  EXPECT_FALSE(CharacterName(0xFD).has_value());
  EXPECT_FALSE(CharacterName(9).has_value());
  EXPECT_FALSE(CharacterName(0xA0).has_value());
  EXPECT_EQ(CharacterName(0xBF), W("interrogação reversa"));
}

TEST(AbbreviationFile, MissingFileFails) {
  AbbreviationTable table;
  table.entries.push_back({"X", "y"});
  EXPECT_FALSE(LoadAbbreviations("/nonexistent/portug.abr", table));
  EXPECT_TRUE(table.entries.empty());
}

TEST(AbbreviationFile, KeepsTheFirstTwoThousandEntries) {
  std::vector<std::string> lines;
  for (int i = 0; i < 2100; ++i) lines.push_back("K" + std::to_string(i) + "=v");
  AbbreviationTable table;
  LoadAbbreviationLines(lines, table);
  EXPECT_EQ(table.entries.size(), 2000u);
  EXPECT_EQ(LookupAbbreviation(table, "K2050"), "");
}

}  // namespace
}  // namespace mbrola_front
