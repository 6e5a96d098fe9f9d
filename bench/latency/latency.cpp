// Latency as a listener meets it, for each engine:
//   key_to_silence_ms  from a key posted by another thread (as the window's event thread
//                      posts it) while a long text is spoken, to the end of the last of our
//                      sound the device plays;
//   first_audio_ms     from the moment a line is handed to speech to the first sound the
//                      device plays.
// The clock is the real one. Every SDL audio callback is timestamped when it begins; what
// it fills is heard after the buffer the device holds before it, so a frame f of a callback
// begun at t is heard at t + buffer + f / rate. Runs with SDL's dummy audio driver unless
// SDL_AUDIODRIVER says otherwise. speech-dispatcher plays through its own server, not this
// device, so it is not timed here.
//
//   bench_latency [--trials=N] [--engines=builtin,espeak,mbrola]

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/speech_wiring.h"
#include "bench/buzz_voice.h"
#include "bench/real_time_backend.h"
#include "console/console.h"
#include "console/keyboard.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/speak.h"
#include "speech/state.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ---- the callbacks, kept in a ring the audio thread writes without locks ----

constexpr std::size_t RingSize = 1 << 16;
platform::AudioCallbackReport gReports[RingSize];
std::atomic<uint64_t> gReportCount{0};

void Observe(const platform::AudioCallbackReport& report) {
  const uint64_t n = gReportCount.load(std::memory_order_relaxed);
  gReports[n % RingSize] = report;
  gReportCount.store(n + 1, std::memory_order_release);
}

std::vector<platform::AudioCallbackReport> ReportsSince(uint64_t first) {
  const uint64_t end = gReportCount.load(std::memory_order_acquire);
  std::vector<platform::AudioCallbackReport> out;
  for (uint64_t i = std::max(first, end > RingSize ? end - RingSize : 0); i < end; ++i)
    out.push_back(gReports[i % RingSize]);
  return out;
}

using bench::RealTimeBackend;

// ---- the built-in voice: a database written here, every unit a buzz without silence ----

std::string gFolder;

void WriteBuiltInVoice() {
  char pattern[] = "/tmp/quelvar-latency-XXXXXX";
  gFolder = ::mkdtemp(pattern);
  std::filesystem::create_directories(gFolder + "/letras");
  // A 110 Hz saw that never touches the silence level.
  bench::WriteBuzzDatabase(
      gFolder, "LAT", "AEIOUBCDFGJKLMNPQRSTVXZWYaeiouwy", {"$ACIRC", "$ECIRC", "$OCIRC", "$nn", "$RR"},
      [](std::size_t, uint16_t i) { return static_cast<uint8_t>(100 + (i % 100) / 2 + (i % 100 >= 50 ? 10 : 0)); });
  std::filesystem::copy_file(std::string(QUELVAR_SOURCE_DATA_DIR) + "/regras.rgr", gFolder + "/regras.rgr");
  std::filesystem::copy_file(std::string(QUELVAR_SOURCE_DATA_DIR) + "/portug.exc", gFolder + "/portug.exc");
}

// No engine: the built-in voice.
void WriteConfiguration(std::optional<speech::EngineKind> engine) {
  std::ofstream ini(gFolder + "/TAMIRE.INI", std::ios::binary | std::ios::trunc);
  ini << "[TRADUTOR]\nVELOCIDADE=3\nDIRLETRAS=" << gFolder << "/letras\nDIRDIFONES=" << gFolder
      << "\nSAPI=" << (engine ? "S" : "N") << "\n[SINTETIZADOR]\nDIFONES3=LAT\nCORTEFON3=0\nSOBRAFON3=900\n"
      << "INTERPAL3=0\n[SERVFALA]\nVOZ=0\nVELOCIDADE=0\nTOM=0\nTIPOSAPI="
      << speech::EngineKindSetting(engine.value_or(speech::EngineKind::Sapi4)) << "\n";
}

// ---- timing ----

