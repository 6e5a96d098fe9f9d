#include "pty_terminal.h"

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
        case TerminalKind::NoReleases: Send("\x1b[?0u\x1b[?62;22c"); break;
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
  const std::size_t keep = std::max(at, unanswered.size() > confirmQuery.size() ? unanswered.size() - confirmQuery.size() : 0);
  scanned_ += keep;
}

}  // namespace platform::testing
