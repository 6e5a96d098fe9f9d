#include "speech/sapi/speechd_objects.h"

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <speech-dispatcher/libspeechd.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "speech/sapi/sapi5.h"
#include "text/cp1252.h"

namespace speech::sapi {
namespace {

// The libspeechd entry points the voice uses.
struct SpeechdApi {
  decltype(&spd_open2) open2 = nullptr;
  decltype(&spd_close) close = nullptr;
  decltype(&spd_say) say = nullptr;
  decltype(&spd_cancel) cancel = nullptr;
  decltype(&spd_set_notification_on) setNotificationOn = nullptr;
  decltype(&spd_list_synthesis_voices) listSynthesisVoices = nullptr;
  decltype(&free_spd_voices) freeVoices = nullptr;
  decltype(&spd_set_synthesis_voice) setSynthesisVoice = nullptr;
  decltype(&spd_set_voice_rate) setVoiceRate = nullptr;
};

const SpeechdApi& LinkedApi() {
  static const SpeechdApi api{&spd_open2,
                              &spd_close,
                              &spd_say,
                              &spd_cancel,
                              &spd_set_notification_on,
                              &spd_list_synthesis_voices,
                              &free_spd_voices,
                              &spd_set_synthesis_voice,
                              &spd_set_voice_rate};
  return api;
}

// The library loaded at run time, once; nothing when it or an entry point is missing.
const SpeechdApi* LoadedApi() {
  static const std::optional<SpeechdApi> api = []() -> std::optional<SpeechdApi> {
    void* library = dlopen("libspeechd.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return std::nullopt;
    SpeechdApi loaded;
    bool complete = true;
    const auto find = [&](auto& entry, const char* name) {
      entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(library, name));
      complete = complete && entry != nullptr;
    };
    find(loaded.open2, "spd_open2");
    find(loaded.close, "spd_close");
    find(loaded.say, "spd_say");
    find(loaded.cancel, "spd_cancel");
    find(loaded.setNotificationOn, "spd_set_notification_on");
    find(loaded.listSynthesisVoices, "spd_list_synthesis_voices");
    find(loaded.freeVoices, "free_spd_voices");
    find(loaded.setSynthesisVoice, "spd_set_synthesis_voice");
    find(loaded.setVoiceRate, "spd_set_voice_rate");
    // The library stays loaded: its thread may outlive any one voice's close.
    if (!complete) return std::nullopt;
    return loaded;
  }();
  return api ? &*api : nullptr;
}

// ---- calls that cannot hang the program ----
// libspeechd waits for the daemon's answer without a limit, and a daemon that accepted the
// connection but never answers would keep the program waiting for ever. So each call runs
// on a thread of its own while the program waits for it a bounded time; a call that does
// not end in time is left to end on its own, and its connection is given up.

constexpr auto OpenLimit = std::chrono::milliseconds(2500);  // connecting and greeting
constexpr auto CallLimit = std::chrono::milliseconds(1000);  // any later request
// The voice list: a daemon that has answered the greeting can take seconds to send its
// thousands of voices (1.3 s here with espeak-ng's), so it gets longer than other calls.
constexpr auto VoiceListLimit = std::chrono::milliseconds(6000);

// Connections given up while a call on them may still be under way: never closed (the
// call would use freed memory), and kept here so that they count as still in use.
// Like everything a late call or libspeechd's own thread may touch, they are never
// destroyed: such a thread can still be running while the program ends.
std::mutex& gAbandonedMutex = *new std::mutex;
std::vector<SPDConnection*>& gAbandoned = *new std::vector<SPDConnection*>;

template <typename Result>
struct PendingCall {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  bool givenUp = false;
  Result result{};
};

// Runs call within limit; nothing when it did not end in time. A call that ends after it
// was given up hands its result to late (on its own thread).
template <typename Result>
std::optional<Result> WithinLimit(std::chrono::milliseconds limit, std::function<Result()> call,
                                  std::function<void(Result)> late = {}) {
  auto pending = std::make_shared<PendingCall<Result>>();
  try {
    std::thread([pending, call = std::move(call), late = std::move(late)] {
      Result result = call();
      std::unique_lock lock(pending->mutex);
      if (pending->givenUp) {
        lock.unlock();
        if (late) late(result);
        return;
      }
      pending->result = result;
      pending->done = true;
      pending->ended.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return std::nullopt;  // no thread to be had: as good as no answer
  }
  std::unique_lock lock(pending->mutex);
  if (!pending->ended.wait_for(lock, limit, [&] { return pending->done; })) {
    pending->givenUp = true;
    return std::nullopt;
  }
  return pending->result;
}

std::string ToUtf8(std::u16string_view text) {
  std::string utf8;
  for (const char16_t c : text) text::AppendUtf8(utf8, c);
  return utf8;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

class SpeechdToken final : public ISpeechObjectToken {
 public:
  SpeechdToken(std::string name, std::string language) : name_(std::move(name)), language_(std::move(language)) {}
  std::string GetDescription() override { return name_ + " (" + language_ + ")"; }
  const std::string& Name() const { return name_; }
  const std::string& Language() const { return language_; }

 private:
  std::string name_, language_;
};

class SpeechdTokens final : public ISpeechObjectTokens {
 public:
  explicit SpeechdTokens(std::vector<std::shared_ptr<SpeechdToken>> tokens) : tokens_(std::move(tokens)) {}
  int32_t Count() override { return static_cast<int32_t>(tokens_.size()); }
  HResult Item(int32_t index, std::shared_ptr<ISpeechObjectToken>& token) override {
    if (index < 0 || index >= Count()) return HrInvalidArgument;
    token = tokens_[static_cast<std::size_t>(index)];
    return HrOk;
  }

 private:
  std::vector<std::shared_ptr<SpeechdToken>> tokens_;
};

class SpeechdFileStream final : public ISpeechFileStream {
 public:
  ~SpeechdFileStream() override { Close(); }
  HResult Open(std::u16string_view fileName, int32_t, bool) override {
    Close();
    file_ = std::fopen(ToUtf8(fileName).c_str(), "wb");
    return file_ ? HrOk : HrFail;
  }
  HResult Close() override {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    return HrOk;
  }

 private:
  std::FILE* file_ = nullptr;
};

class SpeechdVoice;
// Never destroyed, as the abandoned connections above: libspeechd's thread may still
// report an end while the program ends.
std::mutex& gVoicesMutex = *new std::mutex;  // guards gVoices and every voice's message bookkeeping
std::set<SpeechdVoice*>& gVoices = *new std::set<SpeechdVoice*>;

void OnNotification(size_t messageId, size_t clientId, SPDNotificationType type);

class SpeechdVoice final : public ISpeechVoice {
 public:
  SpeechdVoice(const SpeechdApi& api, SPDConnection* connection) : api_(api), connection_(connection) {
    {
      std::lock_guard lock(gVoicesMutex);
      gVoices.insert(this);
    }
    WatchConnection();
  }

  ~SpeechdVoice() override {
    if (watcher_.joinable()) {
      const uint64_t one = 1;
      [[maybe_unused]] const ssize_t written = write(stopWatching_, &one, sizeof one);
      watcher_.join();
    }
    if (stopWatching_ >= 0) close(stopWatching_);
    {
      std::lock_guard lock(gVoicesMutex);
      gVoices.erase(this);
    }
    if (givenUp_) {
      std::lock_guard lock(gAbandonedMutex);
      gAbandoned.push_back(connection_);
      return;
    }
    api_.close(connection_);
  }

  // Whether the daemon stopped answering or went away: the voice says nothing any more.
  bool Gone() {
    std::lock_guard lock(gVoicesMutex);
    return givenUp_ || lost_;
  }

  HResult SetEventInterests(int32_t interests) override {
    eventInterests_ = interests;
    return HrOk;
  }

  HResult GetVoices(std::u16string_view, std::u16string_view, std::shared_ptr<ISpeechObjectTokens>& tokens) override {
    std::vector<std::shared_ptr<SpeechdToken>> list;
    const SpeechdApi& api = api_;
    SPDConnection* connection = connection_;
    const auto answered = Call<std::vector<std::pair<std::string, std::string>>>(
        [&api, connection] {
          std::vector<std::pair<std::string, std::string>> found;
          if (SPDVoice** voices = api.listSynthesisVoices(connection)) {
            for (SPDVoice** voice = voices; *voice; ++voice) {
              if ((*voice)->name) found.emplace_back((*voice)->name, (*voice)->language ? (*voice)->language : "");
            }
            api.freeVoices(voices);
          }
          return found;
        },
        VoiceListLimit);
    if (!answered) return HrFail;
    for (const auto& [name, language] : *answered)
      list.push_back(std::make_shared<SpeechdToken>(name, Lower(language)));
    const auto rank = [](const std::shared_ptr<SpeechdToken>& token) {
      if (token->Language() == "pt-br") return 0;
      if (token->Language().rfind("pt", 0) == 0) return 1;
      return 2;
    };
    std::stable_sort(list.begin(), list.end(), [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    tokens = std::make_shared<SpeechdTokens>(std::move(list));
    return HrOk;
  }

  HResult SetVoice(std::shared_ptr<ISpeechObjectToken> token) override {
    const auto* ours = dynamic_cast<SpeechdToken*>(token.get());
    if (!ours) return HrInvalidArgument;
    const SpeechdApi& api = api_;
    SPDConnection* connection = connection_;
    const auto answer =
        Call<int>([&api, connection, name = ours->Name()] { return api.setSynthesisVoice(connection, name.c_str()); });
    return answer == 0 ? HrOk : HrFail;
  }

  HResult SetRate(int32_t rate) override {
    const SpeechdApi& api = api_;
    SPDConnection* connection = connection_;
    const auto answer =
        Call<int>([&api, connection, rate] { return api.setVoiceRate(connection, SpeechdRateFor(rate)); });
    return answer == 0 ? HrOk : HrFail;
  }

  // speech-dispatcher plays on its own sound device and cannot write a file.
  HResult SetAudioOutputStream(std::shared_ptr<ISpeechFileStream>) override { return HrNotImplemented; }

  HResult SpeakCompleteEvent(WaitHandle*& handle) override {
    handle = &speakDone_;
    return HrOk;
  }

  HResult Speak(std::u16string_view text, int32_t flags, uint32_t* streamNumber) override {
    if (flags & SpeakPurgeBeforeSpeak) {
      {
        std::lock_guard lock(gVoicesMutex);
        outstanding_.clear();
        finishedEarly_.clear();
      }
      const SpeechdApi& api = api_;
      SPDConnection* connection = connection_;
      Call<int>([&api, connection] { return api.cancel(connection); });
    }
    const std::string utf8 = ToUtf8(text);
    if (utf8.find_first_not_of(" \t\r\n") == std::string::npos) {
      // Nothing to say: the voice is done as soon as what it had is.
      std::lock_guard lock(gVoicesMutex);
      SetWhenIdle();
      return HrOk;
    }
    {
      std::lock_guard lock(gVoicesMutex);
      ++speaking_;
      speakDone_.Reset();
    }
    const SpeechdApi& api = api_;
    SPDConnection* connection = connection_;
    const int messageId =
        Call<int>([&api, connection, utf8] { return api.say(connection, SPD_TEXT, utf8.c_str()); }).value_or(-1);
    {
      std::lock_guard lock(gVoicesMutex);
      --speaking_;
      if (messageId >= 0 && !finishedEarly_.erase(static_cast<size_t>(messageId))) {
        outstanding_.insert(static_cast<size_t>(messageId));
      }
      SetWhenIdle();
    }
    if (messageId < 0) return HrFail;
    if (streamNumber) *streamNumber = static_cast<uint32_t>(messageId);
    if (!(flags & SpeakAsync)) speakDone_.Wait(std::chrono::minutes(1));
    return HrOk;
  }

  HResult PutPropertyByRef(std::string_view name, const PropertyValue& value) override {
    if (name == "Voice" && std::holds_alternative<std::shared_ptr<ISpeechObjectToken>>(value)) {
      return SetVoice(std::get<std::shared_ptr<ISpeechObjectToken>>(value));
    }
    if (name == "AudioOutputStream" && std::holds_alternative<std::shared_ptr<ISpeechFileStream>>(value)) {
      return SetAudioOutputStream(std::get<std::shared_ptr<ISpeechFileStream>>(value));
    }
    return HrInvalidArgument;
  }

  // With gVoicesMutex held: speech-dispatcher went away. No end will come for what it had,
  // so that speech is over; later texts fail to be said.
  void Lost() {
    lost_ = true;
    outstanding_.clear();
    finishedEarly_.clear();
    SetWhenIdle();
  }

  // On libspeechd's thread, with gVoicesMutex held: a message ended or was cancelled.
  void Finished(size_t messageId) {
    if (!outstanding_.erase(messageId) && speaking_ > 0) finishedEarly_.insert(messageId);
    SetWhenIdle();
  }

  bool Connected() {
    connection_->callback_end = OnNotification;
    connection_->callback_cancel = OnNotification;
    const SpeechdApi& api = api_;
    SPDConnection* connection = connection_;
    const auto answer = Call<int>([&api, connection] {
      return api.setNotificationOn(connection, SPD_END) == 0 && api.setNotificationOn(connection, SPD_CANCEL) == 0 ? 0
                                                                                                                   : -1;
    });
    return answer == 0;
  }

 private:
  // One request to the daemon, bounded in time; nothing when the voice is gone or the
  // daemon did not answer in time, after which the connection is given up: shut, so that
  // libspeechd's own thread and the call left waiting see its end.
  template <typename Result>
  std::optional<Result> Call(std::function<Result()> call, std::chrono::milliseconds limit = CallLimit) {
    if (Gone()) return std::nullopt;
    auto answer = WithinLimit<Result>(limit, std::move(call));
    if (!answer) {
      std::lock_guard lock(gVoicesMutex);
      givenUp_ = true;
      ::shutdown(connection_->socket, SHUT_RDWR);
      Lost();
    }
    return answer;
  }

  // libspeechd gives no news when the daemon goes: a thread of ours waits on a copy of the
  // connection's socket (its descriptor is in libspeechd's public struct) for the daemon's
  // end of it to close.
  void WatchConnection() {
    const int socket = dup(connection_->socket);
    stopWatching_ = eventfd(0, EFD_CLOEXEC);
    if (socket < 0 || stopWatching_ < 0) {
      if (socket >= 0) close(socket);
      return;
    }
    watcher_ = std::thread([this, socket] {
      pollfd watched[2] = {{socket, POLLRDHUP, 0}, {stopWatching_, POLLIN, 0}};
      for (;;) {
        if (poll(watched, 2, -1) < 0) continue;
        if (watched[1].revents) break;
        if (watched[0].revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) {
          std::lock_guard lock(gVoicesMutex);
          Lost();
          break;
        }
      }
      close(socket);
    });
  }

  // With gVoicesMutex held.
  void SetWhenIdle() {
    if (outstanding_.empty() && speaking_ == 0) speakDone_.Set();
  }

  const SpeechdApi& api_;
  SPDConnection* const connection_;
  int32_t eventInterests_ = 0;
  WaitHandle speakDone_;
  // Guarded by gVoicesMutex: messages said and not yet ended; messages whose end came
  // before spd_say returned their number; calls to spd_say under way.
  std::set<size_t> outstanding_, finishedEarly_;
  int speaking_ = 0;
  std::thread watcher_;
  int stopWatching_ = -1;  // an eventfd: written when the voice goes
  bool givenUp_ = false;   // guarded by gVoicesMutex: a call did not end in time
  bool lost_ = false;      // guarded by gVoicesMutex: the daemon went away
};

void OnNotification(size_t messageId, size_t, SPDNotificationType) {
  std::lock_guard lock(gVoicesMutex);
  for (SpeechdVoice* voice : gVoices) voice->Finished(messageId);
}

std::shared_ptr<ISpeechVoice> CreateVoice(const SpeechdApi* api) {
  if (!api) return nullptr;
  // A daemon that goes away must not take the program with it: a write to its socket
  // then fails instead of raising SIGPIPE.
  struct sigaction current {};
  if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  const auto opened = WithinLimit<SPDConnection*>(
      OpenLimit,
      [api] {
        char* error = nullptr;
        SPDConnection* connection = api->open2("quelvar", "main", "quelvar", SPD_MODE_THREADED, nullptr, 1, &error);
        std::free(error);
        return connection;
      },
      [](SPDConnection* late) {
        // Answered after all, too late: nobody uses this connection.
        if (!late) return;
        std::lock_guard lock(gAbandonedMutex);
        gAbandoned.push_back(late);
      });
  SPDConnection* connection = opened.value_or(nullptr);
  if (!connection) return nullptr;
  auto voice = std::make_shared<SpeechdVoice>(*api, connection);
  if (!voice->Connected()) return nullptr;
  return voice;
}

Sapi5Objects ObjectsOver(const SpeechdApi* (*api)()) {
  Sapi5Objects objects;
  objects.CreateSpVoice = [api] { return CreateVoice(api()); };
  objects.CreateSpFileStream = [] { return std::make_shared<SpeechdFileStream>(); };
  return objects;
}

}  // namespace

int SpeechdRateFor(int32_t rate) { return std::clamp(rate, -10, 10) * 10; }

Sapi5Objects SpeechdLinkedObjects() {
  return ObjectsOver([]() -> const SpeechdApi* { return &LinkedApi(); });
}
Sapi5Objects SpeechdLoadedObjects() { return ObjectsOver(LoadedApi); }

}  // namespace speech::sapi

namespace speech {
sapi::Sapi5Objects InstalledSapi5Objects(bool lateBound) {
  return lateBound ? sapi::SpeechdLoadedObjects() : sapi::SpeechdLinkedObjects();
}
}  // namespace speech

#if defined(__SANITIZE_ADDRESS__)
// libspeechd keeps what it allocated when a connection fails half-way (no daemon, one that
// never answers, one that hangs up), and its frames cannot be followed past the C library's
// formatting: the leak checker is told that these are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libspeechd.so\nleak:__vasprintf_internal\n"; }
#endif
