// The Braille display through brltty's BrlAPI. One thread owns the connection: it
// connects (again every few seconds while there is none), takes the display for the
// program's window or terminal, writes the latest cells the console gave and posts the
// display's keys to the console window. The program's thread only leaves cells in a
// mailbox, so a server that is slow or gone never holds up speech or keys.
#include <brlapi.h>
#include <brlapi_protocol.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/braille/braille.h"
#include "platform/core/backend.h"
#include "platform/services/process.h"
#include "platform/services/signals.h"
#include "text/cp1252.h"

namespace platform {
namespace {

constexpr auto RetryInterval = std::chrono::seconds(3);
// How long a server may take to answer a new connection before the user is told it does
// not answer, and how often the connection's thread looks at the attempt meanwhile.
constexpr auto AnswerBound = std::chrono::milliseconds(1500);
constexpr int AttemptPollMs = 100;
// How long the program's end waits for the connection's thread (which may be waiting for
// the first answer); one stuck on a server that stopped answering is left behind (the
// process ends anyway).
constexpr auto StopWait = std::chrono::milliseconds(2500);
// How often a quiet connection asks for the display's size, so that a display swapped for
// one of another size is drawn anew at once. (brltty could tell of it itself, but the
// library keeps each such watch past a connection the server dropped.)
constexpr int SizeCheckMs = 500;
// Displays have up to 80 cells a row; a larger answer is not one.
constexpr unsigned int MostCells = 256;

// What the server refused, set by the exception handler on the connection's own thread (the
// only one that calls the library); the library then closes the connection and the caller
// sees an error. Cells refused as the display changed size leave the server there,
// so the connection is made again at once and learns the new size.
thread_local std::optional<brlapi_packetType_t> tRefused;

void OnBrlapiException(brlapi_handle_t*, int, brlapi_packetType_t type, const void*, size_t) { tRefused = type; }

// Stopping the game in its terminal (SIGTSTP) gives the display back to brltty with the
// terminal, and continuing takes it again. The terminal's signal handler asks the
// connection's thread through its wake pipe and waits a moment for the answer; only
// async-signal-safe calls are made there.
constexpr char SuspendRequest = 'S', ResumeRequest = 'C';
constexpr int SuspendWaitMs = 300;
// The connection's pipes as the terminal's signal handler reaches them: one display at a
// time, for the process's signals.
struct SignalPipes {
  int wake = -1, answer = -1;
};
SignalPipes gSignalPipes;

void LeaveForSignal(int signal) {
  if (signal != SIGTSTP || gSignalPipes.wake < 0) return;
  [[maybe_unused]] const ssize_t sent = write(gSignalPipes.wake, &SuspendRequest, 1);
  pollfd answer{gSignalPipes.answer, POLLIN, 0};
  if (poll(&answer, 1, SuspendWaitMs) > 0) {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(gSignalPipes.answer, &byte, 1);
  }
}

void ResumeAfterSignal() {
  if (gSignalPipes.wake >= 0) [[maybe_unused]]
    const ssize_t sent = write(gSignalPipes.wake, &ResumeRequest, 1);
}

std::string BrlapiErrorText() {
  const char* text = brlapi_strerror(&brlapi_error);
  return text ? text : "unknown error";
}

// Everything the connection's thread uses; shared with the display object so that a thread
// left behind at the end never touches freed memory.
enum class AttemptState { Waiting, Connected, Failed };
struct Attempt {
  std::mutex mutex;
  AttemptState state = AttemptState::Waiting;  // guarded by mutex
  std::string reason;                          // guarded by mutex
};

struct Connection : std::enable_shared_from_this<Connection> {
  BrailleUse use = BrailleUse::Auto;
  std::mutex mutex;
  std::condition_variable finishedSignal;
  bool finished = false;                 // guarded by mutex
  std::optional<BrailleCells> pending;   // guarded by mutex
  std::optional<unsigned long> xWindow;  // guarded by mutex
  std::optional<std::string> failure;    // guarded by mutex; for the user, once
  std::atomic<bool> stopping{false};
  std::atomic<int> cells{0};
  int wakePipe[2] = {-1, -1};
  int answerPipe[2] = {-1, -1};  // the thread's answer to a suspend request
  bool suspendAsked = false, resumeAsked = false, suspended = false;

