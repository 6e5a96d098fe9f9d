// The units the shipped rules make the synthesizer ask for, against the units every build
// of the voice holds (the builder's --list-units): every text of the game and a large word list.

#include "text/cp1252.h"
#include "tools/game_texts.h"
#include "tools/voicedata/units.h"
#include "translator/translator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Every "..."_text literal of a source, unescaped, and every line of the spoken logs of
// the game's transcripts (they hold the texts assembled at run time too).
std::vector<std::string> GameTexts() {
  std::vector<std::string> texts;
  const std::filesystem::path top = QUELVAR_SOURCE_DIR;
  for (const auto& entry : std::filesystem::directory_iterator(top / "game")) {
    if (entry.path().extension() != ".cpp") continue;
    for (const std::string& text : tools::TextLiterals(tools::ReadWhole(entry.path()))) {
      texts.push_back(text::DataTextToCp1252(text));
    }
  }
  for (const auto& entry : std::filesystem::directory_iterator(top / "tests" / "game")) {
    if (entry.path().extension() != ".speech") continue;
    std::istringstream lines(text::DataTextToCp1252(tools::ReadWhole(entry.path())));
    for (std::string line; std::getline(lines, line);) texts.push_back(line);
  }
  return texts;
}

struct Tally {
  long lookups = 0;
  long storable = 0;  // names of at most 8 characters
  long found = 0;     // found directly
  long noise = 0;     // pieces that end as the noise burst
  long dropped = 0;   // pieces that the splitting cannot say at all
  std::set<std::string> missing;
};

class Coverage : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef QUELVAR_UNIT_LIST
    GTEST_SKIP() << "the voice-data builder is not built here (no espeak-ng)";
#else
    const std::string dataDir = std::string(QUELVAR_SOURCE_DIR) + "/data/";
    ASSERT_TRUE(translator::LoadTranslatorRules(translator_, dataDir + "regras.rgr"));
    ASSERT_TRUE(translator::LoadTranslatorExceptions(translator_, dataDir + "portug.exc"));
    std::ifstream list(QUELVAR_UNIT_LIST);
    for (std::string line; std::getline(list, line);) units_.insert(line);
    ASSERT_GT(units_.size(), 500u);
#endif
  }

  // What the synthesizer does with a name that is not in the database.
  void Speak(const std::string& key, Tally& tally) const {
    if (units_.contains(key)) return;
    const std::size_t n = key.size();
    if (n <= 2) {
      ++tally.noise;
      return;
    }
    const char last = key.back();
    if (std::string_view("AEIOUWY").find(last) != std::string_view::npos) {
      Speak(key.substr(0, n - 1), tally);
      Speak(std::string("$") + last, tally);
    } else if (key.ends_with("CIRC") && n >= 7) {
      Speak(key.substr(0, n - 5), tally);
      Speak("$" + key.substr(n - 5), tally);
    } else if (key.ends_with("TIL")) {
      const std::string base = key.substr(0, n - 3);
      Speak(base.ends_with("I") || base.ends_with("U") ? base : base + "CIRC", tally);
      Speak("$NN", tally);
    } else {
      ++tally.dropped;
    }
  }

  void Count(const std::string& text, Tally& tally) const {
    for (const std::string& run : voicedata::WordRuns(text)) {
      voicedata::ForEachUnitLookup(translator::TranslateText(translator_, run), [&](const voicedata::UnitLookup& u) {
        ++tally.lookups;
        if (u.key.size() <= 8) ++tally.storable;
        if (units_.contains(u.key)) {
          ++tally.found;
          return;
        }
        if (u.key.size() <= 8) tally.missing.insert(u.key);
        Speak(u.key, tally);
      });
    }
  }

  translator::Translator translator_;
  std::set<std::string> units_;
};

TEST_F(Coverage, EveryUnitOfTheGamesTextsIsInTheDatabase) {
  Tally tally;
  const auto texts = GameTexts();
  ASSERT_GT(texts.size(), 300u);
  for (const std::string& text : texts) Count(text, tally);
  EXPECT_TRUE(tally.missing.empty()) << tally.missing.size() << " missing, first " << *tally.missing.begin();
  EXPECT_EQ(tally.noise, 0) << "look-ups that end as the noise burst";
  std::printf(
      "game texts: %ld look-ups, %ld found directly (%.2f %%), %ld longer than a unit name may be, "
      "%ld pieces of those lost in splitting\n",
      tally.lookups, tally.found, 100.0 * static_cast<double>(tally.found) / static_cast<double>(tally.lookups),
      tally.lookups - tally.storable, tally.dropped);
}

// The list holds only what every build holds, whatever its size budget: even then a word
// of the list is never heard as a noise burst.
TEST_F(Coverage, NoWordOfTheWordListEndsInANoiseBurst) {
  std::ifstream words(QUELVAR_WORD_LIST);
  if (!words) GTEST_SKIP() << "no word list at " << QUELVAR_WORD_LIST;
  Tally tally;
  for (std::string line; std::getline(words, line);) Count(text::DataTextToCp1252(line), tally);
  ASSERT_GT(tally.lookups, 100000);
  EXPECT_EQ(tally.noise, 0);
  std::printf(
      "word list with the units every build holds: %ld look-ups, %.2f %% found directly, "
      "%ld pieces lost in splitting\n",
      tally.lookups, 100.0 * static_cast<double>(tally.found) / static_cast<double>(tally.lookups), tally.dropped);
}

// The phrase rules voice a final s and merge it into the next word's: said before a word
// that begins with a vowel or with s, no word of the list loses any more of its sound
// than it does alone.
TEST_F(Coverage, WordsOfTheWordListLoseNothingInAPhrase) {
  std::ifstream words(QUELVAR_WORD_LIST);
  if (!words) GTEST_SKIP() << "no word list at " << QUELVAR_WORD_LIST;
  Tally alone, beforeVowel, beforeS;
  long joined = 0;
  for (std::string line; std::getline(words, line);) {
    const std::string word = text::DataTextToCp1252(line);
    if (word.empty() || word.back() != 's') continue;
    ++joined;
    Count(word, alone);
    Count(word + " a", beforeVowel);
    Count(word + " sol", beforeS);
  }
  ASSERT_GT(joined, 10000);
  EXPECT_EQ(beforeVowel.noise + beforeS.noise, 0);
  EXPECT_EQ(beforeVowel.dropped, alone.dropped);
  EXPECT_EQ(beforeS.dropped, alone.dropped);
}

}  // namespace
