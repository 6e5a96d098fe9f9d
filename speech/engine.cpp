#include "speech/engine.h"

#include <array>
#include <utility>

#include "platform/win.h"
#include "speech/host.h"
#include "speech/state.h"

namespace speech {

namespace {

// The engines by kind, as the program registered them; an entry without 'open' is an
// engine not there.
std::array<EngineAdapter, EngineKindCount> gEngines;

const EngineAdapter& Current() { return gEngines[static_cast<std::size_t>(State().engineKind)]; }

// The MBROLA front end speaks through wave playback: wake any wait for window messages so
// that it polls again.
void WakeAfterMbrola() {
  if (State().engineKind == EngineKind::Mbrola) platform::PostMessage(platform::ConsoleWindowHandle, EngineWakeMessage);
}

}  // namespace

EngineKind EngineKindFromSetting(int number) {
  switch (number) {
    case 3: return EngineKind::Mbrola;
    case 5: return EngineKind::Sapi5;
    case 54: return EngineKind::Sapi5LateBound;
    default: return EngineKind::Sapi4;
  }
}

int EngineKindSetting(EngineKind kind) {
  switch (kind) {
    case EngineKind::Mbrola: return 3;
    case EngineKind::Sapi5: return 5;
    case EngineKind::Sapi5LateBound: return 54;
    case EngineKind::Sapi4: break;
  }
  return 4;
}

void SetEngineAdapter(EngineKind kind, const EngineAdapter& adapter) {
  gEngines[static_cast<std::size_t>(kind)] = adapter;
}

double MbrolaPitchFactor(int pitch) { return (pitch + 11) / 11.0; }
double MbrolaDurationFactor(int rate) { return 0.8 - rate / 15.0; }

namespace {
std::string gOpenFailure;  // why the last open failed, where the adapter said
}  // namespace

void NoteEngineOpenFailure(std::string why) { gOpenFailure = std::move(why); }
std::string TakeEngineOpenFailure() { return std::exchange(gOpenFailure, {}); }

bool EngineOpen(int voice, int rate, int pitch, EngineKind kind, const std::string& outputFile) {
  gOpenFailure.clear();
  State().engineKind = kind;
  const EngineAdapter& engine = Current();
  if (!engine.open) return false;
  const bool opened = engine.open(voice, rate, pitch, outputFile);
  if (opened) {
    while (EngineBusy(1)) CurrentHost().Pause(50);
  }
  return opened;
}

void EngineClose() {
  if (const EngineAdapter& engine = Current(); engine.close) engine.close();
}

void EngineSpeak(std::string_view text) {
  if (const EngineAdapter& engine = Current(); engine.speak) engine.speak(text);
  WakeAfterMbrola();
}

bool EngineBusy(int mode) {
  CurrentHost().PumpMessages();
  const EngineAdapter& engine = Current();
  const bool busy = engine.busy && engine.busy(mode);
  WakeAfterMbrola();
  return busy;
}

void EngineStop() {
  if (const EngineAdapter& engine = Current(); engine.stop) engine.stop();
  WakeAfterMbrola();
}

}  // namespace speech
