#pragma once
// How the program joins its libraries at start: the console becomes speech's host (keys,
// pauses, the window) and the engines enter speech's dispatch. Speech itself names
// neither.

#include <cstdint>

namespace app {

// What speech posts to the console window to end a wait for messages.
inline constexpr uint32_t SpeechWakeMessage = 0xBA4;

// Installs the console as speech's host and registers the MBROLA front end and the SAPI 4
// and SAPI 5 engine adapters into the dispatch. Call before speech starts.
void ConnectSpeech();

}  // namespace app