struct Figures {
  std::vector<double> toSilence, firstAudio, firstSamples;
  int missed = 0;  // trials run again: the key came where nothing played, or no sound came
};

double BufferNs(int rate) { return 1e9 * platform::SharedAudioBufferFrames() / rate; }

// When the first sound of the callbacks begun at or after 'fromNs' is heard; 0 for none.
int64_t FirstHeard(const std::vector<platform::AudioCallbackReport>& reports, int64_t fromNs, int rate) {
  for (const auto& r : reports) {
    if (r.startNs < fromNs || r.firstSound < 0) continue;
    return r.startNs + static_cast<int64_t>(BufferNs(rate) + 1e9 * r.firstSound / rate);
  }
  return 0;
}

// When the first of our samples, silent or not, is heard: a stream voice gives its blocks
// from the start of a callback.
int64_t FirstStreamed(const std::vector<platform::AudioCallbackReport>& reports, int64_t fromNs, int rate) {
  for (const auto& r : reports) {
    if (r.startNs >= fromNs && r.streamed) return r.startNs + static_cast<int64_t>(BufferNs(rate));
  }
  return 0;
}

// When the last of our sound is heard: the end of the last callback that still played
// wave-out blocks, or of its last sound when it had some.
int64_t LastHeard(const std::vector<platform::AudioCallbackReport>& reports, int rate) {
  int64_t last = 0;
  for (const auto& r : reports) {
    if (!r.streamed && r.lastSound < 0) continue;
    const int end = r.lastSound >= 0 ? r.lastSound + 1 : r.frames;
    last =
        std::max(last, r.startNs + static_cast<int64_t>(BufferNs(rate) + 1e9 * (r.streamed ? r.frames : end) / rate));
  }
  return last;
}

void Drain() {
  speech::WaitUntilSilent();
  while (console::KeyAvailable()) console::WaitKey();
  speech::StopSpeech();
  speech::State().stopRequested = false;
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
}

const char* const ShortLine = "Voc\xEA est\xE1 no conv\xE9s do navio.";
// Long enough for any key time below, without a pause for punctuation.
std::string LongText() {
  std::string text;
  for (int i = 0; i < 8; ++i) text += "o capit\xE3o olha o mar e as velas dobradas perto das cordas e dos barris ";
  return text;
}

