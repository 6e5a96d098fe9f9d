// Stress positions found from spelling.
#include "mbrola_front/stress.h"

#include <gtest/gtest.h>

#include "tests/mbrola_front/test_text.h"

namespace mbrola_front {
namespace {

TEST(Stress, PositionsFollowPortugueseAccentuation) {
  const struct {
    const char* word;
    int position;
  } cases[] = {{"casa", 2},
               {"casas", 2},
               {"cantam", 2},
               {"ontem", 1},
               {"amor", 3},
               {"jardins", 5},
               {"peru", 4},
               {"pai", 2},
               {"aqui", 4},
               {"fui", 2},
               {"rua", 2},
               {"quase", 3},
               {"averigua", 5},
               {"café", 4},
               {"mbr", 0},
               {"CASA", 2},
               {"JARDIM", 5},
               {"ÁGUAS", 1},
               {"lâmpada", 2},
               {"tênis", 2},
               // -ns as the plural of -m; the i of a falling diphthong before the last vowel.
               {"homens", 2},
               {"jovens", 2},
               {"bons", 2},
               {"ideia", 3},
               {"apoia", 3},
               {"praia", 3},
               {"tia", 2},
               {"extinguam", 4}};
  for (const auto& c : cases) {
    EXPECT_EQ(FindStressPosition(W(c.word)), c.position) << c.word;
  }
}

TEST(Stress, ShortAndFunctionWordsAreUnstressed) {
  EXPECT_TRUE(IsUnstressedWord("POR"));
  EXPECT_TRUE(IsUnstressedWord(W("NÃO")));
  EXPECT_TRUE(IsUnstressedWord("DE"));
  EXPECT_TRUE(IsUnstressedWord(""));
  EXPECT_FALSE(IsUnstressedWord("PARA"));
  EXPECT_FALSE(IsUnstressedWord("por"));  // compared with the upper-cased word only
}

}  // namespace
}  // namespace mbrola_front
