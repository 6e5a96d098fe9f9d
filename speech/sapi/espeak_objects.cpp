#include "speech/sapi/espeak_objects.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <thread>

#include "platform/audio/wave_out.h"
#include "platform/core/win.h"
#include "text/cp1252.h"
#include "text/wave.h"

namespace speech::sapi {
namespace {

// The engine's news for its message window: events are waiting in its queue.
constexpr uint32_t EngineNewsMessage = platform::WM_USER + 0x140;

constexpr Guid EspeakEngineId{0x6E5E1A9B, 0x2C4D, 0x4F01, {'e', 's', 'p', 'e', 'a', 'k', 'n', 'g'}};

// ---- espeak-ng itself: global state, one caller at a time ----

class EspeakCentral;

// espeak-ng keeps one state for the whole process; this is what we keep beside it, in one
// place.
struct EspeakLibrary {
  std::mutex mutex;                // held around every espeak-ng call
  std::atomic<int> sampleRate{0};  // set once; 0: espeak-ng could not start
  bool initializeTried = false;
  std::string voiceSet;  // the voice espeak-ng has now
  // The engine whose text espeak-ng is synthesizing (its callback has no other way to it).
  std::atomic<EspeakCentral*> synthesizing{nullptr};
  // The engines by their message windows (a window procedure has no other way to them);
  // program thread only.
  std::map<platform::Hwnd, EspeakCentral*> engineWindows;
};

EspeakLibrary& Espeak() {
  static EspeakLibrary library;
  return library;
}

int SynthCallback(short* samples, int count, espeak_EVENT* events);

constexpr int SynthBufferMs = 10;

bool StartEspeak() {
  std::lock_guard lock(Espeak().mutex);
  if (!Espeak().initializeTried) {
    Espeak().initializeTried = true;
    // espeak-ng's data is checked as it loads: data it cannot load means no engine (its
    // older entry point would go on with it half loaded and say so on stderr).
    espeak_ng_InitializePath(nullptr);
    espeak_ng_ERROR_CONTEXT context = nullptr;
    const espeak_ng_STATUS loaded = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    // Sound is handed over every 10 ms of speech: the first of a text plays that much sooner
    // than with espeak-ng's usual buffers, and the samples are the same.
    if (loaded == ENS_OK && espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, SynthBufferMs, nullptr) == ENS_OK &&
        espeak_ng_GetSampleRate() > 0) {
      Espeak().sampleRate = espeak_ng_GetSampleRate();
      espeak_SetSynthCallback(SynthCallback);
    }
  }
  return Espeak().sampleRate > 0;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// The first language of a voice: the list is (priority byte, name, zero) pairs.
std::string FirstLanguage(const char* languages) {
  if (!languages || !languages[0]) return {};
  return Lower(languages + 1);
}

Guid ModeIdFor(std::string_view identifier) {
  uint32_t hash = 2166136261u;
  for (const char c : identifier) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
  return Guid{hash, 0x51AB, 0x4E57, {'e', 's', 'p', 'e', 'a', 'k', 'n', 'g'}};
}

std::vector<TtsModeInfo> ListModes() {
  std::vector<TtsModeInfo> modes;
  if (!StartEspeak()) return modes;
  std::lock_guard lock(Espeak().mutex);
  const espeak_VOICE** voices = espeak_ListVoices(nullptr);
  for (; voices && *voices; ++voices) {
    const espeak_VOICE& voice = **voices;
    if (!voice.identifier || !voice.name) continue;
    const std::string identifier = voice.identifier;
    // MBROLA voices need MBROLA's own program and databases: not ours to offer.
    if (identifier.rfind("mb/", 0) == 0) continue;
    TtsModeInfo mode;
    mode.gEngineID = EspeakEngineId;
    mode.gModeID = ModeIdFor(identifier);
    mode.szModeName = voice.name;
    mode.szSpeaker = identifier;
    mode.language = FirstLanguage(voice.languages);
    modes.push_back(std::move(mode));
  }
  const auto rank = [](const TtsModeInfo& mode) {
    if (mode.language == "pt-br") return 0;
    if (mode.language.rfind("pt", 0) == 0) return 1;
    return 2;
  };
  std::stable_sort(modes.begin(), modes.end(),
                   [&](const TtsModeInfo& a, const TtsModeInfo& b) { return rank(a) < rank(b); });
  return modes;
}

// ---- audio destinations ----

// What the engine needs of a destination; both of ours implement it.
class AudioTarget {
 public:
  virtual ~AudioTarget() = default;
  // The engine's message window (device completions go there) and what to call when all
  // sound written has been played.
  virtual void Attach(platform::Hwnd window, std::function<void()> drained) = 0;
  virtual void Detach() = 0;
  virtual void Write(std::span<const int16_t> samples, int sampleRate) = 0;
  virtual void Reset() = 0;
  virtual bool Busy() const = 0;
  virtual void BlockDone(platform::WaveHeader*) {}
};

// The sound device: every piece of sound is a block on a wave-out device of its own.
class MMAudioDest final : public IAudioMultiMediaDevice, public AudioTarget {
 public:
  ~MMAudioDest() override { Close(); }

