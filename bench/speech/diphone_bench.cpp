// Diphone synthesis speed: seconds of audio made per second of CPU, on a database written
// here (every one- and two-letter unit of the transcription alphabet), played to the null
// wave device of the headless backend.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/speech_wiring.h"
#include "bench/buzz_voice.h"
#include "console/console.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/wave_out.h"
#include "speech/cues.h"
#include "speech/diphone.h"

namespace {

std::string gFolder;

void WriteDatabase() {
  char pattern[] = "/tmp/quelvar-diphone-bench-XXXXXX";
  gFolder = ::mkdtemp(pattern);
  std::filesystem::create_directories(gFolder + "/letras");
  bench::WriteBuzzDatabase(
      gFolder, "BENCH", "AEIOUBCDFGJKLMNPQRSTVXZWY", {"$ACIRC", "$ECIRC", "$OCIRC", "$NN", "$RR"},
      [](std::size_t unit, uint16_t i) { return static_cast<uint8_t>(128 + ((i * 7 + unit) % 64) - 32); });
  std::ofstream(gFolder + "/TAMIRE.INI", std::ios::binary)
      << "[TRADUTOR]\nDIRLETRAS=" << gFolder << "/letras\nDIRDIFONES=" << gFolder << "\n";
}

void SetUpSynthesizer() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  WriteDatabase();
  platform::SetWindowsDirectory(gFolder);
  platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
  console::InitConsole("bench");
  app::ConnectSpeech();
  speech::SetDiphoneSettings({"BENCH", 400, 300, 100});
  if (!speech::OpenDiphoneDatabase()) std::abort();
  speech::AllocateDiphoneBuffer();
}

// What TranslateText writes for a sentence of about three seconds.
const char* const Sentence =
    "[ka/zA][dU][ma/rI/nEy/ru][e][gra~/dI][Ew][ba/rU/ku][na^w][sa/bI/a][o/n_dI][fi/kA/va][a][i/lya]"
    " _, [pi/ra/ta][sA/y][du][na/vI/u][kO/ri/Eu][a][pra/ya] _.";

void BM_SpeakPhonetic(benchmark::State& state) {
  SetUpSynthesizer();
  std::size_t samples = 0;
  for (auto _ : state) {
    platform::ClearNullWaveOutLog();
    speech::SpeakPhonetic(Sentence);
    for (const auto& block : platform::NullWaveOutLog().blocks) samples += block.bytes.size();
  }
  state.counters["audio_s_per_cpu_s"] =
      benchmark::Counter(static_cast<double>(samples) / speech::DiphoneSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SpeakPhonetic)->Unit(benchmark::kMillisecond);

}  // namespace
