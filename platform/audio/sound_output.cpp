#include "platform/audio/sound_output.h"

#include "platform/audio/audio_device.h"
#include "platform/audio/wave_out.h"
#include "platform/core/backend.h"

namespace platform {

std::unique_ptr<WaveOutDevice> SoundOutput::OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) {
  return OpenSilentWaveOut(format, notifyWindow, error);
}

SharedDeviceSound::SharedDeviceSound() : mixer_(SharedAudioMixer()) {}
SharedDeviceSound::~SharedDeviceSound() { CloseSharedAudio(); }

void SharedDeviceSound::Beep() {
  if (mixer_) {
    mixer_->Beep();
  } else if (HasBackend()) {
    CurrentBackend().Bell();
  }
}
void SharedDeviceSound::PlayLoop(std::span<const uint8_t> waveImage) {
  if (mixer_) mixer_->PlayLoop(waveImage);
}
void SharedDeviceSound::StopLoop() {
  if (mixer_) mixer_->StopLoop();
}
std::unique_ptr<WaveOutDevice> SharedDeviceSound::OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) {
  return OpenSharedAudioWaveOut(format, notifyWindow, error);
}

void MessageBeep() { CurrentSoundOutput().Beep(); }
void PlayLoopingSound(std::span<const uint8_t> waveImage) { CurrentSoundOutput().PlayLoop(waveImage); }
void StopLoopingSound() { CurrentSoundOutput().StopLoop(); }

}  // namespace platform
