#include "pty_terminal.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <stdexcept>

namespace platform::testing {

PtyTerminal::PtyTerminal(TerminalKind kind) : kind_(kind) {
  struct winsize size {};
  size.ws_col = 80;
  size.ws_row = 25;
  if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty failed");
  player_ = std::thread([this] { Play(); });
}

PtyTerminal::~PtyTerminal() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  player_.join();
  close(slave_);
  close(master_);
}

void PtyTerminal::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(master_, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::size_t PtyTerminal::WaitFor(std::string_view text, std::size_t from, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  std::size_t found = std::string::npos;
  grown_.wait_for(lock, timeout, [&] {
    found = from <= output_.size() ? output_.find(text, from) : std::string::npos;
    return found != std::string::npos;
  });
  return found == std::string::npos ? found : found + text.size();
}

std::string PtyTerminal::Output() {
  std::lock_guard lock(mutex_);
  return output_;
}

bool PtyTerminal::Raw() const {
  struct termios settings {};
  if (tcgetattr(slave_, &settings) != 0) return false;
  return !(settings.c_lflag & (ICANON | ECHO));
}

void PtyTerminal::Play() {
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    struct pollfd fd = {master_, POLLIN, 0};
    if (poll(&fd, 1, 20) <= 0) continue;
    char buffer[65536];
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got <= 0) {
      // EIO: no program holds the slave side now (ours stays open, so only briefly).
      if (got < 0 && errno != EINTR && errno != EAGAIN && errno != EIO) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    std::string unanswered;  // what may still hold a question, from where the last one ended
    {
      std::lock_guard lock(mutex_);
      output_.append(buffer, static_cast<std::size_t>(got));
      unanswered = output_.substr(scanned_);
    }
    Answer(unanswered);
    grown_.notify_all();
  }
}

// A terminal answers in the order the questions came; the Late kind answers the first one
// after the program has given up waiting for it.
void PtyTerminal::Answer(const std::string& unanswered) {
  const std::string confirmQuery = std::string(FlagsPush) + "\x1b[?u";
  std::size_t at = 0;
  for (;;) {
    const std::size_t query = unanswered.find(ProtocolQuery, at);
    const std::size_t confirm = unanswered.find(confirmQuery, at);
    if (query == std::string::npos && confirm == std::string::npos) break;
    if (query < confirm) {
      at = query + ProtocolQuery.size();
      switch (kind_) {
        case TerminalKind::Protocol:
        case TerminalKind::NoReleases:
        case TerminalKind::OneAnswer: Send("\x1b[?0u\x1b[?62;22c"); break;
        case TerminalKind::Late:
          std::this_thread::sleep_for(std::chrono::milliseconds(400));
          Send("\x1b[?0u\x1b[?62;22c");
          break;
        case TerminalKind::Plain: Send("\x1b[?62;22c"); break;
        case TerminalKind::Silent: break;
      }
    } else {
      at = confirm + confirmQuery.size();
      if (kind_ == TerminalKind::NoReleases)
        Send("\x1b[?1u");
      else if (kind_ == TerminalKind::Protocol || kind_ == TerminalKind::Late)
        Send("\x1b[?31u");
    }
  }
  // Keep the end that may be the start of a question cut by the read.
  const std::size_t keep =
      std::max(at, unanswered.size() > confirmQuery.size() ? unanswered.size() - confirmQuery.size() : 0);
  scanned_ += keep;
}

PtyJob::PtyJob(PtyTerminal& terminal, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment) {
  // Everything the children need is made before the fork: after it, in a process of many
  // threads, only async-signal-safe calls.
  std::vector<char*> argv, envp;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  for (const std::string& variable : environment) envp.push_back(const_cast<char*>(variable.c_str()));
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const int slave = terminal.Slave();
  int report[2];
  if (pipe(report) != 0) throw std::runtime_error("pipe failed");

  leader_ = fork();
  if (leader_ < 0) throw std::runtime_error("fork failed");
  if (leader_ == 0) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    const pid_t program = fork();
    if (program == 0) {
      setpgid(0, 0);
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      sigaction(SIGTTOU, &ignore, nullptr);
      tcsetpgrp(slave, getpid());
      ignore.sa_handler = SIG_DFL;
      sigaction(SIGTTOU, &ignore, nullptr);
      const struct rlimit noCore {};
      setrlimit(RLIMIT_CORE, &noCore);
      dup2(slave, STDIN_FILENO);
      dup2(slave, STDOUT_FILENO);
      for (int fd = 3; fd < 256; ++fd) close(fd);
      execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
    setpgid(program, program);
    ssize_t ignored = write(report[1], &program, sizeof program);
    (void)ignored;
    int status = 0;
    while (waitpid(program, &status, 0) < 0 && errno == EINTR) {
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }
  close(report[1]);
  if (read(report[0], &program_, sizeof program_) != sizeof program_) program_ = -1;
  close(report[0]);
}

PtyJob::~PtyJob() {
  if (status_ >= 0) return;
  if (program_ > 0) {
    kill(program_, SIGKILL);
    kill(program_, SIGCONT);
  }
  Wait(std::chrono::seconds(10));
}

bool PtyJob::WaitStopped(std::chrono::milliseconds timeout) const {
  const auto until = std::chrono::steady_clock::now() + timeout;
  do {
    std::ifstream stat("/proc/" + std::to_string(program_) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t state = line.rfind(") ");
    if (state != std::string::npos && state + 2 < line.size() && line[state + 2] == 'T') return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

int PtyJob::Wait(std::chrono::milliseconds timeout) {
  const auto until = std::chrono::steady_clock::now() + timeout;
  while (status_ < 0) {
    int status = 0;
    const pid_t ended = waitpid(leader_, &status, WNOHANG);
    if (ended == leader_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    if (ended < 0 || std::chrono::steady_clock::now() >= until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

}  // namespace platform::testing
