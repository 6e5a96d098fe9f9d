// The installed engines on Windows: none yet. There is no SDK to build a SAPI 4 client
// against; the SAPI 5 objects over the system's voices are still to come. An adapter that
// finds no engine fails its open, and the built-in voice speaks.

#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"

namespace speech {

sapi::Sapi4Objects InstalledSapi4Objects() { return {}; }
sapi::Sapi5Objects InstalledSapi5Objects(bool) { return {}; }

}  // namespace speech
