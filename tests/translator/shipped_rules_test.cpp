// The shipped rule and exception files on words whose transcription we know.

#include "text/cp1252.h"
#include "translator/translator.h"

#include <gtest/gtest.h>

#include <fstream>

#include <string>
#include <utility>
#include <vector>

namespace {

class ShippedRulesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(translator::LoadTranslatorRules(translator_, QUELVAR_SOURCE_DATA_DIR "/regras.rgr"));
    ASSERT_TRUE(translator::LoadTranslatorExceptions(translator_, QUELVAR_SOURCE_DATA_DIR "/portug.exc"));
  }
  // Words are written in UTF-8 here, as the data files are.
  static std::string Say(const std::string& utf8) {
    return translator::TranslateText(translator_, text::DataTextToCp1252(utf8));
  }
  static void ExpectAll(const std::vector<std::pair<const char*, const char*>>& cases) {
    for (const auto& [word, expected] : cases) EXPECT_EQ(Say(word), expected) << word;
  }
  static inline translator::Translator translator_;
};

TEST_F(ShippedRulesTest, DigraphsAndConsonantContexts) {
  ExpectAll({
      {"chave", "[x/A/v/i]"},         {"filho", "[f/I/lh/u]"},    {"ninho", "[n/I/nh/u]"},
      {"carro", "[k/A/rr/u]"},        {"rato", "[rr/A/t/u]"},     {"honra", "[/O~/rr/a]"},
      {"Israel", "[i/z/rr/a/E/w]"},   {"caro", "[k/A/r/u]"},      {"mar", "[m/a/r]"},
      {"casa", "[k/A/z/a]"},          {"mesmo", "[m/E^/z/m/u]"},  {"passo", "[p/A/s/u]"},
      {"caça", "[k/A/s/a]"},          {"nascer", "[n/a/s/E^/r]"}, {"nasça", "[n/A/s/a]"},
      {"exceto", "[e^/s/E/t/u]"},     {"gente", "[j/E~/tch/i]"},  {"cena", "[s/E^/n/a]"},
      {"quero", "[k/E/r/u]"},         {"aqui", "[a/k/I]"},        {"guerra", "[g/E/rr/a]"},
      {"quando", "[kw/A~/d/u]"},      {"sol", "[s/O/w]"},         {"hoje", "[/O^/j/i]"},
      {"tia", "[tch/I/a]"},           {"dia", "[dj/I/a]"},        {"cidade", "[s/i/d/A/dj/i]"},
      {"noites", "[n/O^/y/tch/i/s]"},
  });
}

TEST_F(ShippedRulesTest, TheContextsOfX) {
  ExpectAll({
      {"xícara", "[x/I/k/a/r/a]"},
      {"exato", "[e^/z/A/t/u]"},
      {"táxi", "[t/A/ks/i]"},
      {"próximo", "[p/r/O/s/i/m/u]"},
      {"caixa", "[k/A/y/x/a]"},
      {"lixo", "[l/I/x/u]"},
      {"texto", "[t/E^/s/t/u]"},
      {"enxame", "[e~/x/A/m/i]"},
      {"trouxe", "[t/r/O^w/s/i]"},
  });
}

TEST_F(ShippedRulesTest, NasalVowelsAndDiphthongs) {
  ExpectAll({
      {"falam", "[f/A/l/a~w]"},
      {"bem", "[b/e~y]"},
      {"homens", "[/O^/m/e~y/s]"},
      {"tempo", "[t/E~/p/u]"},
      {"mão", "[m/A~w]"},
      {"mãe", "[m/A~y]"},
      {"põe", "[p/O~y]"},
      {"irmã", "[i/r/m/A~]"},
      {"mundo", "[m/U~/d/u]"},
      {"fim", "[f/i~]"},
      {"bom", "[b/o~]"},
      {"um", "[u~]"},
      {"meio", "[m/E^/y/u]"},
      {"rainha", "[rr/a/I/nh/a]"},
      {"pouco", "[p/O^w/k/u]"},
      {"saiu", "[s/a/I/w]"},
      {"concluiu", "[k/o~/k/l/u/I/w]"},
  });
}

