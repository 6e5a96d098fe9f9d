#include "speech/sapi/speechd_objects.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "platform/services/files.h"
#include "platform/services/process.h"
#include "speech/engine.h"
#include "speech/sapi/sapi5.h"
#include "speech/sapi/ssip.h"
#include "text/cp1252.h"

extern char** environ;

namespace speech::sapi {
namespace {

// speech-dispatcher is spoken to in SSIP over its socket by this file alone: no library of
// its own runs in the program (libspeechd ends the process on a reply it cannot read). A
// thread per connection reads what the daemon sends; the program's thread waits for each
// reply a bounded time. A daemon that answers garbage, half a line, nothing, or goes away
// is lost: the voice says nothing more, and the adapter falls back to the built-in voice.

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds ConnectLimit(2500);  // connecting and the greeting
constexpr milliseconds SpawnLimit(5000);    // starting the daemon, when none listens
constexpr milliseconds CallLimit(1000);     // any later request
// The voice list: a daemon can take seconds to send its thousands of voices (1.3 s here
// with espeak-ng's), so it gets longer than other calls.
constexpr milliseconds VoiceListLimit(6000);

// What the daemon may send at most before it has said a whole reply, and how many replies
// may wait unasked for: more is a daemon gone wrong, not one answering (its longest reply,
// the voice list, is far shorter).
constexpr std::size_t MostReplyBytes = 16 << 20;
constexpr std::size_t MostWaitingReplies = 16;

// One connection to speech-dispatcher.
class SsipConnection {
 public:
  using EventHandler = std::function<void(int code, uint64_t message)>;
  using LossHandler = std::function<void()>;

  SsipConnection(int socket, EventHandler onEvent, LossHandler onLoss)
      : socket_(socket), onEvent_(std::move(onEvent)), onLoss_(std::move(onLoss)) {
    reader_ = std::thread([this] { Read(); });
  }
  SsipConnection(const SsipConnection&) = delete;
  SsipConnection& operator=(const SsipConnection&) = delete;

  ~SsipConnection() {
    if (!Lost()) {
      // A polite goodbye, not waited for.
      constexpr std::string_view Quit = "QUIT\r\n";
      [[maybe_unused]] const ssize_t sent = ::send(socket_, Quit.data(), Quit.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    ::shutdown(socket_, SHUT_RDWR);  // ends the reading thread
    reader_.join();
    ::close(socket_);
  }

  // Sends a command (lines ended by CR LF) and waits for its reply within limit. Nothing
  // when the daemon is lost, now or before.
  std::optional<SsipReply> Request(std::string_view command, milliseconds limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    std::unique_lock lock(mutex_);
    if (lost_) return std::nullopt;
    replies_.clear();
    lock.unlock();
    if (!SendAll(command, deadline)) {
      Lose("took no command");
      return std::nullopt;
    }
    lock.lock();
    if (!replied_.wait_until(lock, deadline, [this] { return lost_ || !replies_.empty(); })) {
      lock.unlock();
      Lose("did not answer within " + std::to_string(limit.count()) + " ms");
      return std::nullopt;
    }
    if (replies_.empty()) return std::nullopt;
    SsipReply reply = std::move(replies_.front());
    replies_.pop_front();
    return reply;
  }

  bool Lost() {
    std::lock_guard lock(mutex_);
    return lost_;
  }
  // Why the daemon was lost, for the player (after "speech-dispatcher"); empty while it is not.
  std::string WhyLost() {
    std::lock_guard lock(mutex_);
    return lost_ ? why_ : std::string();
  }

 private:
  bool SendAll(std::string_view bytes, Clock::time_point deadline) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(sent));
        continue;
      }
      if (sent < 0 && errno == EINTR) continue;
      if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd writable{socket_, POLLOUT, 0};
        if (left > 0 && ::poll(&writable, 1, static_cast<int>(left)) >= 0) continue;
      }
      return false;
    }
    return true;
  }

  // The reading thread: replies to the waiting request, events to the voice.
  void Read() {
    SsipReader reader;
    char buffer[4096];
    std::size_t unreplied = 0;  // bytes since the last whole reply
    for (;;) {
      const ssize_t got = ::recv(socket_, buffer, sizeof buffer, 0);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {  // gone, in the middle of a reply or not
        Lose("closed the connection");
        return;
      }
      const bool readable = reader.Feed(std::string_view(buffer, static_cast<std::size_t>(got)));
      unreplied += static_cast<std::size_t>(got);
      bool flooding = false;
      while (auto reply = reader.Next()) {
        unreplied = 0;
        if (reply->IsEvent()) {
          if (const auto message = SsipMessageNumber(*reply)) onEvent_(reply->code, *message);
          continue;
        }
        std::lock_guard lock(mutex_);
        if (replies_.size() >= MostWaitingReplies) {
          flooding = true;
          break;
        }
        replies_.push_back(std::move(*reply));
        replied_.notify_all();
      }
      if (!readable) {  // garbage, a line without end, a reply without end
        Lose("answers garbage: " + reader.Error());
        return;
      }
      if (flooding || unreplied > MostReplyBytes) {
        Lose("answers garbage: more than it was asked for");
        return;
      }
    }
  }

  // The daemon cannot be talked to any more; a reply it sent in full before still counts.
  void Lose(const std::string& why) {
    {
      std::lock_guard lock(mutex_);
      if (lost_) return;
      lost_ = true;
      why_ = why;
      replied_.notify_all();
    }
    ::shutdown(socket_, SHUT_RDWR);
    onLoss_();
  }

  const int socket_;
  EventHandler onEvent_;
  LossHandler onLoss_;
  std::thread reader_;
  std::mutex mutex_;  // guards what follows
  std::condition_variable replied_;
  std::deque<SsipReply> replies_;
  bool lost_ = false;
  std::string why_;
};

