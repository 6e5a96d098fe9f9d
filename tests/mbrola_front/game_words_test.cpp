// Every word of the game's texts through the MBROLA front end (normalisation, rules,
// exceptions, stress), against the judged list of tests/translator/game_words.tsv.

#include <gtest/gtest.h>

#include "../translator/game_words.h"
#include "mbrola_front/front_end.h"
#include "mbrola_front/text_codec.h"

namespace mbrola_front {
namespace {

// The phoneme lines of a text before durations and pitch, joined by blanks, with the stress
// mark ">"; pauses and word markers left out.
std::string Phonemes(const FrontEndData& data, const std::string& cp1252) {
  const auto coded = AssignPitchCodes(data.prosody, ClassifyWords(data.prosody, NormaliseText(data.abbreviations, cp1252)),
                                      PitchTable::Ignore);
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
    EXPECT_EQ(Cp1252ToUtf8(Phonemes(data, Utf8ToCp1252(entry.word))), entry.frontEnd) << entry.word;
  }
}

}  // namespace
}  // namespace mbrola_front
