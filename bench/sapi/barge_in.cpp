// Barge-in over the installed engines: a long description is handed to the engine (SAPI 4:
// espeak-ng, SAPI 5: speech-dispatcher), the program waits for it as the game does, and
// another thread posts a key at a random moment. Reported: the median and the maximum time
// from the posted key until the engine was told to be silent (espeak-ng: its audio reset,
// which empties our device at once; speech-dispatcher: the purge request) and until the
// program's wait returned. These are times inside the program, not what is heard:
// bench/latency times the sound at the device. Real time, SDL's dummy audio driver.
// speech-dispatcher must be reachable (SPEECHD_ADDRESS); without it that run is skipped.

#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "bench/barge_in_support.h"
#include "console/keyboard.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"
#include "speech/state.h"

namespace {

using bench::Clock;

// Every engine stop is timed here: the engine is wrapped.
Clock::time_point gStopCalled;

class TimedStop final : public speech::Engine {
 public:
  explicit TimedStop(std::unique_ptr<speech::Engine> engine) : engine_(std::move(engine)) {}
  bool Open(int voice, int rate, int pitch, const std::string& file) override {
    return engine_->Open(voice, rate, pitch, file);
  }
  void Close() override { engine_->Close(); }
  void Speak(std::string_view text) override { engine_->Speak(text); }
  bool Busy(int mode) override { return engine_->Busy(mode); }
  void Stop() override {
    gStopCalled = Clock::now();
    engine_->Stop();
  }

 private:
  std::unique_ptr<speech::Engine> engine_;
};

void BargeIn(benchmark::State& state, speech::EngineKind kind) {
  if (!bench::StartRealTimeConsole(state)) return;
  // The installed engine, with its stop timed.
  std::unique_ptr<speech::Engine> engine;
  if (kind == speech::EngineKind::Sapi4) {
    engine = std::make_unique<speech::Sapi4Engine>();
  } else {
    engine = std::make_unique<speech::Sapi5Engine>(speech::Sapi5Engine::Binding::Early);
  }
  speech::SetEngine(kind, std::make_unique<TimedStop>(std::move(engine)));
  if (!speech::EngineOpen(1, 0, 0, kind, "")) {
    state.SkipWithError(kind == speech::EngineKind::Sapi4 ? "espeak-ng cannot start"
                                                          : "no speech-dispatcher to connect to");
    return;
  }
  speech::State().engineActive = true;
  speech::State().engineType = kind;
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
    std::thread presser = bench::PressKeyAfter(delay, posted);
    gStopCalled = {};
    while (speech::SpeechBusy()) platform::WaitMessage();
    const auto returned = Clock::now();
    presser.join();
    const double returnMs = bench::MsBetween(posted, returned);
    toStop.push_back(bench::MsBetween(posted, gStopCalled));
    toReturn.push_back(returnMs);
    state.SetIterationTime(returnMs / 1000);
    while (console::KeyAvailable()) console::WaitKey();
    while (speech::EngineBusy(0)) console::Pause(10);
  }
  speech::EngineClose();
  speech::State().engineActive = false;
  bench::ReportMedianAndMax(state, "stop_called", std::move(toStop));
  bench::ReportMedianAndMax(state, "wait_returned", std::move(toReturn));
  platform::CloseSharedAudio();
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("BargeIn/espeak-ng", [](benchmark::State& s) { BargeIn(s, speech::EngineKind::Sapi4); })
      ->UseManualTime()
      ->Iterations(20)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("BargeIn/speech-dispatcher",
                               [](benchmark::State& s) { BargeIn(s, speech::EngineKind::Sapi5); })
      ->UseManualTime()
      ->Iterations(10)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
