// Every word of the game's texts through the built-in translator, against the judged list;
// and the list must hold every word the game can write.

#include "text/cp1252.h"
#include "translator/translator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>

#include "game_words.h"
#include "tools/game_texts.h"

namespace {

std::string ToUtf8(std::string_view cp1252) {
  std::string out;
  for (const char c : cp1252) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

TEST(GameWords, TranslatorSaysEveryJudgedWordAsJudged) {
  translator::Translator translator;
  ASSERT_TRUE(translator::LoadTranslatorRules(translator, QUELVAR_SOURCE_DATA_DIR "/regras.rgr"));
  ASSERT_TRUE(translator::LoadTranslatorExceptions(translator, QUELVAR_SOURCE_DATA_DIR "/portug.exc"));
  const auto judged = game_words::ReadJudgedWords(QUELVAR_GAME_WORDS);
  ASSERT_GT(judged.size(), 500u);
  for (const auto& entry : judged) {
    const std::string said = ToUtf8(translator::TranslateText(translator, text::DataTextToCp1252(entry.word)));
    EXPECT_EQ(said, entry.translator) << entry.word;
  }
}

// A word the game gains must be judged too: listen to it, compare it with espeak-ng, and
// add it to game_words.tsv.
TEST(GameWords, ListHoldsEveryWordOfTheGame) {
  std::set<std::string> listed;
  for (const auto& entry : game_words::ReadJudgedWords(QUELVAR_GAME_WORDS)) listed.insert(entry.word);
  std::set<std::string> missing;
  for (const auto& file : std::filesystem::directory_iterator(QUELVAR_SOURCE_DIR "/game")) {
    const auto extension = file.path().extension();
    if (extension != ".cpp" && extension != ".h") continue;
    for (const std::string& text : tools::TextLiterals(tools::ReadWhole(file.path()))) {
      for (const std::string& word : game_words::WordsOf(text)) {
        if (!listed.contains(word)) missing.insert(word);
      }
    }
  }
  for (const std::string& word : missing) ADD_FAILURE() << "not judged: " << word;
}

}  // namespace
