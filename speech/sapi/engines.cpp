#include "speech/sapi/engines.h"

#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"

namespace speech {

EngineAdapter Sapi4Engine() {
  return {[](int voice, int rate, int pitch, const std::string& outputFile) {
            return Sapi4Open(voice, rate, pitch, outputFile);
          },
          Sapi4Close, Sapi4Speak, [](int mode) { return Sapi4Busy(mode == 1); }, Sapi4Stop};
}

EngineAdapter Sapi5Engine() {
  return {[](int voice, int rate, int, const std::string& outputFile) { return Sapi5Open(voice, rate, outputFile); },
          Sapi5Close, Sapi5Speak, [](int) { return Sapi5Busy(); }, [] { Sapi5Stop(); }};
}

EngineAdapter Sapi54Engine() {
  return {[](int voice, int rate, int, const std::string& outputFile) { return Sapi54Open(voice, rate, outputFile); },
          Sapi54Close, Sapi54Speak, [](int) { return Sapi54Busy(); }, [] { Sapi54Stop(); }};
}

void RegisterSapiEngines() {
  SetEngineAdapter(EngineKind::Sapi5, Sapi5Engine());
  SetEngineAdapter(EngineKind::Sapi5LateBound, Sapi54Engine());
  SetEngineAdapter(EngineKind::Sapi4, Sapi4Engine());
}

}  // namespace speech