  void Attach(platform::Hwnd window, std::function<void()> drained) override {
    window_ = window;
    drained_ = std::move(drained);
  }
  void Detach() override {
    Close();
    window_ = 0;
    drained_ = nullptr;
  }

  void Write(std::span<const int16_t> samples, int sampleRate) override {
    if (samples.empty() || window_ == 0) return;
    const platform::WaveFormat format{static_cast<uint32_t>(sampleRate), 16, 1};
    if (device_ && !(device_->Format() == format)) Close();
    if (!device_ && platform::WaveOutOpen(device_, format, window_) != platform::MMSYSERR_NOERROR) return;
    auto block = std::make_unique<Block>();
    block->bytes.resize(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const auto value = static_cast<uint16_t>(samples[i]);
      block->bytes[2 * i] = static_cast<uint8_t>(value);
      block->bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    block->header.data = block->bytes.data();
    block->header.bufferLength = static_cast<uint32_t>(block->bytes.size());
    if (platform::WaveOutPrepareHeader(device_.get(), block->header) != platform::MMSYSERR_NOERROR) return;
    if (platform::WaveOutWrite(device_.get(), block->header) != platform::MMSYSERR_NOERROR) return;
    blocks_.push_back(std::move(block));
  }

  void Reset() override {
    if (device_) platform::WaveOutReset(device_.get());
  }

  bool Busy() const override { return !blocks_.empty(); }

  void BlockDone(platform::WaveHeader* header) override {
    const auto it = std::find_if(blocks_.begin(), blocks_.end(),
                                 [&](const std::unique_ptr<Block>& block) { return &block->header == header; });
    if (it == blocks_.end()) return;
    if (device_) platform::WaveOutUnprepareHeader(device_.get(), (*it)->header);
    blocks_.erase(it);
    if (blocks_.empty()) {
      if (device_) platform::WaveOutClose(device_);
      if (drained_) drained_();
    }
  }

 private:
  struct Block {
    std::vector<uint8_t> bytes;
    platform::WaveHeader header;
  };

  void Close() {
    if (device_) {
      platform::WaveOutReset(device_.get());
      platform::WaveOutClose(device_);
      device_.reset();
    }
    blocks_.clear();
  }

  platform::Hwnd window_ = 0;
  std::function<void()> drained_;
  std::unique_ptr<platform::WaveOutDevice> device_;
  std::deque<std::unique_ptr<Block>> blocks_;  // written, not yet reported done
};

// A WAV file, 16-bit mono at the engine's rate; the header is completed by Flush.
class AudioDestFile final : public IAudioFile, public AudioTarget {
 public:
  ~AudioDestFile() override {
    Flush();
    if (file_) std::fclose(file_);
  }

  HResult Set(std::u16string_view fileName, uint32_t) override {
    std::string cp1252;
    for (const char16_t c : fileName) {
      const auto byte = text::CodePointToCp1252(c);
      if (!byte) return HrInvalidArgument;
      cp1252 += static_cast<char>(*byte);
    }
    if (file_) std::fclose(file_);
    file_ = std::fopen(text::Cp1252ToUtf8(cp1252).c_str(), "wb");
    dataBytes_ = 0;
    if (!file_) return HrFail;
    return Flush();
  }

