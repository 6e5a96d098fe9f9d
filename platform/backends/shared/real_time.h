#pragma once
// What the interactive backends (window, terminal) share: real monotonic time, real sleeps,
// the local date and time from the system clock, and the process's sound device with its
// mixer for the beep, the looping tones and wave-out blocks.

#include <chrono>
#include <memory>
#include <span>

#include "platform/core/backend.h"

namespace platform {

class AudioMixer;

class RealTimeBackend : public Backend {
 public:
  uint64_t NowMs() override;
  void Sleep(uint32_t milliseconds) override;
  LocalTime Now() override;

  void Beep() override;
  void PlayLoop(std::span<const uint8_t> waveImage) override;
  void StopLoop() override;
  // Speech and recorded sounds play through the same mixer as the tones.
  std::unique_ptr<WaveOutDevice> OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) override;

 protected:
  // Opens the shared sound device (platform/audio/audio_device.h); without one there is no
  // sound, and Beep is silent. The backend closes it (CloseSharedAudio) as it ends.
  void OpenSound();
  bool HasSound() const { return audio_ != nullptr; }

 private:
  AudioMixer* audio_ = nullptr;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace platform
