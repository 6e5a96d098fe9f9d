#pragma once
// The speech automation objects over speech-dispatcher (libspeechd): the voice speaks
// asynchronously on the user's speech-dispatcher, its voices are the output module's
// voices with the Portuguese ones first, and its speak-complete handle is set by the end
// and cancel notifications. Two bindings: libspeechd linked in, or loaded at run time
// ("libspeechd.so.2") with its entry points looked up by name.

#include <cstdint>

#include "speech/sapi/sapi5_objects.h"

namespace speech::sapi {

Sapi5Objects SpeechdLinkedObjects();
Sapi5Objects SpeechdLoadedObjects();

// The voice's rate (-10..10) on speech-dispatcher's scale (-100..100).
int SpeechdRateFor(int32_t rate);

}  // namespace speech::sapi