// ---- reaching the daemon ----

// The connected socket, made blocking for its reading thread (sends never wait: they are
// made with MSG_DONTWAIT); -1 for none.
int Connected(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A socket connected to the address within the deadline; -1 otherwise.
int ConnectSocket(const SsipAddress& address, Clock::time_point deadline) {
  std::vector<std::pair<sockaddr_storage, socklen_t>> targets;
  if (address.kind == SsipAddress::Kind::Unix) {
    sockaddr_un unix{};
    unix.sun_family = AF_UNIX;
    if (address.path.size() >= sizeof unix.sun_path) return -1;
    std::memcpy(unix.sun_path, address.path.c_str(), address.path.size() + 1);
    sockaddr_storage storage{};
    std::memcpy(&storage, &unix, sizeof unix);
    targets.emplace_back(storage, static_cast<socklen_t>(sizeof unix));
  } else {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found) != 0) return -1;
    for (addrinfo* at = found; at; at = at->ai_next) {
      sockaddr_storage storage{};
      std::memcpy(&storage, at->ai_addr, at->ai_addrlen);
      targets.emplace_back(storage, at->ai_addrlen);
    }
    ::freeaddrinfo(found);
  }
  for (const auto& [storage, length] : targets) {
    const int fd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) continue;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&storage), length) == 0) return Connected(fd);
    if (errno == EINPROGRESS) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
      pollfd writable{fd, POLLOUT, 0};
      int error = 0;
      socklen_t size = sizeof error;
      if (left > 0 && ::poll(&writable, 1, static_cast<int>(left)) == 1 &&
          ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
        return Connected(fd);
      }
    }
    ::close(fd);
  }
  return -1;
}

// Starts speech-dispatcher on the socket, as its clients are asked to when none listens
// there: "speech-dispatcher --spawn" ($SPEECHD_CMD names another program) returns once the
// daemon is up, or fails when one runs already or the user switched autospawn off.
bool SpawnDaemon(const SsipAddress& address, Clock::time_point deadline) {
  if (address.kind != SsipAddress::Kind::Unix) return false;
  const std::string program = platform::EnvironmentVariable("SPEECHD_CMD").value_or("/usr/bin/speech-dispatcher");
  if (::access(program.c_str(), X_OK) != 0) return false;
  std::vector<std::string> words = {program,       "--spawn",       "--communication-method",
                                    "unix_socket", "--socket-path", address.path};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", O_RDWR, 0);
  pid_t child = 0;
  const int failed = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (Clock::now() >= deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(milliseconds(20));
  }
}