  HResult Flush() override {
    if (!file_) return HrFail;
    uint8_t header[text::WaveHeaderSize];
    text::WriteWaveHeader(header, static_cast<uint32_t>(sampleRate_), 16, 1, dataBytes_);
    std::fseek(file_, 0, SEEK_SET);
    bool ok = std::fwrite(header, 1, sizeof header, file_) == sizeof header;
    std::fseek(file_, 0, SEEK_END);
    ok = std::fflush(file_) == 0 && ok;
    return ok ? HrOk : HrFail;
  }

  void Attach(platform::Hwnd, std::function<void()>) override {}
  void Detach() override {}
  void Write(std::span<const int16_t> samples, int sampleRate) override {
    if (!file_) return;
    sampleRate_ = sampleRate;
    std::vector<uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const auto value = static_cast<uint16_t>(samples[i]);
      bytes[2 * i] = static_cast<uint8_t>(value);
      bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    dataBytes_ += static_cast<uint32_t>(std::fwrite(bytes.data(), 1, bytes.size(), file_));
  }
  void Reset() override {}
  bool Busy() const override { return false; }

 private:
  std::FILE* file_ = nullptr;
  uint32_t dataBytes_ = 0;
  int sampleRate_ = 22050;
};

AudioTarget* TargetOf(IAudioDest* destination) { return dynamic_cast<AudioTarget*>(destination); }

// ---- the engine ----

intptr_t EngineWindowProc(platform::Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

class EspeakAttributes final : public ITTSAttributes {
 public:
  HResult SpeedSet(uint32_t wordsPerMinute) override {
    rate = EspeakRateForSpeed(wordsPerMinute);
    return HrOk;
  }
  HResult PitchSet(uint16_t pitchHz) override {
    pitch = EspeakPitchForHz(pitchHz);
    return HrOk;
  }
  std::atomic<int> rate{espeakRATE_NORMAL};
  std::atomic<int> pitch{50};
};

class EspeakCentral final : public ITTSCentral {
 public:
  EspeakCentral(std::string voice, std::shared_ptr<IAudioDest> destination)
      : voice_(std::move(voice)), destination_(std::move(destination)), target_(TargetOf(destination_.get())) {
    window_ = platform::CreateMessageWindow(EngineWindowProc);
    Espeak().engineWindows[window_] = this;
    target_->Attach(window_, [this] { CheckAudioStop(); });
    worker_ = std::thread([this] { Run(); });
  }

  ~EspeakCentral() override {
    std::size_t dropped = 0;
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
      ++generation_;
      dropped = jobs_.size();
      jobs_.clear();
    }
    for (std::size_t i = 0; i < dropped; ++i) platform::EndBackgroundWork();
    wake_.notify_all();
    worker_.join();
    target_->Detach();
    Espeak().engineWindows.erase(window_);
    platform::DestroyMessageWindow(window_);
  }

  HResult Register(std::shared_ptr<ITTSNotifySink> sink, const Guid& interfaceId, uint32_t& key) override {
    if (!sink || !(interfaceId == IidTtsNotifySink)) return HrInvalidArgument;
    key = nextKey_++;
    notifySinks_[key] = std::move(sink);
    return HrOk;
  }

  HResult UnRegister(uint32_t key) override { return notifySinks_.erase(key) ? HrOk : HrInvalidArgument; }

  HResult TextData(CharacterSet characterSet, uint32_t, std::string_view textWithZero,
                   std::shared_ptr<ITTSBufNotifySink> sink, const Guid& interfaceId) override {
    if (characterSet != CharacterSet::Text) return HrInvalidArgument;
    if (sink && !(interfaceId == IidTtsBufNotifySink)) return HrInvalidArgument;
    const std::size_t end = textWithZero.find('\0');
    std::string utf8 = text::Cp1252ToUtf8(textWithZero.substr(0, end));
    {
      // The text counts as started from here: whoever asks after this call returns and the
      // program has dispatched its messages hears that the engine is busy with it.
      std::lock_guard lock(mutex_);
      Post({Event::Started, generation_, sink, {}});
      jobs_.push_back({std::move(utf8), std::move(sink)});
      platform::BeginBackgroundWork();
    }
    ++textsPending_;
    wake_.notify_all();
    return HrOk;
  }

  HResult AudioReset() override {
    std::size_t dropped = 0;
    {
      std::lock_guard lock(mutex_);
      ++generation_;
      dropped = jobs_.size();
      jobs_.clear();
    }
    for (std::size_t i = 0; i < dropped; ++i) platform::EndBackgroundWork();
    // Nothing more is heard of the texts dropped here, the one being spoken included.
    textsPending_ = 0;
    target_->Reset();
    return HrOk;
  }

  ITTSAttributes* QueryAttributes() override { return &attributes_; }

  // ---- the worker's side ----

  // Called by espeak-ng on the worker thread; false ends the synthesis.
  bool Deliver(const short* samples, int count) {
    std::lock_guard lock(mutex_);
    if (synthesisGeneration_ != generation_) return false;
    if (samples && count > 0) Post({Event::Audio, synthesisGeneration_, nullptr, {samples, samples + count}});
    return true;
  }

  // ---- the program thread's side ----

  void HandleNews() {
    std::deque<Event> events;
    uint64_t generation = 0;
    {
      std::lock_guard lock(mutex_);
      events.swap(events_);
      generation = generation_;
    }
    for (Event& event : events) {
      if (event.generation != generation) continue;  // news of texts dropped by a reset
      switch (event.kind) {
        case Event::Started:
          if (event.sink) event.sink->TextDataStarted(platform::NowMs());
          break;
        case Event::Audio:
          target_->Write(event.samples, Espeak().sampleRate);
          if (!audioActive_) {
            audioActive_ = true;
            ForEachNotifySink([](ITTSNotifySink& sink) { sink.AudioStart(platform::NowMs()); });
          }
          break;
        case Event::Done:
          if (textsPending_ > 0) --textsPending_;
          if (event.sink) event.sink->TextDataDone(platform::NowMs(), 0);
          CheckAudioStop();
          break;
      }
    }
  }

  void BlockDone(platform::WaveHeader* header) { target_->BlockDone(header); }

 private:
  struct Job {
    std::string utf8;
    std::shared_ptr<ITTSBufNotifySink> sink;
  };
  struct Event {
    enum Kind { Started, Audio, Done } kind;
    uint64_t generation = 0;
    std::shared_ptr<ITTSBufNotifySink> sink;
    std::vector<int16_t> samples;
  };

  // With mutex_ held.
  void Post(Event event) {
    events_.push_back(std::move(event));
    platform::PostMessage(window_, EngineNewsMessage);
  }

  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      synthesisGeneration_ = generation_;
      lock.unlock();
      Synthesize(job.utf8);
      lock.lock();
      Post({Event::Done, synthesisGeneration_, job.sink, {}});
      platform::EndBackgroundWork();
    }
  }

