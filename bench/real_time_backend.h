#pragma once
// The headless console on the real clock, and speech playing through the shared SDL audio
// device (the dummy driver paces it): what the benchmarks that time sound run on.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_output.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"

namespace bench {

class RealTimeBackend : public platform::HeadlessBackend {
 public:
  uint64_t NowMs() override {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
  }
  void Sleep(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
  void WaitEvents(int timeoutMs) override {
    std::unique_lock lock(mutex_);
    const auto limit = std::chrono::milliseconds(timeoutMs < 0 ? 1000 : timeoutMs);
    wake_.wait_for(lock, limit, [this] { return woken_; });
    woken_ = false;
  }
  void Wake() override {
    std::lock_guard lock(mutex_);
    woken_ = true;
    wake_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

// Speech and recorded sounds through the shared SDL device; the console's beeps and tones
// are left out, as the benchmarks time speech.
class SharedDeviceSpeech : public platform::SoundOutput {
 public:
  std::unique_ptr<platform::WaveOutDevice> OpenWaveOut(const platform::WaveFormat& format, platform::Hwnd window,
                                                       int& error) override {
    return platform::OpenSharedAudioWaveOut(format, window, error);
  }
};

}  // namespace bench