  std::vector<unsigned char> handleStorage;
  brlapi_handle_t* handle = nullptr;
  bool connected = false;
  bool failureTold = false;  // once a run: a server that comes and goes is not news
  std::chrono::steady_clock::time_point lastQuickReconnect{};
  std::shared_ptr<Attempt> attempt;  // the connection being made, while there is one
  bool first = true;                 // no attempt was made yet
  std::chrono::steady_clock::time_point attemptStarted{};

  Connection() : handleStorage(brlapi_getHandleSize()) {
    handle = reinterpret_cast<brlapi_handle_t*>(handleStorage.data());
    for (int* fds : {wakePipe, answerPipe}) {
      if (pipe(fds) == 0) {
        for (int i = 0; i < 2; ++i) fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
      }
    }
  }
  ~Connection() {
    for (const int fd : {wakePipe[0], wakePipe[1], answerPipe[0], answerPipe[1]}) {
      if (fd >= 0) close(fd);
    }
  }

  void Wake() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t ignored = write(wakePipe[1], &byte, 1);
  }
  void DrainWake() {
    char drain[64];
    for (ssize_t got = 0; (got = read(wakePipe[0], drain, sizeof drain)) > 0;) {
      for (ssize_t i = 0; i < got; ++i) {
        suspendAsked = suspendAsked || drain[i] == SuspendRequest;
        resumeAsked = resumeAsked || drain[i] == ResumeRequest;
      }
    }
  }

  // False when the server has no display (or one beyond reason). The size is brltty's own
  // (the global parameter): the one a connection learnt when it began does not follow a
  // display swapped for another.
  bool ReadSize() {
    unsigned int columns = 0, rows = 0;
    brlapi_param_displaySize_t size{};
    if (brlapi__getParameter(handle, BRLAPI_PARAM_DISPLAY_SIZE, 0, BRLAPI_PARAMF_GLOBAL, &size, sizeof size) ==
        static_cast<ssize_t>(sizeof size)) {
      columns = size.columns;
    } else if (brlapi__getDisplaySize(handle, &columns, &rows) < 0) {
      return false;
    }
    if (columns == 0 || columns > MostCells) return false;
    if (static_cast<int>(columns) != cells) {
      cells = static_cast<int>(columns);
      PostBrailleCommand(BrailleCommand::Resized);
    }
    return true;
  }

  bool Connect(std::string& reason) {
    tRefused.reset();
    brlapi_connectionSettings_t actual;
    if (brlapi__openConnection(handle, nullptr, &actual) < 0) {
      reason = "cannot connect to the BrlAPI server: " + BrlapiErrorText();
      return false;
    }
    // Opening the connection sets the library's own handler, which ends the program: an
    // error the server reports (a write that crossed a change of display) must only drop
    // the connection.
    brlapi__setExceptionHandler(handle, OnBrlapiException);
    if (!ReadSize()) {
      reason = "brltty has no Braille display";
      brlapi__closeConnection(handle);
      return false;
    }
    std::optional<unsigned long> window;
    {
      std::lock_guard lock(mutex);
      window = xWindow;
    }
    // A window gets the display while it has the focus (brltty's X focus tracking); a
    // terminal names itself (WINDOWID, CONTROLVT or the virtual terminal). Where BrlAPI
    // cannot tell which terminal this is (a pseudo-terminal without X), the game takes the
    // display as a screen reader would.
    int taken = brlapi__enterTtyMode(handle, window ? static_cast<int>(*window) : BRLAPI_TTY_DEFAULT, nullptr);
    if (taken < 0 && !window) taken = brlapi__enterTtyModeWithPath(handle, nullptr, 0, nullptr);
    if (taken < 0) {
      reason = "cannot take the Braille display: " + BrlapiErrorText();
      cells = 0;
      brlapi__closeConnection(handle);
      return false;
    }
    // Only the keys the game uses come to it; brltty keeps the rest. Dots typed on the
    // display are not asked for as dots: brltty then sends the character its own text table
    // gives them (dots 7 and 8 too: capitals, digits), as it would type it on a console.
    brlapi__ignoreKeys(handle, brlapi_rangeType_all, nullptr, 0);
    const brlapi_keyCode_t blocks[] = {BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_ROUTE};
    const brlapi_keyCode_t commands[] = {
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINLT, BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_FWINRT,
        BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNUP, BRLAPI_KEY_TYPE_CMD | BRLAPI_KEY_CMD_LNDN};
    const brlapi_keyCode_t typed[] = {BRLAPI_KEY_TYPE_SYM};
    brlapi__acceptKeys(handle, brlapi_rangeType_command, blocks, std::size(blocks));
    brlapi__acceptKeys(handle, brlapi_rangeType_key, commands, std::size(commands));
    brlapi__acceptKeys(handle, brlapi_rangeType_type, typed, std::size(typed));
    if (tRefused) {
      reason = "the BrlAPI server refused the connection's set-up";
      cells = 0;
      brlapi__closeConnection(handle);
      return false;
    }
    return true;
  }

