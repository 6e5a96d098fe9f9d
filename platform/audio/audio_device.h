#pragma once
// The process's one sound device, opened once and fed by the mixer (SDL audio, in
// sdl_audio.cpp), and the counts and observer of its callbacks (audio_device.cpp).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/audio/mixer.h"

namespace platform {

// The process's audio device and its mixer, opened on the first call (SDL's audio
// subsystem only, so it also serves the terminal). Nothing when no device opens: sound is
// then silently absent, and later calls do not try again until CloseSharedAudio.
AudioMixer* SharedAudioMixer();
// Why the last try to open it failed, as SDL says it (empty after a success).
const std::string& SharedAudioFailure();
// Closes the device; to be called before SDL is shut down.
void CloseSharedAudio();

// The frames of one device buffer (what the device holds besides what it plays), 0 while
// no device is open.
int SharedAudioBufferFrames();

// What one device callback gave, for measuring what a listener hears: when the callback
// began (steady clock, nanoseconds), the frames it filled, the first and last frame that is
// not silence (-1 when all is silence), and whether wave-out blocks were being played.
// The samples are the device's: they are only valid during the call.
struct AudioCallbackReport {
  int64_t startNs = 0;
  int frames = 0, channels = 0;
  const int16_t* samples = nullptr;  // what the callback filled, frames interleaved
  int firstSound = -1, lastSound = -1;
  bool streamed = false;
};
// Called on the audio thread after every callback of the shared device; it must be quick
// and must not block. Nothing (the default) turns it off.
using AudioCallbackObserver = void (*)(const AudioCallbackReport& report);
void SetAudioCallbackObserver(AudioCallbackObserver observer);
// Wave-out stream voices tell here how many frames of their blocks they mixed, and when
// their blocks ran out before the next one came (the listener hears a gap).
void NoteStreamedFrames(std::size_t frames);
void NoteStreamUnderrun();

// For the device files: the counts start when a device starts; each device buffer is
// filled by RenderDeviceBuffer, which counts, mixes and tells the observer.
void StartDeviceCounts(int bufferFrames, int sampleRate);
bool FirstDeviceCallback();
void RenderDeviceBuffer(AudioMixer& mixer, std::span<int16_t> out);

// Counts since the shared device was opened: callbacks, callbacks that came more than two
// buffers after the one before (a device that holds one buffer ahead ran dry), and gaps
// in wave-out streams.
struct AudioDeviceCounts {
  uint64_t callbacks = 0, late = 0, underruns = 0;
};
AudioDeviceCounts SharedAudioCounts();

}  // namespace platform
