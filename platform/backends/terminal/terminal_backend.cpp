// Most terminals report no key releases, so there every key is posted as a press followed
// at once by its release, and the Braille chord keyboard (keys held together) cannot work.
// Terminals that speak the kitty keyboard protocol report every press, repeat and release:
// the console asks at start, and where the answer is yes, keys go down and up as in the
// window. The magnifier needs a mouse and pixels, and works in no terminal.
#include "platform/backends/terminal/terminal_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <span>
#include <vector>

#include "platform/backends/shared/real_time.h"
#include "platform/services/process.h"
#include "platform/services/signals.h"
#include "text/cp1252.h"

namespace platform {

// ---- the backend ----

namespace {

using Event = TerminalInput::Event;

// ---- giving the terminal back, and taking it again ----
//
// Everything the signal handlers touch is here. The program thread sets it up before the
// handlers are installed; the handlers only write(2), tcsetattr(3), raise(3) and the like,
// which are async-signal-safe.

constexpr char RestoreSequence[] =
    "\x1b[>4;0m"       // modifyOtherKeys off
    "\x1b[?1004l"      // no focus reports
    "\x1b[0m\x1b[0 q"  // plain colours, the user's cursor shape
    "\x1b[?7h"         // line wrap back on
    "\x1b[?25h"        // cursor visible
    "\x1b[?1049l"      // back to the normal screen
    "\x1b[23;0t";      // the title the terminal had before
// The keyboard protocol's questions: its flags, then the primary device attributes, which
// every terminal answers; a terminal that speaks the protocol answers the first one first.
constexpr char KeyboardProtocolQuery[] = "\x1b[?u\x1b[c";
static_assert(KeyboardProtocolFlags == 31);
constexpr char KeyboardFlagsPush[] = "\x1b[>31u";
constexpr char KeyboardFlagsQuery[] = "\x1b[?u";
// The flags popped before the normal screen comes back: terminals keep one stack per screen.
constexpr char KeyboardFlagsPop[] = "\x1b[<u";
// Without release events or text keys as reports, chords cannot be read.
constexpr int FlagsForReleases = 2 | 8;

// What makes the terminal the console's, after raw mode.
constexpr char SetupSequence[] =
    "\x1b[22;0t"   // keep the terminal's title, to give it back at the end
    "\x1b[?1049h"  // the alternate screen: the user's scrollback stays as it was
    "\x1b[?7l"     // no line wrap: the bottom-right cell must not scroll the screen
    "\x1b[?25l"    // the cursor shows only as the caret
    "\x1b[4 q"     // an underline cursor, like the console's caret
    "\x1b[?1004h"  // focus reports, where the terminal has them
    "\x1b[0m\x1b[2J";
constexpr char ModifyOtherKeysOn[] = "\x1b[>4;1m";  // tells Ctrl+Enter from Enter, where known

struct HeldTerminal {
  int inputFd = -1, outputFd = -1;
  termios saved{}, raw{};
  bool modifyOtherKeys = false;
};

// What the signal handlers share with the program: the terminal held, what is on it now,
// and the handlers there were before. Signals are the
// process's, so this is too; a handler makes only async-signal-safe use of it.
struct TerminalSignals {
  HeldTerminal held;
  volatile sig_atomic_t rawActive = 0;     // raw mode and the console's sequences are on
  volatile sig_atomic_t flagsPushed = 0;   // the keyboard protocol's flags are on the terminal's stack
  volatile sig_atomic_t flagsWanted = 0;   // and go back on when the terminal is taken again
  volatile sig_atomic_t givenForStop = 0;  // given back for SIGTSTP: SIGCONT takes it again
  volatile sig_atomic_t resized = 0;
  volatile sig_atomic_t takenAgain = 0;  // the screen is to be drawn anew
  int wakeWriteFd = -1;
  struct sigaction previousActions[NSIG];
  std::vector<int> moreEnding;  // the signals beyond EndingSignals handled as they are (program thread only)
};

TerminalSignals gSignals;

void WriteAll(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}
template <std::size_t N>
void WriteAll(int fd, const char (&text)[N]) {
  WriteAll(fd, text, N - 1);
}

void WakeProgram() {
  if (gSignals.wakeWriteFd < 0) return;
  const char byte = 0;
  ssize_t ignored = write(gSignals.wakeWriteFd, &byte, 1);
  (void)ignored;
}

// The end of the program's way with the terminal, for good or until SIGCONT.
void GiveTerminalBack() {
  if (!gSignals.rawActive) return;
  gSignals.rawActive = 0;
  if (gSignals.flagsPushed) {
    gSignals.flagsPushed = 0;
    WriteAll(gSignals.held.outputFd, KeyboardFlagsPop);
  }
  WriteAll(gSignals.held.outputFd, RestoreSequence);
  tcsetattr(gSignals.held.inputFd, TCSAFLUSH, &gSignals.held.saved);
}

void TakeTerminal() {
  if (gSignals.rawActive || tcsetattr(gSignals.held.inputFd, TCSAFLUSH, &gSignals.held.raw) != 0) return;
  gSignals.rawActive = 1;
  WriteAll(gSignals.held.outputFd, SetupSequence);
  if (gSignals.held.modifyOtherKeys) WriteAll(gSignals.held.outputFd, ModifyOtherKeysOn);
  if (gSignals.flagsWanted) {
    gSignals.flagsPushed = 1;
    WriteAll(gSignals.held.outputFd, KeyboardFlagsPush);
  }
}

// A program continued in the background takes the terminal when it is brought to the front
// (the shell's fg continues it again).
bool InForeground() {
  const pid_t group = tcgetpgrp(gSignals.held.inputFd);
  return group < 0 || group == getpgrp();
}

constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int CrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};
constexpr int OtherSignals[] = {SIGTSTP, SIGCONT, SIGWINCH};
// Every other signal whose default ends the program: it gives the terminal back too, but
// only where it would end the program (one that is ignored, by the program or by whoever
// started it, such as SIGXFSZ or SIGPIPE, stays ignored). The real-time signals follow.
constexpr int MoreEndingSignals[] = {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF,  SIGXCPU,
                                     SIGXFSZ, SIGPIPE, SIGIO,   SIGPWR,    SIGSTKFLT};

void Install(int signal, void (*handler)(int, siginfo_t*, void*), int flags) {
  struct sigaction action {};
  action.sa_sigaction = handler;
  action.sa_flags = SA_SIGINFO | flags;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void SetDefault(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

void OnEndingSignal(int signal, siginfo_t*, void*) {
  GiveTerminalBack();
  RunLeaveSteps(signal);
  SetDefault(signal);
  raise(signal);
}

void OnCrash(int signal, siginfo_t* info, void*) {
  GiveTerminalBack();
  RunLeaveSteps(signal);
  // The handler there was before (a sanitizer's, or the default) takes it from here: a
  // fault comes back to it as the faulting instruction runs again; a signal sent by someone
  // (si_code 0 or below) is sent again.
  sigaction(signal, &gSignals.previousActions[signal], nullptr);
  if (!info || info->si_code <= 0) raise(signal);
}

void ContinueAfterStop() {
  if (!InForeground()) return;
  if (gSignals.givenForStop) {
    gSignals.givenForStop = 0;
    TakeTerminal();
    RunResumeSteps();
  } else if (gSignals.rawActive) {
    // Stopped by SIGSTOP, without a word: the shell may have set its own modes meanwhile.
    tcsetattr(gSignals.held.inputFd, TCSANOW, &gSignals.held.raw);
  }
  gSignals.takenAgain = 1;
  gSignals.resized = 1;  // the terminal may have changed size meanwhile
  WakeProgram();
}

void OnContinue(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  ContinueAfterStop();
  errno = savedErrno;
}

void OnStop(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  if (gSignals.rawActive) {
    GiveTerminalBack();
    gSignals.givenForStop = 1;
  }
  RunLeaveSteps(SIGTSTP);
  // Stop as the default action does, then take the handler back. A process group that no
  // shell could continue is not stopped at all (the kernel discards the signal): then the
  // program simply goes on.
  SetDefault(SIGTSTP);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);
  Install(SIGTSTP, OnStop, SA_RESTART);
  ContinueAfterStop();
  errno = savedErrno;
}

void OnResize(int, siginfo_t*, void*) {
  const int savedErrno = errno;
  gSignals.resized = 1;
  WakeProgram();
  errno = savedErrno;
}

// The ending signals that are the default's to handle now, beyond EndingSignals.
std::vector<int> DefaultEndingSignals() {
  std::vector<int> signals(std::begin(MoreEndingSignals), std::end(MoreEndingSignals));
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
  std::erase_if(signals, [](int signal) {
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) ||
           current.sa_handler != SIG_DFL;
  });
  return signals;
}

void InstallSignalHandlers() {
  for (const int signal : EndingSignals) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnEndingSignal, 0);
  }
  gSignals.moreEnding = DefaultEndingSignals();
  for (const int signal : gSignals.moreEnding) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnEndingSignal, 0);
  }
  for (const int signal : CrashSignals) {
    sigaction(signal, nullptr, &gSignals.previousActions[signal]);
    Install(signal, OnCrash, 0);
  }
  for (const int signal : OtherSignals) sigaction(signal, nullptr, &gSignals.previousActions[signal]);
  Install(SIGTSTP, OnStop, SA_RESTART);
  Install(SIGCONT, OnContinue, SA_RESTART);
  Install(SIGWINCH, OnResize, SA_RESTART);
}