  void Disconnect() {
    if (!connected) return;
    connected = false;
    cells = 0;
    brlapi__leaveTtyMode(handle);
    brlapi__closeConnection(handle);
  }

  void Lost() {
    connected = false;
    cells = 0;
    brlapi__closeConnection(handle);
    PostBrailleCommand(BrailleCommand::Resized);
  }

  bool Write(const BrailleCells& shown) {
    const auto width = static_cast<std::size_t>(cells.load());
    if (width == 0) return true;
    std::string text;
    std::vector<unsigned char> dots(width, 0);
    for (std::size_t cell = 0; cell < width; ++cell) {
      text::AppendUtf8(text, cell < shown.text.size() ? shown.text[cell] : U' ');
      // The selection is dot 8 under each cell; the cursor is brltty's own (dots 7 and 8 by
      // default), so a cursor inside a selection still shows.
      if (cell < shown.marked.size() && shown.marked[cell]) dots[cell] = BRLAPI_DOT8;
    }
    brlapi_writeArguments_t arguments = BRLAPI_WRITEARGUMENTS_INITIALIZER;
    arguments.regionBegin = 1;
    arguments.regionSize = static_cast<int>(width);
    arguments.text = text.c_str();
    arguments.textSize = static_cast<int>(text.size());
    arguments.orMask = dots.data();
    arguments.cursor = shown.cursor && *shown.cursor < width ? static_cast<int>(*shown.cursor) + 1 : BRLAPI_CURSOR_OFF;
    arguments.charset = "UTF-8";
    return brlapi__write(handle, &arguments) == 0 && !tRefused;
  }

  bool ReadKeys() {
    for (;;) {
      brlapi_keyCode_t code = 0;
      const int got = brlapi__readKeyWithTimeout(handle, 0, &code);
      if (got == 0) return !tRefused;
      if (got < 0) {
        if (brlapi_errno == BRLAPI_ERROR_LIBCERR && brlapi_libcerrno == EINTR) continue;
        return false;
      }
      if (const auto key = TranslateBrlapiKey(code)) {
        PostInput(*key);
      }
    }
  }