void Measure(const char* name, std::optional<speech::EngineKind> engine, int trials, platform::AudioMixer& mixer) {
  WriteConfiguration(engine);
  speech::StartSpeech(3, "");
  if (engine && !speech::State().engineActive) {
    std::printf("%s: the engine does not start; not timed\n", name);
    speech::EndSpeech();
    return;
  }
  const int rate = mixer.SampleRate();
  Figures figures;
  std::mt19937 random(7);
  const std::string text = LongText();
  // A first line to warm up whatever loads on first use.
  speech::SpeakText(ShortLine);
  Drain();
  // A trial whose key falls where no sound plays (between two words, or after the end)
  // says nothing about stopping and is run again, up to three times as many in all.
  for (int attempt = 0; attempt < 3 * trials && (static_cast<int>(figures.firstAudio.size()) < trials ||
                                                 static_cast<int>(figures.toSilence.size()) < trials);
       ++attempt) {
    // First audio of a line.
    uint64_t mark = gReportCount.load();
    const int64_t written = NowNs();
    speech::SpeakText(ShortLine);
    speech::WaitUntilSilent();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto firstReports = ReportsSince(mark);
    const int64_t heard = FirstHeard(firstReports, written, rate);
    if (const int64_t streamed = FirstStreamed(firstReports, written, rate); streamed > 0) {
      figures.firstSamples.push_back(static_cast<double>(streamed - written) / 1e6);
    }
    if (heard > 0) {
      figures.firstAudio.push_back(static_cast<double>(heard - written) / 1e6);
    } else {
      ++figures.missed;
    }
    Drain();

    // A key in the middle of a long text.
    const auto delay = std::chrono::milliseconds(300 + random() % 500);
    std::atomic<int64_t> pressed{0};
    std::thread presser([&] {
      std::this_thread::sleep_for(delay);
      pressed = NowNs();
      platform::PostKeyEvent({'A', 0, static_cast<uint8_t>('a')}, true);
    });
    mark = gReportCount.load();
    speech::SpeakText(text);
    speech::WaitUntilSilent();
    presser.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto reports = ReportsSince(mark);
    const int64_t last = LastHeard(reports, rate);
    const int64_t key = pressed.load();
    // The sound must still have been playing when the key came.
    const bool playing = std::any_of(reports.begin(), reports.end(), [&](const auto& r) {
      return r.streamed && r.startNs <= key && r.startNs + static_cast<int64_t>(BufferNs(rate)) >= key;
    });
    if (playing && last > key) {
      figures.toSilence.push_back(static_cast<double>(last - key) / 1e6);
    } else {
      ++figures.missed;
    }
    Drain();
  }
  speech::EndSpeech();
  const auto print = [name](const char* what, std::vector<double> values) {
    if (values.empty()) {
      std::printf("%s %s no figures\n", name, what);
      return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%s %s median=%.1f max=%.1f\n", name, what, values[values.size() / 2], values.back());
  };
  print("key_to_silence_ms", figures.toSilence);
  print("first_audio_ms", figures.firstAudio);
  // The first samples, even when the voice begins with silence.
  print("first_samples_ms", figures.firstSamples);
  std::printf("%s: %zu and %zu trials, %d run again\n", name, figures.toSilence.size(), figures.firstAudio.size(),
              figures.missed);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int trials = 30;
  std::string engines = "builtin,espeak,mbrola";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--trials=", 0) == 0) trials = std::max(1, std::atoi(arg.c_str() + 9));
    if (arg.rfind("--engines=", 0) == 0) engines = arg.substr(10);
  }
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("QUELVAR_DATA_DIR", QUELVAR_SOURCE_DATA_DIR, 0);
  WriteBuiltInVoice();
  platform::SetWindowsDirectory(gFolder);
  platform::SetBackend(std::make_unique<RealTimeBackend>());
  platform::SetSoundOutput(std::make_unique<bench::SharedDeviceSpeech>());
  console::InitConsole("quelvar-latency");
  app::ConnectSpeech();
  platform::SetAudioCallbackObserver(Observe);
  platform::AudioMixer* mixer = platform::SharedAudioMixer();
  if (!mixer) {
    std::printf("no SDL audio device\n");
    return 1;
  }
  std::printf("driver=%s rate=%d buffer_frames=%d buffer_ms=%.1f trials=%d\n", std::getenv("SDL_AUDIODRIVER"),
              mixer->SampleRate(), platform::SharedAudioBufferFrames(),
              1000.0 * platform::SharedAudioBufferFrames() / mixer->SampleRate(), trials);
  const auto wanted = [&](const char* name) {
    return ("," + engines + ",").find(std::string(",") + name + ",") != std::string::npos;
  };
  if (wanted("builtin")) Measure("builtin", std::nullopt, trials, *mixer);
  if (wanted("espeak")) Measure("espeak", speech::EngineKind::Sapi4, trials, *mixer);
  if (wanted("mbrola")) Measure("mbrola", speech::EngineKind::Mbrola, trials, *mixer);
  const platform::AudioDeviceCounts counts = platform::SharedAudioCounts();
  std::printf(
      "device: %llu callbacks, %llu late (over two buffers after the one before), %llu gaps in wave-out "
      "streams\n",
      static_cast<unsigned long long>(counts.callbacks), static_cast<unsigned long long>(counts.late),
      static_cast<unsigned long long>(counts.underruns));
  std::printf("speechd: plays through the speech-dispatcher server, not this device; not timed\n");
  platform::SetAudioCallbackObserver(nullptr);
  platform::CloseSharedAudio();
  std::filesystem::remove_all(gFolder);
  return 0;
}
