// Speed of the front end from text to MBROLA lines, in words per second.
#include <benchmark/benchmark.h>

#include <string>

#include "mbrola_front/front_end.h"
#include "text/cp1252.h"

namespace {

const char* const SampleText =
    "O capitão olhou para o mar e disse: precisamos encontrar a ilha antes do dia 25. "
    "A latitude está no livro da biblioteca, na página 132; a longitude, ninguém sabe! "
    "Você tem a moeda de ouro? O Sr. Silva guardou 1.500 moedas no 3º baú do porão, "
    "perto das cordas e das velas velhas... Depois da tempestade, os homens descansaram.";

size_t CountWords(const std::string& text) {
  size_t words = 0;
  bool inWord = false;
  for (const char c : text) {
    const bool blank = c == ' ';
    if (!blank && !inWord) ++words;
    inWord = !blank;
  }
  return words;
}

void TextToPho(benchmark::State& state) {
  mbrola_front::FrontEndData data;
  if (mbrola_front::LoadFrontEndData(mbrola_front::FrontEndFilesIn(QUELVAR_FRONT_DATA_DIR), data) !=
      mbrola_front::FrontEndLoadError::None) {
    state.SkipWithError("front-end data not found");
    return;
  }
  const std::string text = text::Utf8ToCp1252(SampleText);
  const size_t words = CountWords(text);
  mbrola_front::PhoLineState phoState;
  for (auto _ : state) {
    auto lines = mbrola_front::TextToPhoLines(data, phoState, text);
    benchmark::DoNotOptimize(lines);
  }
  state.counters["words/s"] =
      benchmark::Counter(static_cast<double>(words * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(TextToPho);

}  // namespace

BENCHMARK_MAIN();
