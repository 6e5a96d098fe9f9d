// Barge-in over the installed engines: a long description is handed to the engine (kind 4
// espeak-ng, kind 5 speech-dispatcher), the program waits for it as the game does, and
// another thread posts a key at a random moment. Reported: the median and the maximum time
// from the posted key until the engine was told to be silent (kind 4: its audio reset,
// which empties our device at once; kind 5: the purge request to speech-dispatcher) and
// until the program's wait returned. Real time, SDL's dummy audio driver.
// Kind 5 needs a reachable speech-dispatcher (SPEECHD_ADDRESS); without one it is skipped.

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
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/sapi/engines.h"
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

// Every engine stop is timed here: the dispatch's stop entry is wrapped.
Clock::time_point gStopCalled;
speech::EngineAdapter gWrapped;

void BargeIn(benchmark::State& state, int kind) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetBackend(std::make_unique<RealTimeBackend>());
  console::InitConsole("quelvar-bench");
  if (!platform::SharedAudioMixer()) {
    state.SkipWithError("no SDL audio device (dummy driver)");
    return;
  }
  // The installed adapter, with its stop timed.
  gWrapped = kind == 4 ? speech::Sapi4Engine() : speech::Sapi5Engine();
  speech::EngineAdapter timed = gWrapped;
  timed.stop = [] {
    gStopCalled = Clock::now();
    gWrapped.stop();
  };
  speech::SetEngineAdapter(speech::EngineSlotFor(kind), timed);
  if (!speech::EngineOpen(1, 0, 0, kind, "")) {
    state.SkipWithError(kind == 4 ? "espeak-ng cannot start" : "no speech-dispatcher to connect to");
    return;
  }
  speech::EngineActive = true;
  speech::EngineType = kind;
  std::string description;
  for (int i = 0; i < 6; ++i) {
    description += "Voc\xEA est\xE1 no conv\xE9s do navio, entre cordas, barris e velas dobradas. ";
  }
  std::mt19937 random(7);
  std::vector<double> toStop, toReturn;
  for (auto _ : state) {
    const auto delay = std::chrono::milliseconds(300 + random() % 700);
    Clock::time_point posted;
    speech::EngineSpeak(description);
    std::thread presser([&] {
      std::this_thread::sleep_for(delay);
      posted = Clock::now();
      platform::PostKeyEvent({'A', 0, static_cast<uint8_t>('a')}, true);
    });
    gStopCalled = {};
    while (speech::SpeechBusy()) platform::WaitMessage();
    const auto returned = Clock::now();
    presser.join();
    const double stopMs = std::chrono::duration<double, std::milli>(gStopCalled - posted).count();
    const double returnMs = std::chrono::duration<double, std::milli>(returned - posted).count();
    toStop.push_back(stopMs);
    toReturn.push_back(returnMs);
    state.SetIterationTime(returnMs / 1000);
    while (console::KeyAvailable()) console::WaitKey();
    while (speech::EngineBusy(0)) console::Pause(10);
  }
  speech::EngineClose();
  speech::EngineActive = false;
  std::sort(toStop.begin(), toStop.end());
  std::sort(toReturn.begin(), toReturn.end());
  state.counters["stop_median_ms"] = toStop[toStop.size() / 2];
  state.counters["stop_max_ms"] = toStop.back();
  state.counters["wait_median_ms"] = toReturn[toReturn.size() / 2];
  state.counters["wait_max_ms"] = toReturn.back();
  platform::CloseSharedAudio();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BargeIn/kind4", [](benchmark::State& s) { BargeIn(s, 4); })
      ->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BargeIn/kind5", [](benchmark::State& s) { BargeIn(s, 5); })
      ->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
