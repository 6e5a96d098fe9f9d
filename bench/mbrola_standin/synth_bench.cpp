// Speed of the MBROLA-compatible synthesizer: seconds of audio per second of CPU, and parsing speed.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "mbrola_standin/mbrola.h"
#include "mbrola_standin/pho_parser.h"

namespace {

// About four seconds of speech with every class of sound, as the front end writes it.
std::string Sentence() {
  const char* const BenchLines[] = {
      "_ 100",         "o 80 50 200",  "l 60",   "a 150 50 220", "m 70",         "un 120", "d 60",
      "u 100 50 180",  "_ 50",         "p 90",   "a 120 50 210", "t 90",         "ee 120", "k 90",
      "oo 120 80 230", "s 110",        "an 130", "x 110",        "i 120 50 200", "f 100",  "e 110",
      "rr 100",        "a 130 50 190", "r 40",   "@ 150",        "v 80",         "z 90",   "lh 70",
      "in 120 50 180", "g 70",         "en 110", "nh 70",        "on 120",       "b 70",   "y 60",
      "w 60",          "j 90",         "s2 90",  "r2 60",        "h 80",         "m2 80",  "_ 100 50 170"};
  std::string text;
  for (int repeat = 0; repeat < 2; ++repeat) {
    for (const char* line : BenchLines) text += std::string(line) + "\r\n";
  }
  return text + "#\r\n";
}

void SpeakSentence(benchmark::State& state) {
  if (init_MBR(QUELVAR_MBROLA_VOICE_PATH) < 0) {
    state.SkipWithError("cannot open the voice");
    return;
  }
  const std::string text = Sentence();
  std::vector<short> buffer(16000);
  double audioSeconds = 0;
  for (auto _ : state) {
    reset_MBR();
    write_MBR(text.c_str());
    int n = 0;
    while ((n = read_MBR(buffer.data(), 16000)) > 0) {
      audioSeconds += n / 16000.0;
      benchmark::DoNotOptimize(buffer.data());
    }
  }
  // A rate counter is divided by the CPU time: seconds of audio per second of CPU.
  state.counters["audio_s_per_cpu_s"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
  close_MBR();
}
BENCHMARK(SpeakSentence)->Unit(benchmark::kMillisecond);

void ParseLines(benchmark::State& state) {
  const std::string text = Sentence();
  mbrola_standin::PhoInput input([](std::string_view name) { return name.empty() ? -1 : 0; }, 1 << 20);
  for (auto _ : state) {
    input.Reset();
    input.Write(text);
    benchmark::DoNotOptimize(input.TakeReady());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ParseLines);

}  // namespace

BENCHMARK_MAIN();
