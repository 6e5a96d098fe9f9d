#include "bench/support/speech_road.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/speech_wiring.h"
#include "bench/support/reference.h"
#include "console/console.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/backend.h"
#include "platform/services/files.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "text/cp1252.h"

namespace bench {
namespace {

std::string gSettings;

}  // namespace

bool StartSpeechRoad(Road road, const std::string& dataRoot) {
  char pattern[] = "/tmp/quelvar-bench-speech-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return false;
  gSettings = pattern;
  std::filesystem::copy_file(std::string(QUELVAR_SOURCE_DATA_DIR) + "/TAMIRE.INI", gSettings + "/TAMIRE.INI");
  platform::SetWindowsDirectory(gSettings);
  platform::SetDataRoot(dataRoot);
  platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
  console::InitConsole("bench");
  app::ConnectSpeech();
  if (road == Road::Mbrola) {
    speech::ChooseEngineForRun(speech::EngineKind::Mbrola);
    // The MBROLA road needs no built-in voice: without one, it speaks all the same.
    speech::SetStartFallbackEngine(speech::EngineKind::Mbrola);
  } else {
    speech::ChooseBuiltInSpeechForRun();
  }
  speech::StartSpeech(0, "");
  return road == Road::Mbrola ? speech::State().engineActive && speech::State().engineType == speech::EngineKind::Mbrola
                              : !speech::State().engineActive;
}

double SpeakLines(const std::vector<std::string>& utf8Lines) {
  double seconds = 0;
  const auto gather = [&seconds] {
    for (const platform::NullWaveBlock& block : platform::NullWaveOutLog().blocks) {
      const double bytesPerSecond =
          static_cast<double>(block.format.sampleRate) * block.format.bitsPerSample / 8 * block.format.channels;
      if (bytesPerSecond > 0) seconds += static_cast<double>(block.bytes.size()) / bytesPerSecond;
    }
    platform::ClearNullWaveOutLog();
  };
  for (const std::string& line : utf8Lines) {
    speech::SpeakText(text::DataTextToCp1252(line));
    speech::WaitUntilSilent();
    gather();
  }
  return seconds;
}

void EndSpeechRoad() {
  speech::EndSpeech();
  std::error_code error;
  std::filesystem::remove_all(gSettings, error);
}

int SpeakFileAsChild(Road road, const std::string& file) {
  if (!StartSpeechRoad(road, QUELVAR_BUILD_DATA_DIR)) return 1;
  std::printf("%.3f\n", SpeakLines(ReadLines(file)));
  EndSpeechRoad();
  return 0;
}

bool CompareWithEspeak(Road road, const std::string& file, int runs, const std::string& childSide) {
  const std::vector<std::string> lines = ReadLines(file);
  double start = ProcessCpuSeconds();
  const double espeakAudio = EspeakAudioSeconds(lines);
  const double espeakRate = espeakAudio / (ProcessCpuSeconds() - start);
  if (!StartSpeechRoad(road, QUELVAR_BUILD_DATA_DIR)) return false;
  start = ProcessCpuSeconds();
  const double audio = SpeakLines(lines);
  const double ours = audio / (ProcessCpuSeconds() - start);
  EndSpeechRoad();
  std::printf("  %zu lines of %s: ours %.1f s of audio, espeak-ng %.1f s\n", lines.size(), file.c_str(), audio,
              espeakAudio);
  PrintBeside("  in this process:", "audio s", ours, espeakRate);

  const double ourCpu = ChildMedianCpuSeconds(childSide, file, runs);
  const EspeakRun espeak = EspeakProgramSpeaks(file, runs);
  std::printf("  whole processes, median of %d runs: ours %.3f s, espeak-ng %.3f s of CPU\n", runs, ourCpu,
              espeak.cpuSeconds);
  PrintBeside("  whole processes:", "audio s", audio / ourCpu, espeak.audioSeconds / espeak.cpuSeconds);
  return true;
}

}  // namespace bench
