#pragma once
// The speech engines by name: what the dispatch (speech/engine.h) forwards to, what the
// settings and the command line choose.

#include <cstddef>

namespace speech {

// TAMIRE.INI names them by number (TIPOSAPI of section SERVFALA): 3 the MBROLA front end,
// 5 SAPI 5, 54 its late-bound twin, and any other number SAPI 4 (4 by convention). On
// Linux SAPI 4 is espeak-ng and SAPI 5 speech-dispatcher; in a web page SAPI 5 speaks with
// the browser's voices.
enum class EngineKind { Mbrola, Sapi5, Sapi5LateBound, Sapi4 };
inline constexpr std::size_t EngineKindCount = 4;

}  // namespace speech