TEST_F(ShippedRulesTest, AccentMarksAndExceptions) {
  ExpectAll({
      {"café", "[k/a/f/E]"},
      {"você", "[v/o^/s/E^]"},
      {"avó", "[a/v/O]"},
      {"avô", "[a/v/O^]"},
      {"à", "[a]"},
      {"d'água", "[d/A/gw/a]"},
      {"ele", "[E^/l/i]"},
      {"eles", "[E^/l/i/s]"},
      {"órfão", "[O/r/f/a~w]"},
      {"tranquilo", "[t/r/a~/k/w/I/l/u]"},
      {"jogos", "[j/O/g/u/s]"},
      {"show", "[x/O^w]"},
      {"parque", "[p/A/r/k/i]"},
  });
}

TEST_F(ShippedRulesTest, OpenAndClosedEAndOByTheirEndings) {
  ExpectAll({
      // -era: open in the verbs in -erar and the nouns, closed in the -er pluperfects.
      {"espera", "[e^/s/p/E/r/a]"},
      {"considera", "[k/o~/s/i/d/E/r/a]"},
      {"primavera", "[p/r/i/m/a/v/E/r/a]"},
      {"conhecera", "[k/o^/nh/e^/s/E^/r/a]"},
      {"vendera", "[v/e~/d/E^/r/a]"},
      {"eram", "[E/r/a~w]"},
      {"comeram", "[k/o^/m/E^/r/a~w]"},
      {"prefere", "[p/r/e^/f/E/r/i]"},
      {"mulheres", "[m/u/lh/E/r/i/s]"},
      {"esqueceres", "[e^/s/k/e^/s/E^/r/i/s]"},
      // -essa and -esso, with ç written ss.
      {"depressa", "[d/e^/p/r/E/s/a]"},
      {"começa", "[k/o^/m/E/s/a]"},
      {"conheça", "[k/o^/nh/E^/s/a]"},
      {"cabeça", "[k/a/b/E^/s/a]"},
      {"sucesso", "[s/u/s/E/s/u]"},
      {"conheço", "[k/o^/nh/E^/s/u]"},
      {"preço", "[p/r/E^/s/u]"},
      // -ete and -eto, -este.
      {"gabinete", "[g/a/b/i/n/E^/tch/i]"},
      {"sete", "[s/E/tch/i]"},
      {"projeto", "[p/r/o^/j/E/t/u]"},
      {"preto", "[p/r/E^/t/u]"},
      {"teste", "[t/E/s/tch/i]"},
      {"este", "[E^/s/tch/i]"},
      // -oco, -olo, -oja, -obre, -oz, -orda, -osso.
      {"foco", "[f/O/k/u]"},
      {"bolo", "[b/O^/l/u]"},
      {"loja", "[l/O/j/a]"},
      {"pobre", "[p/O/b/r/i]"},
      {"sobre", "[s/O^/b/r/i]"},
      {"voz", "[v/o/s]"},
      {"arroz", "[a/rr/O^/s]"},
      {"acorda", "[a/k/O/r/d/a]"},
      {"almoço", "[a/w/m/O^/s/u]"},
      {"almoços", "[a/w/m/O/s/u/s]"},
      {"nosso", "[n/O/s/u]"},
  });
}

TEST_F(ShippedRulesTest, FunctionWordsOfAPhraseAreUnstressed) {
  ExpectAll({{"ao", "[a/w]"}, {"aos", "[a/w/s]"}, {"bairro", "[b/A/y/rr/u]"}});
}

TEST_F(ShippedRulesTest, FinalSIsVoicedBeforeAVowelOrAVoicedConsonantAndTheWordsAreJoined) {
  ExpectAll({
      {"os amigos", "[u/z a/m/I/g/u/s]"},
      {"mais bonito", "[m/A/y/z b/o^/n/I/t/u]"},
      {"as velas", "[a/z v/E/l/a/s]"},
      {"os dias", "[u/z dj/I/a/s]"},
      {"luz azul", "[l/u/z a/z/U/w]"},
      {"os homens", "[u/z /O^/m/e~y/s]"},  // the h is silent: a vowel begins the word
      {"três amigos moram", "[t/r/E^/z a/m/I/g/u/z m/O/r/a~w]"},
      // Before a voiceless consonant nothing changes.
      {"dois pratos", "[d/O^/y/s][p/r/A/t/u/s]"},
      {"os chinelos", "[u/s][x/i/n/E/l/u/s]"},
  });
}