// The user's own folder for the daemon's socket: $XDG_RUNTIME_DIR when it is an absolute
// path, else ~/.cache (never a shared folder); empty when there is none.
std::string RuntimeFolder() {
  if (const auto runtime = platform::EnvironmentVariable("XDG_RUNTIME_DIR"); runtime && runtime->front() == '/') {
    return *runtime;
  }
  const auto home = platform::HomeFolder();
  return home ? *home + "/.cache" : std::string();
}

// Connects to the user's speech-dispatcher, starting it when it is not there yet; -1, with
// the reason noted when it is worth telling, otherwise.
int ConnectToDaemon() {
  std::string error;
  const std::string runtime = RuntimeFolder();
  const auto address = ParseSsipAddress(platform::EnvironmentVariable("SPEECHD_ADDRESS").value_or(""), runtime, error);
  if (!address) {
    NoteEngineOpenFailure("cannot be reached: " + error);
    return -1;
  }
  if (address->kind == SsipAddress::Kind::Unix) {
    if (runtime.empty() && address->path == "/speech-dispatcher/speechd.sock") {  // the usual place, in no folder
      NoteEngineOpenFailure("has no socket folder of this user's (no XDG_RUNTIME_DIR and no home folder)");
      return -1;
    }
    // A socket in a folder that others can write (or, while the daemon has not made its
    // folder yet, the folder it will be made in) may be anyone's: it is not spoken to, and
    // no daemon is started there.
    std::string folder = platform::FolderOf(address->path);
    if (!platform::DirectoryExists(folder)) folder = platform::FolderOf(folder);
    if (const std::string why = platform::WritableByOthers(folder); !why.empty()) {
      NoteEngineOpenFailure("was not spoken to: the folder of its socket, " + folder + ", " + why);
      return -1;
    }
  }
  if (const int fd = ConnectSocket(*address, Clock::now() + ConnectLimit); fd >= 0) return fd;
  const Clock::time_point deadline = Clock::now() + SpawnLimit;
  if (!SpawnDaemon(*address, deadline)) return -1;
  // The daemon may still be getting ready to take connections.
  for (;;) {
    if (const int fd = ConnectSocket(*address, deadline); fd >= 0) return fd;
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(milliseconds(100));
  }
}

// ---- the automation objects ----

std::string ToUtf8(std::u16string_view text) {
  std::string utf8;
  for (const char16_t c : text) text::AppendUtf8(utf8, c);
  return utf8;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return text;
}

