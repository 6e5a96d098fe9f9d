#pragma once
// How the program joins its libraries at start: the console becomes speech's host (keys,
// pauses, the window) and the engines enter speech's dispatch. Speech itself names
// neither.

namespace app {

// Installs the console as speech's host and registers the MBROLA front end (kind 3) and
// the engine adapters (SAPI 5 kinds 5 and 54, SAPI 4 the rest). Call before speech starts.
void ConnectSpeech();

}  // namespace app
