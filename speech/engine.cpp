#include "speech/engine.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/core/win.h"
#include "speech/host.h"
#include "speech/state.h"

namespace speech {

namespace {

// Values of SERVFALA beyond these were cut to them as they were read.
constexpr int MostEngineValue = 65535;

// How messages name the SAPI engines: on Linux SAPI 4 is espeak-ng and SAPI 5
// speech-dispatcher (in a web page SAPI 5 speaks with the browser's voices).
#ifdef _WIN32
constexpr std::string_view Sapi4Name = "the SAPI 4 voice";
constexpr std::string_view Sapi5Name = "the SAPI 5 voice";
#else
constexpr std::string_view Sapi4Name = "espeak-ng";
constexpr std::string_view Sapi5Name = "speech-dispatcher";
#endif

// The engines, in the order the command line lists them.
constexpr std::array<EngineDescription, EngineKindCount> Descriptions{{
    // Words per minute and a pitch in Hz: never below 0 (the engine's own), and the pitch
    // fits its 16 bits.
    {.kind = EngineKind::Sapi4,
     .setting = 4,
     .option = "espeak",
     .name = Sapi4Name,
     .lowestRate = 0,
     .highestRate = MostEngineValue,
     .lowestPitch = 0,
     .highestPitch = MostEngineValue,
     .rateInWordsPerMinute = true,
     .soundThroughWavePlayback = false},
    {.kind = EngineKind::Sapi5,
     .setting = 5,
     .option = "speech-dispatcher",
     .name = Sapi5Name,
     .lowestRate = -10,
     .highestRate = MostEngineValue,
     .lowestPitch = -MostEngineValue,
     .highestPitch = MostEngineValue,
     .rateInWordsPerMinute = false,
     .soundThroughWavePlayback = false},
    {.kind = EngineKind::Sapi5LateBound,
     .setting = 54,
     .option = "",
     .name = Sapi5Name,
     .lowestRate = -10,
     .highestRate = MostEngineValue,
     .lowestPitch = -MostEngineValue,
     .highestPitch = MostEngineValue,
     .rateInWordsPerMinute = false,
     .soundThroughWavePlayback = false},
    // The front end's duration factor 0.8 - rate / 15 and pitch factor (pitch + 11) / 11
    // stay positive and within reason: at most about 1.5 times as slow, 4 times as high.
    {.kind = EngineKind::Mbrola,
     .setting = 3,
     .option = "mbrola",
     .name = "the MBROLA voice",
     .lowestRate = -10,
     .highestRate = MostEngineValue,
     .lowestPitch = -10,
     .highestPitch = 33,
     .rateInWordsPerMinute = false,
     .soundThroughWavePlayback = true},
}};

Engines& Entered() { return TheSpeech().engines; }

Engine* Current() { return EngineOf(State().engineKind); }

// An engine whose sound is wave playback's: wake the host's wait so that it polls again.
void WakeAfterWavePlayback() {
  if (DescriptionOf(State().engineKind).soundThroughWavePlayback) CurrentHost().Wake();
}

}  // namespace

const EngineDescription& DescriptionOf(EngineKind kind) {
  return *std::find_if(Descriptions.begin(), Descriptions.end(),
                       [kind](const EngineDescription& d) { return d.kind == kind; });
}

std::span<const EngineDescription> EngineDescriptions() { return Descriptions; }

EngineKind EngineKindFromSetting(int number) {
  for (const EngineDescription& d : Descriptions) {
    if (d.setting == number) return d.kind;
  }
  return EngineKind::Sapi4;
}

int EngineKindSetting(EngineKind kind) { return DescriptionOf(kind).setting; }

std::optional<EngineKind> EngineKindFromOption(std::string_view name) {
  for (const EngineDescription& d : Descriptions) {
    if (!d.option.empty() && d.option == name) return d.kind;
  }
  return std::nullopt;
}

void SetEngine(EngineKind kind, std::unique_ptr<Engine> engine) {
  auto& slot = Entered().byKind[static_cast<std::size_t>(kind)];
  // One replaced stays: it may be open still, and is closed when the program ends.
  if (slot) Entered().replaced.push_back(std::move(slot));
  slot = std::move(engine);
}

Engine* EngineOf(EngineKind kind) { return Entered().byKind[static_cast<std::size_t>(kind)].get(); }

void CloseAtExit(Engine& engine) {
  std::vector<Engine*>& closing = Entered().closedAtExit;
  if (std::find(closing.begin(), closing.end(), &engine) != closing.end()) return;
  closing.push_back(&engine);
  platform::AddExitStep([&engine] { engine.Close(); });
}

double MbrolaPitchFactor(int pitch) { return (pitch + 11) / 11.0; }
double MbrolaDurationFactor(int rate) { return 0.8 - rate / 15.0; }

void NoteEngineOpenFailure(std::string why) { Entered().openFailure = std::move(why); }
std::string TakeEngineOpenFailure() { return std::exchange(Entered().openFailure, {}); }

bool EngineOpen(int voice, int rate, int pitch, EngineKind kind, const std::string& outputFile) {
  Entered().openFailure.clear();
  State().engineKind = kind;
  Engine* engine = Current();
  if (!engine) return false;
  const bool opened = engine->Open(voice, rate, pitch, outputFile);
  if (opened) {
    while (EngineBusy(1)) CurrentHost().Pause(50);
  }
  return opened;
}

void EngineClose() {
  if (Engine* engine = Current()) engine->Close();
}

void EngineSpeak(std::string_view text) {
  if (Engine* engine = Current()) engine->Speak(text);
  WakeAfterWavePlayback();
}

bool EngineBusy(int mode) {
  CurrentHost().PumpMessages();
  Engine* engine = Current();
  const bool busy = engine && engine->Busy(mode);
  WakeAfterWavePlayback();
  return busy;
}

void EngineStop() {
  if (Engine* engine = Current()) engine->Stop();
  WakeAfterWavePlayback();
}

}  // namespace speech
