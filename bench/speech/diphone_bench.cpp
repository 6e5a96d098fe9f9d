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
#include "console/console.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/wave_out.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "text/diphone_index.h"

namespace {

std::string gFolder;

void WriteDatabase() {
  char pattern[] = "/tmp/quelvar-diphone-bench-XXXXXX";
  gFolder = ::mkdtemp(pattern);
  std::filesystem::create_directories(gFolder + "/letras");
  const std::string phones = "AEIOUBCDFGJKLMNPQRSTVXZWY";
  std::vector<std::string> names;
  for (const char a : phones) {
    names.push_back(std::string("$") + a);
    for (const char b : phones) names.push_back(std::string("$") + a + b);
  }
  for (const char* extra : {"$ACIRC", "$ECIRC", "$OCIRC", "$NN", "$RR"}) names.emplace_back(extra);
  std::sort(names.begin(), names.end());
  std::vector<text::DiphoneRecord> records;
  std::string sound;
  for (std::size_t u = 0; u < names.size(); ++u) {
    const std::string& name = names[u];
    const uint16_t length = name.size() == 2 ? 900 : 1400;
    const auto offset = static_cast<uint32_t>(sound.size());
    records.push_back({name, length, offset});
    for (uint16_t i = 0; i < length; ++i) sound += static_cast<char>(128 + ((i * 7 + u) % 64) - 32);
  }
  const std::vector<uint8_t> index = text::DiphoneIndexImage(records);
  std::ofstream(gFolder + "/BENCH.IND", std::ios::binary)
      .write(reinterpret_cast<const char*>(index.data()), static_cast<std::streamsize>(index.size()));
  std::ofstream(gFolder + "/BENCH.DIF", std::ios::binary) << sound;
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
