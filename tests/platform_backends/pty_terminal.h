#pragma once
// A terminal played by a test on the master side of a pty: it keeps everything the program
// writes, answers the kitty keyboard protocol's questions as a chosen kind of terminal
// does, and sends what a terminal sends for keys.

#include <sys/types.h>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace platform::testing {

enum class TerminalKind {
  Protocol,    // answers the flags query, takes the flags pushed (kitty, foot, ...)
  Late,        // the same, but answers the first question only after the program's wait
  NoReleases,  // answers the flags query, but takes none of the flags that report releases
  OneAnswer,   // answers the first flags query only
  Plain,       // answers only the device attributes (tmux, GNOME Terminal, ...)
  Silent,      // answers nothing
};

// What the console writes to the terminal about the keyboard protocol.
inline constexpr std::string_view ProtocolQuery = "\x1b[?u\x1b[c";
inline constexpr std::string_view FlagsPush = "\x1b[>31u";
inline constexpr std::string_view FlagsPop = "\x1b[<u";
inline constexpr std::string_view NormalScreen = "\x1b[?1049l";
inline constexpr std::string_view AlternateScreen = "\x1b[?1049h";

class PtyTerminal {
 public:
  // An 80x25 pty whose master side is played by a thread of this object.
  explicit PtyTerminal(TerminalKind kind);
  ~PtyTerminal();
  PtyTerminal(const PtyTerminal&) = delete;
  PtyTerminal& operator=(const PtyTerminal&) = delete;

  int Slave() const { return slave_; }  // the program's side
  void Send(std::string_view bytes);
  // Waits until 'text' stands in the output at or after 'from'; returns the offset just
  // after it, or std::string::npos when the time runs out.
  std::size_t WaitFor(std::string_view text, std::size_t from = 0,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));
  std::string Output();
  // True when the program's side is in raw mode (no line editing, no echo).
  bool Raw() const;

 private:
  void Play();
  void Answer(const std::string& output);

  TerminalKind kind_;
  int master_ = -1, slave_ = -1;
  std::mutex mutex_;
  std::condition_variable grown_;
  std::string output_;
  std::size_t scanned_ = 0;  // output looked at for questions
  bool stopping_ = false;
  std::thread player_;
};

// A program run on the pty's slave side as a shell runs a job: a session of its own, led by
// a small process standing for the shell, with the program's process group in the
// foreground, so that SIGTSTP stops it and SIGCONT continues it as at a shell prompt.
class PtyJob {
 public:
  PtyJob(PtyTerminal& terminal, const std::vector<std::string>& arguments, const std::vector<std::string>& environment);
  ~PtyJob();  // ends whatever still runs
  PtyJob(const PtyJob&) = delete;
  PtyJob& operator=(const PtyJob&) = delete;

  pid_t Program() const { return program_; }
  bool WaitStopped(std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // The program's end: its exit status, or 128 + the signal that ended it; -1 when it
  // is still running after the timeout.
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));

 private:
  pid_t leader_ = -1, program_ = -1;
  int status_ = -1;
};

}  // namespace platform::testing
