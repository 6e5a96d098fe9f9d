#pragma once
// The SAPI engines entered into speech: SAPI 4 over espeak-ng, SAPI 5 and its late-bound
// twin over speech-dispatcher.

namespace speech {

// Enters the three into speech (speech/engine.h).
void RegisterSapiEngines();

}  // namespace speech
