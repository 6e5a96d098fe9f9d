// Speed of the built-in voice's translator: words of a large word list (each said alone,
// as built-in speech is given a word) per CPU second, beside espeak-ng transcribing the
// same words with espeak_TextToPhonemes (phonemes only, no sound), in this process and as
// whole processes (start-up, loading the rules and reading the list included).
//
//   translator_bench [--words=FILE] [--runs=N]
//   translator_bench --child=translator|espeak FILE   one side alone, as a whole process

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/reference.h"
#include "speech/translator.h"
#include "text/cp1252.h"

namespace {

bool LoadTranslator(speech::Translator& translator) {
  return speech::LoadTranslatorRules(translator, QUELVAR_SOURCE_DATA_DIR "/regras.rgr") &&
         speech::LoadTranslatorExceptions(translator, QUELVAR_SOURCE_DATA_DIR "/portug.exc");
}

// The words converted as built-in speech receives them (Windows-1252), then translated.
std::size_t TranslateAll(const speech::Translator& translator, const std::vector<std::string>& utf8Words) {
  std::size_t characters = 0;
  for (const std::string& word : utf8Words)
    characters += speech::TranslateText(translator, text::DataTextToCp1252(word)).size();
  return characters;
}

int Child(std::string_view side, const std::string& file) {
  const std::vector<std::string> words = bench::ReadLines(file);
  if (side == "translator") {
    speech::Translator translator;
    if (!LoadTranslator(translator)) return 1;
    std::printf("%zu\n", TranslateAll(translator, words));
    return 0;
  }
  if (side == "espeak") return bench::StartEspeak() && bench::EspeakPhonemes(words) == words.size() ? 0 : 1;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string wordFile = QUELVAR_WORD_LIST;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--child=", 0) == 0 && i + 1 < argc) return Child(arg.substr(8), argv[i + 1]);
    if (arg.rfind("--words=", 0) == 0) {
      wordFile = arg.substr(8);
    } else if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(arg.c_str() + 7));
    } else {
      std::fprintf(stderr, "usage: translator_bench [--words=FILE] [--runs=N]\n");
      return 2;
    }
  }
  const std::vector<std::string> words = bench::ReadLines(wordFile);
  speech::Translator translator;
  if (words.empty() || !LoadTranslator(translator)) {
    std::fprintf(stderr, "translator_bench: cannot read %s or the shipped rules\n", wordFile.c_str());
    return 1;
  }
  if (!bench::StartEspeak()) {
    std::fprintf(stderr, "translator_bench: espeak-ng with a pt-br voice is needed\n");
    return 1;
  }
  const double count = static_cast<double>(words.size());
  std::printf("%zu words of %s\n", words.size(), wordFile.c_str());

  double start = bench::ProcessCpuSeconds();
  TranslateAll(translator, words);
  const double ours = count / (bench::ProcessCpuSeconds() - start);
  start = bench::ProcessCpuSeconds();
  bench::EspeakPhonemes(words);
  const double theirs = count / (bench::ProcessCpuSeconds() - start);
  bench::PrintBeside("in this process:", "words", ours, theirs);

  std::vector<double> ourRuns, theirRuns;
  for (int run = 0; run < runs; ++run) {
    ourRuns.push_back(bench::ChildCpuSeconds({bench::SelfPath(), "--child=translator", wordFile}));
    theirRuns.push_back(bench::ChildCpuSeconds({bench::SelfPath(), "--child=espeak", wordFile}));
  }
  std::printf("whole processes, median of %d runs: ours %.3f s, espeak-ng %.3f s of CPU\n", runs,
              bench::Median(ourRuns), bench::Median(theirRuns));
  bench::PrintBeside("whole processes:", "words", count / bench::Median(ourRuns), count / bench::Median(theirRuns));
  return 0;
}
