// A whole game played in real time through the SDL audio device (the dummy driver unless
// SDL_AUDIODRIVER says otherwise), keys from a script typed as a patient typist types
// them: the next key when the program waits for one and no sound is playing. Writes what
// the device callbacks gave, mono 16-bit at the device's rate, and prints the callbacks,
// the late ones and the gaps in wave-out streams.
//
//   QUELVAR_DATA_DIR=voice bench_game_device KEYS CONFIG_DIR OUT.wav [MINUTES]

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/speech_wiring.h"
#include "bench/real_time_backend.h"
#include "console/console.h"
#include "game/game.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "text/wave.h"

namespace {

using Clock = std::chrono::steady_clock;

// Filled by the audio thread only; read once the device is closed.
std::vector<int16_t> gHeard;
std::atomic<std::size_t> gHeardCount{0};

void Observe(const platform::AudioCallbackReport& report) {
  std::size_t at = gHeardCount.load(std::memory_order_relaxed);
  for (int f = 0; f < report.frames && at < gHeard.size(); ++f, ++at) {
    int32_t sum = 0;
    for (int c = 0; c < report.channels; ++c) sum += report.samples[f * report.channels + c];
    gHeard[at] = static_cast<int16_t>(sum / std::max(report.channels, 1));
  }
  gHeardCount.store(at, std::memory_order_release);
}

class RealTimeScript : public platform::HeadlessBackend {
 public:
  uint64_t NowMs() override {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count());
  }
  void Sleep(uint32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
  void WaitEvents(int timeoutMs) override {
    if (timeoutMs >= 0) {
      WaitForWake(timeoutMs);
      return;
    }
    // While a wave device is open its sound is playing: the typist waits for it to end
    // (but not for ever, should nobody close it).
    platform::AudioMixer* mixer = platform::SharedAudioMixer();
    if (mixer && mixer->HasVoices() && WaitForWake(3000)) return;
    HeadlessBackend::WaitEvents(-1);  // the next key of the script
  }
  void Wake() override {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    wake_.notify_all();
    HeadlessBackend::Wake();
  }

 private:
  bool WaitForWake(int ms) {
    std::unique_lock lock(mutex_);
    const bool woken = wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return woken_; });
    woken_ = false;
    return woken;
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
};

bool WriteWave(const std::string& path, int rate, const int16_t* samples, std::size_t count) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  uint8_t header[text::WaveHeaderSize];
  text::WriteWaveHeader(header, static_cast<uint32_t>(rate), 16, 1, static_cast<uint32_t>(count * 2));
  bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;
  ok = ok && std::fwrite(samples, 2, count, file) == count;  // little-endian machines
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_game_device KEYS CONFIG_DIR OUT.wav [MINUTES]\n");
    return 2;
  }
  const std::string keysPath = argv[1], out = argv[3];
  const int minutes = argc > 4 ? std::max(1, std::atoi(argv[4])) : 30;
  std::ifstream keysFile(keysPath, std::ios::binary);
  std::stringstream keys;
  keys << keysFile.rdbuf();
  std::vector<platform::ScriptItem> script;
  std::string error;
  if (!keysFile || !platform::ParseKeyScript(keys.str(), script, error)) {
    std::fprintf(stderr, "bad key script: %s\n", error.c_str());
    return 2;
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::SetWindowsDirectory(argv[2]);
  if (const char* data = std::getenv("QUELVAR_DATA_DIR")) platform::SetDataRoot(data);

  gHeard.assign(static_cast<std::size_t>(minutes) * 60 * 48000, 0);
  platform::SetAudioCallbackObserver(Observe);
  auto backend = std::make_unique<RealTimeScript>();
  backend->SetScript(std::move(script));
  platform::SetBackend(std::move(backend));
  platform::SetSoundOutput(std::make_unique<bench::SharedDeviceSpeech>());
  platform::AudioMixer* mixer = platform::SharedAudioMixer();
  if (!mixer) {
    std::fprintf(stderr, "no SDL audio device\n");
    return 1;
  }
  const int rate = mixer->SampleRate();
  const auto started = Clock::now();
  platform::AddExitStep([out, rate, started] {
    const platform::AudioDeviceCounts counts = platform::SharedAudioCounts();
    const int frames = platform::SharedAudioBufferFrames();
    platform::SetAudioCallbackObserver(nullptr);
    platform::CloseSharedAudio();
    const std::size_t heard = gHeardCount.load();
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::printf("rate=%d buffer_frames=%d seconds=%.1f callbacks=%llu late=%llu stream_gaps=%llu\n", rate, frames,
                seconds, static_cast<unsigned long long>(counts.callbacks),
                static_cast<unsigned long long>(counts.late), static_cast<unsigned long long>(counts.underruns));
    if (!WriteWave(out, rate, gHeard.data(), heard)) std::fprintf(stderr, "cannot write %s\n", out.c_str());
    std::fflush(stdout);
  });
  console::InitConsole("quelvar");
  app::ConnectSpeech();
  game::RunGame();
}