  // Waits until woken, the BrlAPI socket has something or timeoutMs passed ('quiet' then
  // set); false when the socket failed.
  bool Wait(int timeoutMs, bool& quiet) {
    pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {-1, POLLIN, 0}};
    if (connected) fds[1].fd = brlapi__getFileDescriptor(handle);
    quiet = poll(fds, 2, timeoutMs) <= 0;
    if (quiet) return true;
    if (fds[0].revents & POLLIN) DrainWake();
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) return ReadKeys();
    return true;
  }

  // Once a run, with BrailleUse::On: why there is no display.
  void TellFailure(const std::string& reason) {
    if (use != BrailleUse::On || failureTold) return;
    {
      std::lock_guard lock(mutex);
      failure = "quelvar: no Braille display (" + reason + "); trying again every few seconds";
    }
    PostBrailleCommand(BrailleCommand::Failed);
    failureTold = true;
  }

  // Connecting waits on the server's answers, so it runs on a thread of its own: a server
  // that never answers holds up only that thread (left behind at the end if it must).
  void StartAttempt() {
    first = false;
    attempt = std::make_shared<Attempt>();
    attemptStarted = std::chrono::steady_clock::now();
    std::thread([self = shared_from_this(), made = attempt] {
      std::string reason;
      const bool ok = self->Connect(reason);
      std::lock_guard lock(made->mutex);
      made->state = ok ? AttemptState::Connected : AttemptState::Failed;
      made->reason = reason;
      self->Wake();
    }).detach();
  }

  AttemptState TakeAttempt(std::string& reason) {
    std::lock_guard lock(attempt->mutex);
    const AttemptState state = attempt->state;
    if (state == AttemptState::Waiting) return state;
    reason = attempt->reason;
    attempt.reset();
    return state;
  }

  void Run() {
    auto nextAttempt = std::chrono::steady_clock::now();
    // Until the first attempt is answered (or found unanswered) the thread goes on even
    // when the program ends, so that a short run still learns why there is no display.
    const auto firstAnswered = [&] { return failureTold || use != BrailleUse::On || (!attempt && !first); };
    for (bool started = false; !(stopping && started && firstAnswered()); started = true) {
      if (suspendAsked) {
        suspendAsked = false;
        Disconnect();
        suspended = true;
        [[maybe_unused]] const ssize_t sent = write(answerPipe[1], &SuspendRequest, 1);
      }
      if (resumeAsked) {
        resumeAsked = suspended = false;
        nextAttempt = std::chrono::steady_clock::now();
      }
      if (suspended) {
        bool quiet = false;
        Wait(-1, quiet);
        continue;
      }
      if (!connected) {
        const auto now = std::chrono::steady_clock::now();
        if (!attempt && now >= nextAttempt) StartAttempt();
        if (attempt) {
          std::string reason;
          switch (TakeAttempt(reason)) {
            case AttemptState::Connected:
              connected = true;
              PostBrailleCommand(BrailleCommand::Resized);
              continue;
            case AttemptState::Failed:
              TellFailure(reason);
              nextAttempt = now + RetryInterval;
              break;
            case AttemptState::Waiting: {
              // A server that took the connection and says nothing (a hung brltty) is told
              // like one that hung up; the attempt goes on, and its end is the retry.
              if (now - attemptStarted >= AnswerBound) TellFailure("the BrlAPI server does not answer");
              bool quiet = false;
              Wait(AttemptPollMs, quiet);
              continue;
            }
          }
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt - now).count();
        bool quiet = false;
        Wait(static_cast<int>(std::max<long long>(wait, 1)), quiet);
        continue;
      }
      std::optional<BrailleCells> shown;
      {
        std::lock_guard lock(mutex);
        shown.swap(pending);
      }
      // Quiet for a while: the display may have been swapped for one of another size.
      bool quiet = false;
      if ((shown && !Write(*shown)) || !Wait(SizeCheckMs, quiet) || (quiet && !ReadSize())) {
        Lost();
        const auto now = std::chrono::steady_clock::now();
        // Once a retry interval at most, so that a server refusing every write is not
        // asked again and again.
        const bool atOnce = tRefused == BRLAPI_PACKET_WRITE && now - lastQuickReconnect >= RetryInterval;
        tRefused.reset();
        if (atOnce) lastQuickReconnect = now;
        nextAttempt = atOnce ? now : now + RetryInterval;
      }
    }
    Disconnect();
    std::lock_guard lock(mutex);
    finished = true;
    finishedSignal.notify_all();
  }
};

class BrlapiDisplay final : public BrailleDisplay {
 public:
  explicit BrlapiDisplay(BrailleUse use) : connection_(std::make_shared<Connection>()) { connection_->use = use; }

  ~BrlapiDisplay() override {
    if (!thread_.joinable()) return;
    gSignalPipes.wake = gSignalPipes.answer = -1;
    connection_->stopping = true;
    connection_->Wake();
    std::unique_lock lock(connection_->mutex);
    if (connection_->finishedSignal.wait_for(lock, StopWait, [this] { return connection_->finished; })) {
      lock.unlock();
      thread_.join();
    } else {
      lock.unlock();
      thread_.detach();
    }
    if (const auto failure = TakeFailure()) TellUser(*failure);
  }

  std::optional<std::string> TakeFailure() override {
    std::lock_guard lock(connection_->mutex);
    std::optional<std::string> failure;
    failure.swap(connection_->failure);
    return failure;
  }

  int Cells() override { return connection_->cells; }

  void Show(const BrailleCells& cells) override {
    {
      std::lock_guard lock(connection_->mutex);
      connection_->pending = cells;
    }
    connection_->Wake();
  }

  void Attach(std::optional<unsigned long> xWindow) override {
    {
      std::lock_guard lock(connection_->mutex);
      connection_->xWindow = xWindow;
    }
    if (thread_.joinable()) return;
    gSignalPipes.wake = connection_->wakePipe[1];
    gSignalPipes.answer = connection_->answerPipe[0];
    AddTerminalSignalSteps(LeaveForSignal, ResumeAfterSignal);
    // The thread takes no signals: they stay the program's (the terminal's handlers), and
    // a write to a server that went away fails instead of raising SIGPIPE.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    thread_ = std::thread([connection = connection_] { connection->Run(); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }

 private:
  std::shared_ptr<Connection> connection_;
  std::thread thread_;
};

}  // namespace