  void Synthesize(const std::string& utf8) {
    std::lock_guard espeak(Espeak().mutex);
    if (Espeak().voiceSet != voice_) {
      if (espeak_SetVoiceByName(voice_.c_str()) != EE_OK) return;
      Espeak().voiceSet = voice_;
    }
    espeak_SetParameter(espeakRATE, attributes_.rate, 0);
    espeak_SetParameter(espeakPITCH, attributes_.pitch, 0);
    Espeak().synthesizing = this;
    // With the pause at the end of the text, as espeak-ng speaks a text by itself.
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakENDPAUSE, nullptr,
                 nullptr);
    Espeak().synthesizing = nullptr;
  }

  void CheckAudioStop() {
    if (audioActive_ && !target_->Busy() && textsPending_ == 0) {
      audioActive_ = false;
      ForEachNotifySink([](ITTSNotifySink& sink) { sink.AudioStop(platform::NowMs()); });
    }
  }

  template <typename Fn>
  void ForEachNotifySink(Fn fn) {
    const auto sinks = notifySinks_;  // a sink may unregister itself
    for (const auto& [key, sink] : sinks) fn(*sink);
  }

  const std::string voice_;
  const std::shared_ptr<IAudioDest> destination_;
  AudioTarget* const target_;
  platform::Hwnd window_ = 0;
  EspeakAttributes attributes_;

