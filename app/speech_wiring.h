#pragma once
// How the program joins its libraries at start: the console becomes speech's host (keys,
// pauses, the window) and the engines enter speech's dispatch. Speech itself names
// neither.

#include <cstdint>

namespace app {

// What speech posts to the console window to end a wait for messages.
inline constexpr uint32_t SpeechWakeMessage = 0xBA4;

// Gives speech a console host to keep and enters the engine objects (the MBROLA front end,
// SAPI 4 and the two SAPI 5 kinds). Call before speech starts.
void ConnectSpeech();

}  // namespace app
