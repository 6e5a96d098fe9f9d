#pragma once
// Names under which the console and the engine adapters still reach the wave header
// writer of text/wave.h; new code includes text/wave.h itself.

#include "text/wave.h"

namespace platform {

using text::WaveHeaderSize;
using text::WriteWaveHeader;

}  // namespace platform