// A word of a command: no line end can break out of it.
std::string OneLine(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
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

// speech-dispatcher plays on its own sound device and cannot write a file: the voice
// refuses the stream, so an open with an output file fails.
class SpeechdFileStream final : public ISpeechFileStream {
 public:
  HResult Open(std::u16string_view, int32_t, bool) override { return HrOk; }
  HResult Close() override { return HrOk; }
};

class SpeechdVoice final : public ISpeechVoice {
 public:
  // Takes the connected socket; Greeted() tells whether the daemon took the greeting.
  explicit SpeechdVoice(int socket)
      : connection_(std::make_unique<SsipConnection>(
            socket, [this](int code, uint64_t message) { OnEvent(code, message); }, [this] { OnLoss(); })) {}

  std::string WhyLost() { return connection_->WhyLost(); }

  bool Greeted() {
    return Succeeded("SET SELF CLIENT_NAME quelvar:quelvar:main\r\n") &&
           Succeeded("SET SELF NOTIFICATION END on\r\n") && Succeeded("SET SELF NOTIFICATION CANCEL on\r\n");
  }

  HResult SetEventInterests(int32_t) override { return HrOk; }

  HResult GetVoices(std::u16string_view, std::u16string_view, std::shared_ptr<ISpeechObjectTokens>& tokens) override {
    const auto reply = connection_->Request("LIST SYNTHESIS_VOICES\r\n", VoiceListLimit);
    if (!reply || !reply->Succeeded()) return HrFail;
    std::vector<std::shared_ptr<SpeechdToken>> list;
    for (const std::string& line : reply->lines) {
      // name TAB language TAB variant
      const std::size_t tab = line.find('\t');
      const std::string name = line.substr(0, tab);
      if (name.empty()) continue;
      const std::string language =
          tab == std::string::npos ? std::string() : line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1);
      list.push_back(std::make_shared<SpeechdToken>(name, Lower(language)));
    }
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
    return Succeeded("SET SELF SYNTHESIS_VOICE " + OneLine(ours->Name()) + "\r\n") ? HrOk : HrFail;
  }

  HResult SetRate(int32_t rate) override {
    return Succeeded("SET SELF RATE " + std::to_string(SpeechdRateFor(rate)) + "\r\n") ? HrOk : HrFail;
  }

  HResult SetAudioOutputStream(std::shared_ptr<ISpeechFileStream>) override { return HrNotImplemented; }

  HResult SpeakCompleteEvent(WaitHandle*& handle) override {
    handle = &speakDone_;
    return HrOk;
  }

  HResult Speak(std::u16string_view text, int32_t flags, uint32_t* streamNumber) override {
    if (flags & SpeakPurgeBeforeSpeak) {
      {
        std::lock_guard lock(mutex_);
        outstanding_.clear();
        finishedEarly_.clear();
      }
      Succeeded("CANCEL SELF\r\n");
    }
    const std::string utf8 = ToUtf8(text);
    if (utf8.find_first_not_of(" \t\r\n") == std::string::npos) {
      // Nothing to say: the voice is done as soon as what it had is.
      std::lock_guard lock(mutex_);
      SetWhenIdle();
      return connection_->Lost() ? HrFail : HrOk;
    }
    {
      std::lock_guard lock(mutex_);
      ++speaking_;
      speakDone_.Reset();
    }
    std::optional<uint64_t> message;
    const auto ready = connection_->Request("SPEAK\r\n", CallLimit);
    if (ready && ready->code == 230) {
      if (const auto queued = connection_->Request(SsipSpeakData(utf8), CallLimit); queued && queued->Succeeded()) {
        message = SsipMessageNumber(*queued);
      }
    }
    {
      std::lock_guard lock(mutex_);
      --speaking_;
      if (message && !finishedEarly_.erase(*message)) outstanding_.insert(*message);
      SetWhenIdle();
    }
    if (!message) return HrFail;
    if (streamNumber) *streamNumber = static_cast<uint32_t>(*message);
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

 private:
  bool Succeeded(const std::string& command) {
    const auto reply = connection_->Request(command, CallLimit);
    return reply && reply->Succeeded();
  }

  // On the connection's thread: a message ended or was cancelled.
  void OnEvent(int code, uint64_t message) {
    if (code != SsipEventEnd && code != SsipEventCancel) return;
    std::lock_guard lock(mutex_);
    if (!outstanding_.erase(message) && speaking_ > 0) finishedEarly_.insert(message);
    SetWhenIdle();
  }

  // On the connection's thread: the daemon is lost. No end will come for what it had, so
  // that speech is over; later texts fail to be said.
  void OnLoss() {
    std::lock_guard lock(mutex_);
    outstanding_.clear();
    finishedEarly_.clear();
    speakDone_.Set();
  }

  // With mutex_ held.
  void SetWhenIdle() {
    if (outstanding_.empty() && speaking_ == 0) speakDone_.Set();
  }

  WaitHandle speakDone_;
  std::mutex mutex_;  // guards the message bookkeeping
  // Messages said and not yet ended; messages whose end came before their SPEAK's reply
  // was taken; SPEAKs under way.
  std::set<uint64_t> outstanding_, finishedEarly_;
  int speaking_ = 0;
  // Last, so that it goes first: its thread touches the bookkeeping above.
  std::unique_ptr<SsipConnection> connection_;
};

std::shared_ptr<ISpeechVoice> CreateVoice() {
  const int socket = ConnectToDaemon();
  if (socket < 0) return nullptr;
  auto voice = std::make_shared<SpeechdVoice>(socket);
  if (!voice->Greeted()) {
    if (const std::string why = voice->WhyLost(); !why.empty()) NoteEngineOpenFailure(why);
    return nullptr;
  }
  return voice;
}

}  // namespace

int SpeechdRateFor(int32_t rate) { return std::clamp(rate, -10, 10) * 10; }

Sapi5Objects SpeechdObjects() {
  Sapi5Objects objects;
  objects.CreateSpVoice = [] { return CreateVoice(); };
  objects.CreateSpFileStream = [] { return std::make_shared<SpeechdFileStream>(); };
  return objects;
}

}  // namespace speech::sapi

namespace speech {
sapi::Sapi5Objects InstalledSapi5Objects(bool) { return sapi::SpeechdObjects(); }
}  // namespace speech
