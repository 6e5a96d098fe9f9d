#pragma once
// The adapters' entries for the engine dispatch: SAPI 4 over espeak-ng, SAPI 5 and its
// late-bound twin over speech-dispatcher.

#include "speech/engine.h"

namespace speech {

EngineAdapter Sapi4Engine();
EngineAdapter Sapi5Engine();
EngineAdapter Sapi54Engine();

// Enters the three into the engine dispatch.
void RegisterSapiEngines();

}  // namespace speech
