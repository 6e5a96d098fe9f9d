// The sound device in a web page: the page's AudioWorklet (web/worklet.js) plays 16-bit
// stereo frames at the audio context's rate and asks for more as it plays; the page hands
// each request to quelvar_web_render, which fills it from the mixer. The worklet holds at
// most one buffer of frames ahead, so a stop is heard within one audio quantum and that
// buffer.

#include <emscripten.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/audio_device.h"

extern "C" {
// The audio context's sample rate, 0 when the page has no sound (web/library.js).
int quelvar_web_audio_rate();
// Frames the worklet keeps ahead of what it plays.
int quelvar_web_audio_buffer_frames();
}

namespace platform {
namespace {

constexpr int Channels = 2;

struct SharedDevice {
  bool tried = false;
  int bufferFrames = 0;
  std::unique_ptr<AudioMixer> mixer;
  std::string failure;           // why it did not open
  std::vector<int16_t> samples;  // the last stretch rendered for the page
};
SharedDevice gDevice;

}  // namespace

AudioMixer* SharedAudioMixer() {
  if (gDevice.tried) return gDevice.mixer.get();
  gDevice.tried = true;
  const int rate = quelvar_web_audio_rate();
  if (rate <= 0) {
    gDevice.failure = "the page has no sound";
    return nullptr;
  }
  gDevice.failure.clear();
  gDevice.bufferFrames = quelvar_web_audio_buffer_frames();
  gDevice.mixer = std::make_unique<AudioMixer>(rate, Channels);
  StartDeviceCounts(gDevice.bufferFrames, rate);
  return gDevice.mixer.get();
}

const std::string& SharedAudioFailure() { return gDevice.failure; }

void CloseSharedAudio() { gDevice = SharedDevice{}; }

int SharedAudioBufferFrames() { return gDevice.bufferFrames; }

// A replayed game's sound: what the mixer holds is mixed and thrown away, up to two
// seconds of it a call (a looping tone would never end).
bool DrainWebSound() {
  if (!gDevice.mixer || !gDevice.mixer->HasVoices()) return false;
  const int frames = std::max(gDevice.bufferFrames, 128);
  std::vector<int16_t> scratch(static_cast<std::size_t>(frames * Channels));
  for (int done = 0; done < 2 * gDevice.mixer->SampleRate() && gDevice.mixer->HasVoices(); done += frames) {
    RenderDeviceBuffer(*gDevice.mixer, scratch);
  }
  return true;
}

}  // namespace platform

// The next 'frames' frames of the mix, interleaved stereo; silence without a device.
extern "C" EMSCRIPTEN_KEEPALIVE const int16_t* quelvar_web_render(int frames) {
  using platform::gDevice;
  gDevice.samples.assign(static_cast<std::size_t>(std::max(frames, 0) * platform::Channels), 0);
  if (gDevice.mixer) platform::RenderDeviceBuffer(*gDevice.mixer, gDevice.samples);
  return gDevice.samples.data();
}