void RemoveSignalHandlers() {
  for (const auto& group : {std::span<const int>(EndingSignals), std::span<const int>(CrashSignals),
                            std::span<const int>(OtherSignals), std::span<const int>(gSignals.moreEnding)}) {
    for (const int signal : group) sigaction(signal, &gSignals.previousActions[signal], nullptr);
  }
}

constexpr int EscapeTimeoutMs = 50;
constexpr int MostReadsAtOnce = 16;          // 64 KiB of input between two looks at the game
constexpr int KeyboardProtocolWaitMs = 200;  // a terminal that answers nothing costs no more
constexpr uint64_t FrameMs = 16;             // presents that need not be at once: at most about 60 a second

class TerminalBackend : public RealTimeBackend {
 public:
  TerminalBackend(int inputFd, int outputFd)
      : grid_(ConsoleColumns, ConsoleRows), inputFd_(inputFd), outputFd_(outputFd) {}
  ~TerminalBackend() override {
    GiveTerminalBack();
    if (handlersInstalled_) RemoveSignalHandlers();
    gSignals.wakeWriteFd = -1;
    for (const int fd : wakePipe_) {
      if (fd >= 0) close(fd);
    }
    ReleaseToldLines();
  }

  bool Start(std::string& error) {
    if (!isatty(inputFd_) || !isatty(outputFd_)) {
      error = "standard input and output must be a terminal";
      return false;
    }
    if (tcgetattr(inputFd_, &gSignals.held.saved) != 0) {
      error = std::string("cannot read the terminal settings: ") + std::strerror(errno);
      return false;
    }
    if (pipe(wakePipe_) != 0) {
      error = std::string("cannot make a pipe: ") + std::strerror(errno);
      return false;
    }
    for (const int fd : wakePipe_) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    gSignals.wakeWriteFd = wakePipe_[1];
    gSignals.held.inputFd = inputFd_;
    gSignals.held.outputFd = outputFd_;
    // Nothing of an earlier console on another terminal (a test's) carries over.
    gSignals.flagsWanted = 0;
    gSignals.flagsPushed = 0;
    gSignals.givenForStop = 0;

    struct termios& raw = gSignals.held.raw;
    raw = gSignals.held.saved;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | IXON | INPCK | PARMRK);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CS8;
    // Reads never block: what poll said was there may be gone by the read (taking the
    // terminal back after a stop discards unread input).
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;