std::optional<BrailleInput> TranslateBrlapiKey(uint64_t code) {
  using Result = BrailleInput;
  const uint64_t value = code & BRLAPI_KEY_CODE_MASK;
  const bool ctrl = (code & BRLAPI_KEY_FLG_CONTROL) != 0;
  if ((code & BRLAPI_KEY_TYPE_MASK) == BRLAPI_KEY_TYPE_CMD) {
    const uint64_t block = value & BRLAPI_KEY_CMD_BLK_MASK;
    const auto argument = static_cast<intptr_t>(value & BRLAPI_KEY_CMD_ARG_MASK);
    if (block == BRLAPI_KEY_CMD_ROUTE) return Result{BrailleCommand::Route, argument};
    switch (value) {
      case BRLAPI_KEY_CMD_FWINLT: return Result{BrailleCommand::PanLeft, 0};
      case BRLAPI_KEY_CMD_FWINRT: return Result{BrailleCommand::PanRight, 0};
      case BRLAPI_KEY_CMD_LNUP: return Result{BrailleCommand::LineUp, 0};
      case BRLAPI_KEY_CMD_LNDN: return Result{BrailleCommand::LineDown, 0};
      default: return std::nullopt;
    }
  }
  if ((code & BRLAPI_KEY_TYPE_MASK) != BRLAPI_KEY_TYPE_SYM) return std::nullopt;
  const auto key = [&](int virtualKey) {
    return Result{BrailleCommand::Key, virtualKey | (ctrl ? BrailleKeyCtrl : 0)};
  };
  switch (value) {
    case BRLAPI_KEY_SYM_BACKSPACE: return key(VK_BACK);
    case BRLAPI_KEY_SYM_TAB: return key(VK_TAB);
    case BRLAPI_KEY_SYM_LINEFEED: return key(VK_RETURN);
    case BRLAPI_KEY_SYM_ESCAPE: return key(VK_ESCAPE);
    case BRLAPI_KEY_SYM_HOME: return key(VK_HOME);
    case BRLAPI_KEY_SYM_LEFT: return key(VK_LEFT);
    case BRLAPI_KEY_SYM_UP: return key(VK_UP);
    case BRLAPI_KEY_SYM_RIGHT: return key(VK_RIGHT);
    case BRLAPI_KEY_SYM_DOWN: return key(VK_DOWN);
    case BRLAPI_KEY_SYM_PAGE_UP: return key(VK_PRIOR);
    case BRLAPI_KEY_SYM_PAGE_DOWN: return key(VK_NEXT);
    case BRLAPI_KEY_SYM_END: return key(VK_END);
    case BRLAPI_KEY_SYM_INSERT: return key(VK_INSERT);
    case BRLAPI_KEY_SYM_DELETE: return key(VK_DELETE);
    default: break;
  }
  if (value >= BRLAPI_KEY_SYM_FUNCTION && value < BRLAPI_KEY_SYM_FUNCTION + 12) {
    return key(VK_F1 + static_cast<int>(value - BRLAPI_KEY_SYM_FUNCTION));
  }
  // Characters: Latin-1 as themselves, any other with the Unicode flag.
  char32_t character = 0;
  if (value < 0x100)
    character = static_cast<char32_t>(value);
  else if ((value & 0xFF000000) == BRLAPI_KEY_SYM_UNICODE)
    character = static_cast<char32_t>(value & 0x00FFFFFF);
  else
    return std::nullopt;
  const std::optional<uint8_t> byte = text::CodePointToCp1252(character);
  if (!byte || *byte < 0x20 || *byte == 0x7F) return std::nullopt;
  uint8_t typed = *byte;
  // Ctrl with a letter makes its control code, as on the keyboard.
  if (ctrl && ((typed >= 'a' && typed <= 'z') || (typed >= 'A' && typed <= 'Z'))) typed = typed & 0x1F;
  return Result{BrailleCommand::Character, typed};
}

std::unique_ptr<BrailleDisplay> ConnectBrailleDisplay(BrailleUse use) {
  if (use == BrailleUse::Off) return nullptr;
  return std::make_unique<BrlapiDisplay>(use);
}

}  // namespace platform
