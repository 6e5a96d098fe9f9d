#pragma once
// Where the program's sound goes, chosen apart from the backend that draws and takes keys:
// the bell, the console's looping tones and the wave-out devices of speech and recorded
// sounds. The program installs one at start (the shared device's mixer for a window or a
// terminal, a recorder for tests); without one there is no sound, and wave-out devices
// play silently in the clock's time.

#include <cstdint>
#include <memory>
#include <span>

#include "platform/core/win.h"

namespace platform {

class WaveOutDevice;
struct WaveFormat;

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  virtual void Beep() {}
  virtual void PlayLoop(std::span<const uint8_t> waveImage) { (void)waveImage; }
  virtual void StopLoop() {}
  // The wave-out device for a format; 'error' gets the result code. The default plays in
  // the clock's time without making sound (platform/audio/wave_out.h's null device).
  virtual std::unique_ptr<WaveOutDevice> OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error);
};

// The process's shared device and its mixer (platform/audio/audio_device.h), opened here:
// a window, a terminal or the page plays through it. Without a device there is no sound,
// and a beep is the backend's own bell (a terminal's). Closed with this object.
class SharedDeviceSound : public SoundOutput {
 public:
  SharedDeviceSound();
  ~SharedDeviceSound() override;
  void Beep() override;
  void PlayLoop(std::span<const uint8_t> waveImage) override;
  void StopLoop() override;
  std::unique_ptr<WaveOutDevice> OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) override;

 private:
  class AudioMixer* mixer_ = nullptr;
};

// Installs the sound output used from here on (null: none); the platform owns it, and
// lets it go among the program's exit steps, before the backend.
void SetSoundOutput(std::unique_ptr<SoundOutput> output);
// The installed output, or one that makes no sound.
SoundOutput& CurrentSoundOutput();

// The Windows calls over the installed output.
void MessageBeep();
void PlayLoopingSound(std::span<const uint8_t> waveImage);
void StopLoopingSound();

}  // namespace platform