TEST_F(ShippedRulesTest, FinalSMergesIntoTheSOrZThatBeginsTheNextWord) {
  ExpectAll({
      {"as sombras", "[a s/O~/b/r/a/s]"},
      {"os zebus", "[u z/e^/b/U/s]"},
      {"mais sal", "[m/A/y s/A/w]"},
      {"luz suave", "[l/u s/u/A/v/i]"},
  });
}

TEST_F(ShippedRulesTest, PhraseRulesStopAtPunctuationDigitsAndSpelledWords) {
  ExpectAll({
      {"os, amigos", "[u/s][ /_,][a/m/I/g/u/s]"},
      {"os 3 amigos", "[u/s][ /_3][a/m/I/g/u/s]"},
      {"os sp", "[u/s][ /_s][ /_p]"},
      {"sp amigos", "[ /_s][ /_p][a/m/I/g/u/s]"},
      {"amigos", "[a/m/I/g/u/s]"},
  });
  // Built-in speech hands the translator runs of words only, so the joins are the same
  // there; the words on their own are unchanged.
  std::vector<translator::TranslatedWord> words = translator::TranslateWords(translator_, "os amigos");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].transcription, "[u/s]");
  translator::ApplyPhraseRules(words);
  EXPECT_EQ(words[0].transcription, "[u/z]");
  EXPECT_TRUE(words[0].joinsNext);
  EXPECT_FALSE(words[1].joinsNext);
}

TEST_F(ShippedRulesTest, SentencesKeepPunctuationAsSounds) {
  EXPECT_EQ(Say("O capitão disse: pegue a chave!"), "[u][k/a/p/i/t/A~w][dj/I/s/i][ /_:][p/E/g/i][a][x/A/v/i][ /_!]");
}

// Every rule output must be made of the phones the synthesizer knows, and no context
// may hold a lower-case letter (it could never match) or a blank.
TEST_F(ShippedRulesTest, RuleFileUsesOnlyTheTranscriptionAlphabet) {
  const std::string phoneChars = "abcdefgijklmnoprstuvwxyzAEIOU^~h";
  for (const auto& bucket : translator_.buckets) {
    for (const auto& rule : bucket) {
      for (char c : rule.output) EXPECT_NE(phoneChars.find(c), std::string::npos) << rule.match << "=" << rule.output;
      for (const std::string* context : {&rule.left, &rule.right}) {
        for (char c : *context) {
          EXPECT_FALSE((c >= 'a' && c <= 'z') || c == ' ') << rule.left << "(" << rule.match << ")" << rule.right;
        }
      }
    }
  }
}

// A rule whose context or output is longer than its field is cut on loading and then
// means something else ("STRA\%" would lose its word end); none may be written so.
TEST_F(ShippedRulesTest, EveryRuleFitsItsFields) {
  std::ifstream file(QUELVAR_SOURCE_DATA_DIR "/regras.rgr", std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '|') continue;
    const std::string rule = line.substr(0, line.find('|'));
    const std::size_t open = rule.find('('), close = rule.find(')'), equals = rule.find('=', close);
    if (open == std::string::npos || close == std::string::npos || equals == std::string::npos) continue;
    EXPECT_LE(open, translator::MaxRuleContextLength) << line;
    EXPECT_LE(close - open - 1, translator::MaxRuleMatchLength) << line;
    EXPECT_LE(equals - close - 1, translator::MaxRuleContextLength) << line;
    EXPECT_LE(rule.size() - equals - 1, translator::MaxRuleOutputLength) << line;
  }
}

// Every letter and every vowel with each mark has a rule, so nothing falls back to a
// recorded letter inside a word.
TEST_F(ShippedRulesTest, EveryLetterAndAccentedVowelHasARule) {
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const std::string transcription = Say(std::string("a") + letter + "a");
    EXPECT_EQ(transcription.find('_'), std::string::npos) << letter << ": " << transcription;
  }
  for (char vowel : std::string("aeiou")) {
    for (char mark : std::string("'^~`\"")) {
      const std::string word = std::string("t") + vowel + mark + "t";
      translator::TranslatorWord w;
      w.letters = word;
      const std::string transcription = translator::TranslateWordByRules(translator_, w);
      EXPECT_EQ(transcription.find('_'), std::string::npos) << word << ": " << transcription;
    }
  }
}

}  // namespace