  // Program thread only.
  std::map<uint32_t, std::shared_ptr<ITTSNotifySink>> notifySinks_;
  uint32_t nextKey_ = 1;
  std::ptrdiff_t textsPending_ = 0;  // handed over, their end not yet heard
  bool audioActive_ = false;

  std::mutex mutex_;  // guards everything below
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  std::deque<Event> events_;
  uint64_t generation_ = 0;  // moves on at every reset: older sound is dropped
  uint64_t synthesisGeneration_ = 0;
  bool stopping_ = false;

  std::thread worker_;
};

int SynthCallback(short* samples, int count, espeak_EVENT*) {
  EspeakCentral* engine = Espeak().synthesizing;
  if (!engine) return 1;
  return engine->Deliver(samples, count) ? 0 : 1;
}

intptr_t EngineWindowProc(platform::Hwnd hwnd, uint32_t message, uintptr_t, intptr_t lParam) {
  const auto it = Espeak().engineWindows.find(hwnd);
  if (it == Espeak().engineWindows.end()) return 0;
  if (message == EngineNewsMessage) it->second->HandleNews();
  if (message == platform::MM_WOM_DONE) it->second->BlockDone(reinterpret_cast<platform::WaveHeader*>(lParam));
  return 0;
}

class EspeakEnum final : public ITTSEnum {
 public:
  explicit EspeakEnum(std::vector<TtsModeInfo> modes) : modes_(std::move(modes)) {}

  HResult Reset() override {
    next_ = 0;
    return HrOk;
  }

  HResult Next(uint32_t count, TtsModeInfo* records, uint32_t* fetched) override {
    uint32_t copied = 0;
    while (copied < count && next_ < modes_.size()) records[copied++] = modes_[next_++];
    if (fetched) *fetched = copied;
    return copied == count ? HrOk : HrFalse;
  }

  HResult Select(const Guid& modeId, std::shared_ptr<ITTSCentral>& engine,
                 std::shared_ptr<IAudioDest> destination) override {
    const auto mode =
        std::find_if(modes_.begin(), modes_.end(), [&](const TtsModeInfo& m) { return m.gModeID == modeId; });
    if (mode == modes_.end() || !TargetOf(destination.get())) return HrInvalidArgument;
    if (!StartEspeak()) return HrFail;
    engine = std::make_shared<EspeakCentral>(mode->szSpeaker, std::move(destination));
    return HrOk;
  }

 private:
  std::vector<TtsModeInfo> modes_;
  std::size_t next_ = 0;
};

}  // namespace

std::vector<TtsModeInfo> EspeakModes() { return ListModes(); }

std::unique_lock<std::mutex> HoldEspeak() { return std::unique_lock(Espeak().mutex); }

int EspeakRateForSpeed(uint32_t wordsPerMinute) {
  return static_cast<int>(std::clamp<uint32_t>(wordsPerMinute, espeakRATE_MINIMUM, espeakRATE_MAXIMUM));
}

int EspeakPitchForHz(uint16_t pitchHz) {
  const long value = std::lround((static_cast<double>(pitchHz) - 70.0) * 100.0 / 130.0);
  return static_cast<int>(std::clamp(value, 0L, 100L));
}

Sapi4Objects EspeakSapi4Objects() {
  Sapi4Objects objects;
  objects.CreateMMAudioDest = [] { return std::make_shared<MMAudioDest>(); };
  objects.CreateAudioDestFile = [] { return std::make_shared<AudioDestFile>(); };
  objects.CreateTTSEnumerator = []() -> std::shared_ptr<ITTSEnum> {
    if (!StartEspeak()) return nullptr;
    return std::make_shared<EspeakEnum>(ListModes());
  };
  return objects;
}

}  // namespace speech::sapi

namespace speech {
sapi::Sapi4Objects InstalledSapi4Objects() { return sapi::EspeakSapi4Objects(); }
}  // namespace speech
