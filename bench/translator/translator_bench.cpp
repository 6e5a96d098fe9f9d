// TranslateText throughput with the shipped rules and exceptions, in words per second.
#include "speech/translator.h"
#include "text/cp1252.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// A paragraph of story text (Windows-1252), 60 words with punctuation.
const std::string Paragraph = text::DataTextToCp1252(
    "O capitão olhou para o mar e disse que a ilha ficava a oeste, depois da tempestade. "
    "Você pegou a chave dourada na gaveta da biblioteca e abriu o baú do navio. "
    "Os piratas cantavam canções antigas enquanto a água batia no casco. "
    "Exatamente ao meio-dia, o próximo táxi chegou à cidade com a moeda espanhola de ouro.");

void TranslateParagraph(benchmark::State& state) {
  speech::Translator translator;
  if (!speech::LoadTranslatorRules(translator, QUELVAR_SOURCE_DATA_DIR "/regras.rgr") ||
      !speech::LoadTranslatorExceptions(translator, QUELVAR_SOURCE_DATA_DIR "/portug.exc")) {
    state.SkipWithError("shipped data not found");
    return;
  }
  std::size_t words = 0;
  for (char c : Paragraph) words += c == ' ';
  ++words;
  for (auto _ : state) benchmark::DoNotOptimize(speech::TranslateText(translator, Paragraph));
  state.counters["words/s"] =
      benchmark::Counter(static_cast<double>(words * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(TranslateParagraph);

}  // namespace
