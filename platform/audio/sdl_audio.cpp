#include "platform/audio/audio_device.h"

#include <SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <memory>

namespace platform {

// ---- the device ----

namespace {

// Frames the device is asked to hold: 256 at 48 kHz, 5.3 ms. A stop is heard at the
// latest one callback and one buffer later, so this keeps key to silence under 11 ms.
constexpr Uint16 DeviceBufferFrames = 256;

struct SharedDevice {
  bool tried = false;
  SDL_AudioDeviceID id = 0;
  int bufferFrames = 0;
  std::unique_ptr<AudioMixer> mixer;
  std::string failure;  // why it did not open
};
SharedDevice gDevice;

// Records why the device did not open and gives nothing.
AudioMixer* Failed() {
  gDevice.failure = SDL_GetError();
  if (gDevice.failure.empty()) gDevice.failure = "no audio device";
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return nullptr;
}

// With so small a buffer the audio thread must run when it is due even on a busy machine.
// SDL raises its priority within normal scheduling; where the system allows it (root, or a
// real-time limit), it gets round-robin real-time scheduling too. Its work per callback is
// small and bounded.
void RaiseAudioThread() {
  sched_param param{};
  param.sched_priority = std::min(10, sched_get_priority_max(SCHED_RR));
  pthread_setschedparam(pthread_self(), SCHED_RR, &param);  // refused without the right: no harm
}

void FillFromMixer(void* user, Uint8* stream, int length) {
  if (FirstDeviceCallback()) RaiseAudioThread();
  RenderDeviceBuffer(*static_cast<AudioMixer*>(user),
                     std::span<int16_t>(reinterpret_cast<int16_t*>(stream), static_cast<std::size_t>(length) / 2));
}

void SayNothing(const char*, int, const char*, int, const char*, ...) {}

// Without a sound card ALSA writes a dozen lines of its own on stderr while SDL tries it;
// the program's one line says better what happened. The library SDL loads is loaded here
// first, and told to keep its errors to itself.
void QuietAlsa() {
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
  if (!alsa) return;
  using ErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
  const auto setHandler = reinterpret_cast<int (*)(ErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (setHandler) setHandler(SayNothing);
  // Never unloaded: SDL uses the same library, with this handler, from here on.
}

}  // namespace

AudioMixer* SharedAudioMixer() {
  if (gDevice.tried) return gDevice.mixer.get();
  gDevice.tried = true;
  gDevice.failure.clear();
  QuietAlsa();
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Failed();
  // The callback only starts once the device is unpaused, so the mixer can be made for the
  // rate asked for and made again when the device settles on another one.
  SDL_AudioSpec wanted{};
  wanted.freq = 48000;
  wanted.format = AUDIO_S16SYS;
  wanted.channels = 2;
  wanted.samples = DeviceBufferFrames;
  wanted.callback = FillFromMixer;
  SDL_AudioSpec obtained{};
  auto mixer = std::make_unique<AudioMixer>(wanted.freq, wanted.channels);
  wanted.userdata = mixer.get();
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (id == 0) return Failed();
  if (obtained.freq != wanted.freq) {
    SDL_CloseAudioDevice(id);
    mixer = std::make_unique<AudioMixer>(obtained.freq, wanted.channels);
    wanted.freq = obtained.freq;
    wanted.userdata = mixer.get();
    const SDL_AudioDeviceID again = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (again == 0) return Failed();
    gDevice.id = again;
  } else {
    gDevice.id = id;
  }
  gDevice.bufferFrames = obtained.samples;
  gDevice.mixer = std::move(mixer);
  StartDeviceCounts(obtained.samples, obtained.freq);
  SDL_PauseAudioDevice(gDevice.id, 0);
  return gDevice.mixer.get();
}

const std::string& SharedAudioFailure() { return gDevice.failure; }

void CloseSharedAudio() {
  gDevice.tried = false;  // a later backend may open it again
  if (gDevice.id != 0) {
    SDL_CloseAudioDevice(gDevice.id);  // waits for the callback to finish
    gDevice.id = 0;
    gDevice.bufferFrames = 0;
    gDevice.mixer.reset();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
}

int SharedAudioBufferFrames() { return gDevice.bufferFrames; }

}  // namespace platform
