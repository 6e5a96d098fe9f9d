#pragma once
// The direct text-to-speech objects over espeak-ng: an enumerator of espeak-ng's voices
// (Portuguese (Brazil) first), an engine that speaks queued texts on a worker thread in
// espeak-ng's synchronous mode, and the two audio destinations (our wave-out device, a
// WAV file). The engine's news reaches the sinks as messages on the program's thread.

#include <cstdint>
#include <mutex>
#include <vector>

#include "speech/sapi/sapi4_objects.h"

namespace speech::sapi {

Sapi4Objects EspeakSapi4Objects();

// The voices as the enumerator lists them; empty when espeak-ng cannot start (no data).
std::vector<TtsModeInfo> EspeakModes();

// SpeedSet takes words per minute, as espeak-ng's rate does: clamped to 80..450.
int EspeakRateForSpeed(uint32_t wordsPerMinute);
// PitchSet takes the base pitch in hertz; espeak-ng's pitch is 0..100: 70 Hz is 0 and
// 200 Hz is 100, linear between, clamped outside.
int EspeakPitchForHz(uint16_t pitchHz);

// Holds espeak-ng for the caller: no engine synthesizes while the lock is kept. Tests use
// it to look at the state between a text being handed over and its speaking.
std::unique_lock<std::mutex> HoldEspeak();

}  // namespace speech::sapi