    const char* term = std::getenv("TERM");
    gSignals.held.modifyOtherKeys =
        term && (std::strstr(term, "xterm") || std::strstr(term, "tmux") || std::strstr(term, "screen") ||
                 std::strstr(term, "kitty") || std::strstr(term, "foot"));

    InstallSignalHandlers();
    handlersInstalled_ = true;
    TakeTerminal();
    if (!gSignals.rawActive) {
      error = std::string("cannot put the terminal in raw mode: ") + std::strerror(errno);
      return false;
    }
    AddExitStep(GiveTerminalBack);
    HoldToldLines();  // they would be drawn over the game: written when it is given back
    // Also when a library ends the process with exit(3), past the program's own end.
    static const bool atExit = std::atexit(GiveTerminalBack) == 0;
    (void)atExit;
    QuerySize();
    AskKeyboardProtocol();
    return true;
  }

  const char* Name() const override { return "terminal"; }
  bool ReportsKeyReleases() override { return releases_; }

  void PollEvents() override {
    ReadInput(0);
    FinishPendingEscape();
    if (gSignals.takenAgain) {
      gSignals.takenAgain = 0;
      SendTitle();
      fullRedraw_ = dirty_ = true;
    }
    if (gSignals.resized) {
      gSignals.resized = 0;
      QuerySize();
      fullRedraw_ = true;
      dirty_ = true;
    }
    if (dirty_ && NowMs() >= lastPresentMs_ + FrameMs) Show();
  }

  void WaitEvents(int timeoutMs) override {
    if (dirty_) Show();
    int wait = timeoutMs;
    if (!pending_.empty()) {
      const auto left = static_cast<int>(std::max<int64_t>(
          0, static_cast<int64_t>(pendingSinceMs_ + EscapeTimeoutMs) - static_cast<int64_t>(NowMs())));
      wait = wait < 0 ? left : std::min(wait, left);
    }
    ReadInput(wait);
    PollEvents();
  }

  void Wake() override {
    const char byte = 0;
    ssize_t ignored = write(wakePipe_[1], &byte, 1);
    (void)ignored;
  }

  // The console asks for a window as large as its text; a smaller terminal still gets
  // the whole screen drawn into its visible part.
  Rect WorkArea() override { return {0, 0, std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  Size ScreenSize() override { return {std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  SystemMetrics Metrics() override { return {}; }
  bool CreateFont(const FontRequest&) override { return true; }
  FontMetrics MeasureFont() override { return {1, 1, 0, 0, 0}; }

  bool OpenWindow(std::string_view title, Size) override {
    grid_ = CellGrid(ConsoleColumns, ConsoleRows);
    grid_.Clear();
    fullRedraw_ = dirty_ = true;
    SetTitle(title);
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(std::string_view cp1252) override {
    std::string title;
    for (const char c : cp1252) {
      const auto byte = static_cast<uint8_t>(c);
      if (byte >= 0x20 && byte != 0x7F) title += c;  // no control bytes inside the OSC
    }
    title_ = text::Cp1252ToUtf8(title);
    SendTitle();
  }
  bool IsActive() override { return focus_; }
  bool HasFocus() override { return focus_; }
  Rect WindowRect() override { return {0, 0, ConsoleColumns, ConsoleRows}; }

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    DrawCells(grid_, x, y, cp1252, foreground, background);
    dirty_ = true;
  }
  void Fill(const Rect& rect, Rgb colour) override {
    FillCells(grid_, rect, colour);
    dirty_ = true;
  }
  void Copy(const Rect& source, int destX, int destY) override {
    CopyCells(grid_, source, destX, destY);
    dirty_ = true;
  }
  void Present(bool urgent) override {
    if (!dirty_) return;
    if (!urgent && NowMs() < lastPresentMs_ + FrameMs) return;  // shown by a later poll
    Show();
  }
  void Caret(bool visible, int x, int y, int, int) override {
    if (visible == caretVisible_ && x == caretX_ && y == caretY_) return;
    caretVisible_ = visible;
    caretX_ = x;
    caretY_ = y;
    dirty_ = true;
  }

  void Bell() override { Write("\x07"); }

 private:
  enum class Probe { Asking, Confirming, Done };

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      // Once the terminal is given back (an exit step, or a signal, even one taken while
      // this writes) nothing more is drawn: it would land on the user's own screen.
      if (!gSignals.rawActive) return;
      const ssize_t written = write(outputFd_, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;  // the terminal is gone; reading will notice and close
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  void SendTitle() { Write("\x1b]0;" + title_ + "\x07"); }

  // Asks whether the terminal speaks the kitty keyboard protocol, and waits a little for
  // the answer; one that comes later still counts (Decode sees to it).
  void AskKeyboardProtocol() {
    probe_ = Probe::Asking;
    Write(KeyboardProtocolQuery);
    const uint64_t until = NowMs() + KeyboardProtocolWaitMs;
    for (uint64_t now = NowMs(); probe_ != Probe::Done && now < until; now = NowMs())
      ReadInput(static_cast<int>(until - now));
  }

  // The terminal speaks the protocol: our flags go on, and keys are taken as it reports
  // them from then on. It is asked once more which flags it took; an answer without the
  // ones that report releases takes them off again (half the protocol is worse than none).
  // Releases count as reported (and the console is told, so that a Braille keyboard set to
  // start on can start) only once that answer says so, or a release has come.
  void OnKeyboardFlags(int flags) {
    switch (probe_) {
      case Probe::Asking:
        probe_ = Probe::Confirming;
        gSignals.flagsWanted = 1;
        gSignals.flagsPushed = 1;  // before the push: a signal now pops at worst one flag set too many
        Write(std::string(KeyboardFlagsPush) + KeyboardFlagsQuery);
        protocol_ = true;
        break;
      case Probe::Confirming:
        probe_ = Probe::Done;
        if ((flags & FlagsForReleases) != FlagsForReleases) {
          protocol_ = releases_ = false;
          gSignals.flagsWanted = 0;
          Write(KeyboardFlagsPop);
          gSignals.flagsPushed = 0;
        } else {
          LearnReleases();
        }
        break;
      case Probe::Done: break;  // an answer nobody asked for
    }
  }

  void LearnReleases() {
    if (releases_) return;
    releases_ = true;
    PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  }

  void QuerySize() {
    struct winsize size {};
    if (ioctl(outputFd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
      columns_ = size.ws_col;
      rows_ = size.ws_row;
    }
  }

  void Show() {
    // A terminal smaller than the console shows what it needs instead of a cut screen, and
    // says it once each time it becomes too small.
    if (columns_ < ConsoleColumns || rows_ < ConsoleRows) {
      if (!tooSmall_ || fullRedraw_) Write("\x1b[?25l" + RenderSizeNotice(columns_, rows_));
      if (!tooSmall_) PostNotice(SizeNoticeText(columns_, rows_));
      tooSmall_ = true;
      fullRedraw_ = dirty_ = false;
      lastPresentMs_ = NowMs();
      return;
    }
    if (tooSmall_) {
      tooSmall_ = false;
      fullRedraw_ = true;
    }
    std::string out = "\x1b[?25l";
    if (fullRedraw_) out += "\x1b[0m\x1b[2J";
    out += RenderGridDiff(fullRedraw_ ? nullptr : &shown_, grid_, columns_, rows_);
    if (caretVisible_ && caretX_ >= 0 && caretY_ >= 0 && caretX_ < std::min(columns_, ConsoleColumns) &&
        caretY_ < std::min(rows_, ConsoleRows)) {
      out += "\x1b[" + std::to_string(caretY_ + 1) + ";" + std::to_string(caretX_ + 1) + "H\x1b[?25h";
    }
    Write(out);
    shown_ = grid_;
    fullRedraw_ = false;
    dirty_ = false;
    lastPresentMs_ = NowMs();
  }

  // Reads what the terminal sent, waiting up to timeoutMs (-1: no limit) for the first byte.
  void ReadInput(int timeoutMs) {
    // Once the terminal has gone, only the wake pipe is watched (poll skips a negative fd).
    struct pollfd fds[2] = {{gone_ ? -1 : inputFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int wait = timeoutMs;
    int reads = 0;
    for (;;) {
      const int ready = poll(fds, 2, wait);
      if (ready <= 0) return;
      if (fds[1].revents & POLLIN) {
        char drain[64];
        while (read(wakePipe_[0], drain, sizeof drain) > 0) {
        }
      }
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t got = read(inputFd_, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got == 0 && !(fds[0].revents & (POLLHUP | POLLERR))) return;  // nothing after all
        if (got <= 0) {
          TerminalGone();
          return;
        }
        const uint64_t now = NowMs();
        // A sequence too long to be a key that the terminal left unended for the ESC
        // timeout is over: what comes now is new input.
        if (decodeState_.skippingSequence && now >= lastInputMs_ + EscapeTimeoutMs) {
          decodeState_.skippingSequence = false;
        }
        lastInputMs_ = now;
        if (pending_.empty()) pendingSinceMs_ = now;
        pending_.append(buffer, static_cast<std::size_t>(got));
        Decode(false);
      }
      // Take whatever else is there, without waiting again; but a flood that never stops
      // must not keep the game from its turn.
      wait = 0;
      if (!(fds[0].revents & POLLIN) || ++reads >= MostReadsAtOnce) return;
    }
  }

  void FinishPendingEscape() {
    if (!pending_.empty() && NowMs() >= pendingSinceMs_ + EscapeTimeoutMs) Decode(true);
  }

  void Decode(bool atEnd) {
    std::vector<TerminalInput> inputs;
    const std::size_t used = DecodeTerminalInput(pending_, atEnd, inputs, decodeState_);
    pending_.erase(0, used);
    if (!pending_.empty()) pendingSinceMs_ = NowMs();
    for (const TerminalInput& input : inputs) {
      switch (input.kind) {
        case TerminalInput::Kind::Key: PostTerminalKey(input); break;
        case TerminalInput::Kind::FocusIn:
          if (!focus_) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
          focus_ = true;
          break;
        case TerminalInput::Kind::FocusOut:
          if (focus_) PostMessage(ConsoleWindowHandle, WM_KILLFOCUS);
          focus_ = false;
          break;
        case TerminalInput::Kind::KeyboardFlags: OnKeyboardFlags(input.flags); break;
        case TerminalInput::Kind::DeviceAttributes:
          if (probe_ == Probe::Asking) probe_ = Probe::Done;  // answered first: no protocol
          break;
      }
    }
  }

  // Where releases are reported a key goes down and up as the terminal says; elsewhere each
  // key is pressed and released at once.
  void PostTerminalKey(const TerminalInput& input) {
    if (input.event == Event::Typed || !protocol_) {
      if (input.event != Event::Release) PostKeyEvent(input.key, true);
      return;
    }
    if (input.event != Event::Release) {
      PostKey(input.key);
    } else if (input.key.virtualKey != 0) {
      PostKey({input.key.virtualKey, input.key.modifiers, std::nullopt, KeyAction::Release});
      LearnReleases();
    }
  }

  void TerminalGone() {
    if (gone_) return;
    gone_ = true;
    PostMessage(ConsoleWindowHandle, WM_CLOSE);
  }

  CellGrid grid_, shown_;
  const int inputFd_, outputFd_;
  bool handlersInstalled_ = false;
  bool dirty_ = false, fullRedraw_ = true;
  bool tooSmall_ = false;  // the size notice is on the screen instead of the console
  bool caretVisible_ = false;
  int caretX_ = 0, caretY_ = 0;
  int columns_ = ConsoleColumns, rows_ = ConsoleRows;
  bool focus_ = true, gone_ = false;
  Probe probe_ = Probe::Done;
  bool protocol_ = false;  // the keyboard protocol is on: keys are taken as it reports them
  bool releases_ = false;  // and the terminal is known to report key releases
  std::string title_;      // UTF-8
  std::string pending_;    // input bytes not decoded yet
  TerminalDecodeState decodeState_;
  uint64_t pendingSinceMs_ = 0;
  uint64_t lastInputMs_ = 0;
  uint64_t lastPresentMs_ = 0;
  int wakePipe_[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<Backend> CreateTerminalBackendOn(int inputFd, int outputFd, std::string& error) {
  auto backend = std::make_unique<TerminalBackend>(inputFd, outputFd);
  if (!backend->Start(error)) return nullptr;
  return backend;
}

std::unique_ptr<Backend> CreateTerminalBackend(std::string& error) {
  return CreateTerminalBackendOn(STDIN_FILENO, STDOUT_FILENO, error);
}

}  // namespace platform
