#include "platform/services/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#else
#include <poll.h>
#include <signal.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/core/win.h"
#include "platform/services/process.h"
#include "text/cp1252.h"

namespace platform {
namespace {

// How long a FIFO may wait for its reader at the start, and how long a reader that stopped
// reading may hold the game up before its file counts as failed.
constexpr auto ReaderWait = std::chrono::seconds(1);
constexpr int StalledReaderMs = 5000;

#ifdef _WIN32
int CreateForWriting(const std::string& path) {
  return ::_wopen(text::WideFileName(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* from, std::size_t n) {
  return ::_write(fd, from, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
bool SeekTo(int fd, uint64_t offset) { return ::_lseeki64(fd, static_cast<__int64>(offset), SEEK_SET) >= 0; }
bool SeekToEnd(int fd) { return ::_lseeki64(fd, 0, SEEK_END) >= 0; }
int CloseFile(int fd) { return ::_close(fd); }
#else
int CreateForWriting(const std::string& path) {
  // Without O_NONBLOCK, opening a FIFO that nothing reads would wait for ever.
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
}
long WriteSome(int fd, const char* from, std::size_t n) { return static_cast<long>(::write(fd, from, n)); }
bool SeekTo(int fd, uint64_t offset) { return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) >= 0; }
bool SeekToEnd(int fd) { return ::lseek(fd, 0, SEEK_END) >= 0; }
int CloseFile(int fd) { return ::close(fd); }
#endif

}  // namespace

bool OutputFile::Create(const std::string& path, std::string_view what, std::string* reason) {
  Close();
  failed_ = false;
  path_ = path;
  what_ = std::string(what);
  [[maybe_unused]] const auto start = std::chrono::steady_clock::now();
  for (;;) {
    fd_ = CreateForWriting(path);
    if (fd_ >= 0) break;
    if (errno == EINTR) continue;
#ifndef _WIN32
    // A FIFO with no reader: give the reader a moment to come.
    if (errno == ENXIO) {
      if (std::chrono::steady_clock::now() - start < ReaderWait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        continue;
      }
      if (reason) *reason = "it is a FIFO and nothing reads from it";
      return false;
    }
#endif
    if (reason) *reason = std::strerror(errno);
    return false;
  }
#ifdef _WIN32
  struct _stat64 status {};
  seekable_ = ::_fstat64(fd_, &status) == 0 && (status.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat status {};
  if (::fstat(fd_, &status) != 0) {
    if (reason) *reason = std::strerror(errno);
    Close();
    return false;
  }
  seekable_ = S_ISREG(status.st_mode);
  pipe_ = S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
  if (pipe_) {
    // A reader that goes away must fail the write, not end the program.
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) signal(SIGPIPE, SIG_IGN);
  } else {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  }
#endif
  return true;
}

void OutputFile::Fail(const std::string& reason) {
  if (failed_) return;
  failed_ = true;
  NoteRunFailed();
  TellUser("quelvar: cannot write " + what_ + " '" + path_ + "': " + reason + "; the game goes on without it");
}

bool OutputFile::Write(std::string_view bytes) {
  if (!Good()) return false;
  while (!bytes.empty()) {
    const long n = WriteSome(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
#ifndef _WIN32
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && pipe_) {
      pollfd writable{fd_, POLLOUT, 0};
      const int ready = ::poll(&writable, 1, StalledReaderMs);
      if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
      Fail("nothing has read from it for " + std::to_string(StalledReaderMs / 1000) + " seconds");
      return false;
    }
#endif
    Fail(n < 0 ? std::strerror(errno) : "the file takes no more bytes");
    return false;
  }
  return true;
}

bool OutputFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
  if (!Good()) return false;
  if (!SeekTo(fd_, offset)) {
    Fail(std::strerror(errno));
    return false;
  }
  const bool written = Write(bytes);
  if (written && !SeekToEnd(fd_)) {
    Fail(std::strerror(errno));
    return false;
  }
  return written;
}

bool OutputFile::Close() {
  if (fd_ < 0) return !failed_;
  if (CloseFile(fd_) != 0 && !failed_) Fail(std::strerror(errno));
  fd_ = -1;
  return !failed_;
}

}  // namespace platform
