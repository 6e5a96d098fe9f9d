// Barge-in: how long after a key arrives the interrupted sound has left our buffers. The
// program thread plays a long sound through wave playback into the SDL mixer (the dummy
// audio driver paces the mixer in real time); another thread posts a key at a random
// moment, as the window's event thread would. Reported: the median and the maximum time
// from the posted key to the end of the stop (after which our voice gives no sample), and
// the mixer's buffer that may still be with the device.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "console/console.h"
#include "console/keyboard.h"
#include "platform/headless.h"
#include "platform/sdl_audio.h"
#include "platform/wave_out.h"
#include "platform/win.h"
#include "speech/wave.h"

namespace {

using Clock = std::chrono::steady_clock;

// The headless console with the real clock and the shared SDL audio device.
class RealTimeBackend : public platform::HeadlessBackend {
 public:
  uint64_t NowMs() override {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
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
  std::unique_ptr<platform::WaveOutDevice> OpenWaveOut(const platform::WaveFormat& format, platform::Hwnd window,
                                                       int& error) override {
    return platform::OpenSharedAudioWaveOut(format, window, error);
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

void BargeIn(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetBackend(std::make_unique<RealTimeBackend>());
  console::InitConsole("quelvar-bench");
  platform::AudioMixer* mixer = platform::SharedAudioMixer();
  if (!mixer) {
    state.SkipWithError("no SDL audio device (dummy driver)");
    return;
  }
  std::vector<uint8_t> sound(6 * 65534);
  for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<uint8_t>(128 + ((i / 25) % 2 ? 40 : -40));
  std::mt19937 random(7);
  std::vector<double> latencies;
  for (auto _ : state) {
    const auto delay = std::chrono::milliseconds(20 + random() % 80);
    Clock::time_point posted;
    std::thread presser([&] {
      std::this_thread::sleep_for(delay);
      posted = Clock::now();
      platform::PostKeyEvent({'A', 0, static_cast<uint8_t>('a')}, true);
    });
    speech::PlayPcm(sound, 22050, 8, 1);
    const auto stopped = Clock::now();
    presser.join();
    const double ms = std::chrono::duration<double, std::milli>(stopped - posted).count();
    latencies.push_back(ms);
    state.SetIterationTime(ms / 1000);
    while (console::KeyAvailable()) console::WaitKey();
    speech::WaveStop();
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["median_ms"] = latencies[latencies.size() / 2];
  state.counters["max_ms"] = latencies.back();
  state.counters["device_buffer_ms"] = 512.0 * 1000 / mixer->SampleRate();
  platform::CloseSharedAudio();
}

BENCHMARK(BargeIn)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
