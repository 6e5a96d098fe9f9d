// Every word of the game's texts through the MBROLA front end (normalisation, rules,
// exceptions, stress), against the judged list of tests/translator/game_words.tsv.

#include <gtest/gtest.h>

#include <fstream>

#include "../translator/game_words.h"
#include "mbrola_front/pipeline.h"
#include "mbrola_front/text_codec.h"
#include "text/cp1252.h"

namespace mbrola_front {
namespace {

// The phoneme lines of a text before durations and pitch, joined by blanks, with the stress
// mark ">"; pauses and word markers left out.
std::string Phonemes(const FrontEndData& data, const std::string& cp1252) {
  const auto coded = AssignPitchCodes(
      data.prosody, ClassifyWords(data.prosody, NormaliseText(data.abbreviations, cp1252)), PitchTable::Ignore);
  std::string out;
  for (const std::string& line : TranscribeList(data.rules, data.exceptions, coded)) {
    if (line.empty() || line[0] == ';' || line[0] == '_') continue;
    if (!out.empty()) out += ' ';
    out += line;
  }
  return out;
}

TEST(GameWords, FrontEndSaysEveryJudgedWordAsJudged) {
  FrontEndData data;
  ASSERT_EQ(LoadFrontEndData(FrontEndFilesIn(QUELVAR_FRONT_DATA_DIR), data), FrontEndLoadError::None);
  const auto judged = game_words::ReadJudgedWords(QUELVAR_GAME_WORDS);
  ASSERT_GT(judged.size(), 500u);
  for (const auto& entry : judged) {
    EXPECT_EQ(text::Cp1252ToUtf8(Phonemes(data, text::Utf8ToCp1252(entry.word))), entry.frontEnd) << entry.word;
  }
}

// A context longer than five characters is cut on loading and then means something else
// ("STRA\%" would lose its word end), and only eleven output characters are used.
TEST(ShippedRules, EveryRuleFitsItsFields) {
  std::ifstream file(QUELVAR_FRONT_DATA_DIR "/portug.nrl", std::ios::binary);
  int rules = 0;
  for (std::string line; std::getline(file, line);) {
    const std::string text = text::Utf8ToCp1252(line);  // one byte a letter, as the loader counts
    if (text.empty() || text[0] == ';') continue;
    const std::string rule = text.substr(0, text.find('|'));
    const std::size_t open = rule.find('('), close = rule.find(')'), equals = rule.find('=', close);
    if (open == std::string::npos || close == std::string::npos || equals == std::string::npos) continue;
    ++rules;
    EXPECT_LE(open, 5u) << line;
    EXPECT_LE(close - open - 1, 5u) << line;
    EXPECT_LE(equals - close - 1, 5u) << line;
    EXPECT_LE(rule.size() - equals - 1, 11u) << line;
  }
  EXPECT_GT(rules, 100);
}

}  // namespace
}  // namespace mbrola_front
