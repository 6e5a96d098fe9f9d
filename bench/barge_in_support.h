#pragma once
// What the barge-in benchmarks share: the headless console running in real time over the
// shared SDL audio device (the dummy driver paces it), a key pressed from another thread
// as the window's event thread would, and the median and maximum of the timings.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/speech_wiring.h"
#include "bench/real_time_backend.h"
#include "console/console.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// Starts the real-time console; the shared mixer, or nothing (the benchmark is then
// marked skipped) when SDL has no audio device.
inline platform::AudioMixer* StartRealTimeConsole(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetBackend(std::make_unique<RealTimeBackend>());
  platform::SetSoundOutput(std::make_unique<bench::SharedDeviceSpeech>());
  console::InitConsole("quelvar-bench");
  app::ConnectSpeech();
  platform::AudioMixer* mixer = platform::SharedAudioMixer();
  if (!mixer) state.SkipWithError("no SDL audio device (dummy driver)");
  return mixer;
}

// A thread that waits 'delay', notes the time in 'posted' and presses a key.
inline std::thread PressKeyAfter(std::chrono::milliseconds delay, Clock::time_point& posted) {
  return std::thread([delay, &posted] {
    std::this_thread::sleep_for(delay);
    posted = Clock::now();
    platform::PostKeyEvent({'A', 0, static_cast<uint8_t>('a')}, true);
  });
}

// Milliseconds from one time to another.
inline double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Reports name_median_ms and name_max_ms (median_ms and max_ms for an empty name).
inline void ReportMedianAndMax(benchmark::State& state, const std::string& name, std::vector<double> values) {
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
  const std::string prefix = name.empty() ? "" : name + "_";
  state.counters[prefix + "median_ms"] = values[values.size() / 2];
  state.counters[prefix + "max_ms"] = values.back();
}

}  // namespace bench
