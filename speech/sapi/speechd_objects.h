#pragma once
// The speech automation objects over speech-dispatcher, spoken to in SSIP on its socket:
// the voice speaks asynchronously on the user's speech-dispatcher (started when none runs),
// its voices are the output module's voices with the Portuguese ones first, and its
// speak-complete handle is set by the end and cancel events. Both SAPI 5 kinds use them;
// they differ only in how the adapter sets the voice.

#include <cstdint>

#include "speech/sapi/sapi5_objects.h"

namespace speech::sapi {

Sapi5Objects SpeechdObjects();

// The voice's rate (-10..10) on speech-dispatcher's scale (-100..100).
int SpeechdRateFor(int32_t rate);

}  // namespace speech::sapi
