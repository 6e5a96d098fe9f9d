#include "bench/support/speech_road.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/speech_wiring.h"
#include "console/console.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/wave_out.h"
#include "speech/config.h"
#include "speech/front.h"
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
  const int kind = road == Road::Mbrola ? 3 : 0;
  speech::ChooseEngineForRun(kind);
  // The MBROLA road needs no built-in voice: without one, it speaks all the same.
  speech::SetStartFallbackEngine(kind);
  speech::StartSpeech(0, "");
  return road == Road::Mbrola ? speech::State().engineActive && speech::State().engineType == 3
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

}  // namespace bench
