// Barge-in inside the program: how long after a key arrives the interrupted sound has left
// our own buffers (what the listener hears is timed by bench/latency, at the device). The
// program thread plays a long sound through wave playback into the SDL mixer (the dummy
// audio driver paces the mixer in real time); another thread posts a key at a random
// moment, as the window's event thread would. Reported: the median and the maximum time
// from the posted key to the end of the stop (stop_returned_*: after it our voice gives no
// sample), and the device's buffer that still plays after that.

#include <random>
#include <vector>

#include "bench/barge_in_support.h"
#include "console/keyboard.h"
#include "speech/wave.h"

namespace {

using bench::Clock;

void BargeIn(benchmark::State& state) {
  platform::AudioMixer* mixer = bench::StartRealTimeConsole(state);
  if (!mixer) return;
  std::vector<uint8_t> sound(6 * 65534);
  for (std::size_t i = 0; i < sound.size(); ++i) sound[i] = static_cast<uint8_t>(128 + ((i / 25) % 2 ? 40 : -40));
  std::mt19937 random(7);
  std::vector<double> latencies;
  for (auto _ : state) {
    const auto delay = std::chrono::milliseconds(20 + random() % 80);
    Clock::time_point posted;
    std::thread presser = bench::PressKeyAfter(delay, posted);
    speech::PlayPcm({sound, {22050, 8, 1}});
    const auto stopped = Clock::now();
    presser.join();
    const double ms = bench::MsBetween(posted, stopped);
    latencies.push_back(ms);
    state.SetIterationTime(ms / 1000);
    while (console::KeyAvailable()) console::WaitKey();
    speech::WaveStop();
  }
  bench::ReportMedianAndMax(state, "stop_returned", std::move(latencies));
  state.counters["device_buffer_ms"] = 1000.0 * platform::SharedAudioBufferFrames() / mixer->SampleRate();
  platform::CloseSharedAudio();
}

BENCHMARK(BargeIn)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
