// Speed of the built-in voice's translator: words of a large word list (each said alone,
// as built-in speech is given a word) per CPU second, beside espeak-ng transcribing the
// same words with espeak_TextToPhonemes (phonemes only, no sound), in this process and as
// whole processes (start-up, loading the rules and reading the list included).
//
//   translator_bench [--words=FILE] [--runs=N]
//   translator_bench --child=translator|espeak FILE   one side alone, as a whole process

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/reference.h"
#include "text/cp1252.h"
#include "translator/translator.h"

namespace {

bool LoadTranslator(translator::Translator& translator) {
  return translator::LoadTranslatorRules(translator, QUELVAR_SOURCE_DATA_DIR "/regras.rgr") &&
         translator::LoadTranslatorExceptions(translator, QUELVAR_SOURCE_DATA_DIR "/portug.exc");
}

// The words converted as built-in speech receives them (Windows-1252), then translated;
// the characters of the transcriptions.
std::size_t TranslateAll(const translator::Translator& translator, const std::vector<std::string>& utf8Words) {
  std::size_t characters = 0;
  for (const std::string& word : utf8Words) {
    characters += translator::TranslateText(translator, text::DataTextToCp1252(word)).size();
  }
  return characters;
}

volatile std::size_t gSink;  // keeps the work from being left out

}  // namespace

int main(int argc, char** argv) {
  bench::Options options{.words = QUELVAR_WORD_LIST};
  if (!bench::ParseOptions(argc, argv, options, "usage: translator_bench [--words=FILE] [--runs=N]")) return 2;
  if (options.child == "phonemes") return bench::EspeakPhonemesAsChild(options.childFile);
  translator::Translator translator;
  if (!LoadTranslator(translator)) {
    std::fprintf(stderr, "translator_bench: cannot read the shipped rules\n");
    return 1;
  }
  if (options.child == "translator") {
    std::printf("%zu\n", TranslateAll(translator, bench::ReadLines(options.childFile)));
    return 0;
  }
  if (!options.child.empty()) return 2;
  if (bench::ReadLines(options.words).empty() || !bench::StartEspeak()) {
    std::fprintf(stderr, "translator_bench: needs the word list %s and espeak-ng with a pt-br voice\n",
                 options.words.c_str());
    return 1;
  }
  std::printf("translator:\n");
  bench::CompareWordsWithEspeak([&](const auto& words) { gSink = TranslateAll(translator, words); }, options.words,
                                options.runs, "translator");
  return 0;
}
