#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "text/cp1252.h"

namespace text {
namespace {

#ifdef _WIN32
// Windows opens by UTF-16 name; a file is never a FIFO or a terminal there.
int OpenForReading(const std::string& path) {
  return ::_wopen(WideFileName(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}
struct FileInfo {
  bool folder = false, regular = false;
  int64_t size = 0;
};
bool Describe(int fd, FileInfo& info) {
  struct _stat64 status {};
  if (::_fstat64(fd, &status) != 0) return false;
  info = {(status.st_mode & _S_IFMT) == _S_IFDIR, (status.st_mode & _S_IFMT) == _S_IFREG, status.st_size};
  return true;
}
void StopNonBlocking(int) {}
long ReadSome(int fd, char* into, std::size_t n) {
  return ::_read(fd, into, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
void CloseFile(int fd) { ::_close(fd); }
std::FILE* StreamOver(int fd) { return ::_fdopen(fd, "rb"); }
int CreateExclusive(const std::string& path) {
  return ::_wopen(WideFileName(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* from, std::size_t n) {
  return ::_write(fd, from, static_cast<unsigned>(std::min<std::size_t>(n, 1u << 30)));
}
bool Flush(int fd) { return ::_commit(fd) == 0; }
// Windows' rename never replaces an existing file.
bool NameWithoutReplacing(const std::string& from, const std::string& to) {
  return ::_wrename(WideFileName(from).c_str(), WideFileName(to).c_str()) == 0;
}
void Remove(const std::string& path) { ::_wunlink(WideFileName(path).c_str()); }
int ProcessId() { return ::_getpid(); }
// Windows keeps times to the second in these; its "change" time is the creation time.
FileStamp StampFrom(const struct _stat64& status) {
  return {static_cast<uint64_t>(status.st_dev),
          static_cast<uint64_t>(status.st_ino),
          status.st_size,
          static_cast<int64_t>(status.st_mtime) * 1000000000,
          static_cast<int64_t>(status.st_ctime) * 1000000000,
          (status.st_mode & _S_IFMT) == _S_IFREG};
}
std::optional<FileStamp> StampOfPath(const std::string& path) {
  struct _stat64 status {};
  if (::_wstat64(WideFileName(path).c_str(), &status) != 0) return std::nullopt;
  return StampFrom(status);
}
std::optional<FileStamp> StampOfDescriptor(int fd) {
  struct _stat64 status {};
  if (::_fstat64(fd, &status) != 0) return std::nullopt;
  return StampFrom(status);
}
#else
int OpenForReading(const std::string& path) {
  return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}
struct FileInfo {
  bool folder = false, regular = false;
  int64_t size = 0;
};
bool Describe(int fd, FileInfo& info) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  info = {S_ISDIR(status.st_mode), S_ISREG(status.st_mode), status.st_size};
  return true;
}
// Reads from here on may wait for the disk as reads of regular files always do.
void StopNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}
long ReadSome(int fd, char* into, std::size_t n) { return static_cast<long>(::read(fd, into, n)); }
void CloseFile(int fd) { ::close(fd); }
std::FILE* StreamOver(int fd) { return ::fdopen(fd, "rb"); }
int CreateExclusive(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}
long WriteSome(int fd, const char* from, std::size_t n) { return static_cast<long>(::write(fd, from, n)); }
bool Flush(int fd) { return ::fsync(fd) == 0; }
#ifdef __EMSCRIPTEN__
// The web's file systems have no hard links. Only this program writes in them, so a name
// that is free now is still free at the rename.
bool NameWithoutReplacing(const std::string& from, const std::string& to) {
  struct stat status {};
  return ::stat(to.c_str(), &status) != 0 && ::rename(from.c_str(), to.c_str()) == 0;
}
#else
// A hard link fails when the name exists.
bool NameWithoutReplacing(const std::string& from, const std::string& to) {
  return ::link(from.c_str(), to.c_str()) == 0;
}
#endif
void Remove(const std::string& path) { ::unlink(path.c_str()); }
int ProcessId() { return static_cast<int>(::getpid()); }
int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }
FileStamp StampFrom(const struct stat& status) {
  return {static_cast<uint64_t>(status.st_dev), static_cast<uint64_t>(status.st_ino), status.st_size,
          Nanoseconds(status.st_mtim),          Nanoseconds(status.st_ctim),          S_ISREG(status.st_mode)};
}
std::optional<FileStamp> StampOfPath(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return StampFrom(status);
}
std::optional<FileStamp> StampOfDescriptor(int fd) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return std::nullopt;
  return StampFrom(status);
}
#endif

// Opens path for reading without blocking on a FIFO or a device, and keeps it only when it
// is a regular file of at most limit bytes.
FileDescriptor OpenChecked(const std::string& path, std::size_t limit, FileRefusal& refusal, int64_t& size) {
  int opened = -1;
  do {
    opened = OpenForReading(path);
  } while (opened < 0 && errno == EINTR);
  if (opened < 0) {
    refusal = (errno == ENOENT || errno == ENOTDIR) ? FileRefusal::Missing : FileRefusal::Unreadable;
    return FileDescriptor();
  }
  FileDescriptor fd(opened);
  FileInfo info;
  if (!Describe(fd.Get(), info)) {
    refusal = FileRefusal::Unreadable;
  } else if (info.folder) {
    refusal = FileRefusal::Folder;
  } else if (!info.regular) {
    refusal = FileRefusal::NotRegular;
  } else if (info.size < 0 || static_cast<uint64_t>(info.size) > limit) {
    refusal = FileRefusal::TooLarge;
  } else {
    StopNonBlocking(fd.Get());
    refusal = FileRefusal::None;
    size = info.size;
    return fd;
  }
  return FileDescriptor();
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = other.Release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { Reset(); }

void FileDescriptor::Reset() {
  if (fd_ >= 0) CloseFile(fd_);
  fd_ = -1;
}

std::string RefusalText(FileRefusal refusal, std::size_t limit) {
  switch (refusal) {
    case FileRefusal::None: return "is readable";
    case FileRefusal::Missing: return "does not exist";
    case FileRefusal::Folder: return "is a folder, not a file";
    case FileRefusal::NotRegular: return "is not a regular file";
    case FileRefusal::TooLarge:
      return "is larger than " + std::to_string(limit >> 20 ? limit >> 20 : limit) + (limit >> 20 ? " MiB" : " bytes");
    case FileRefusal::Unreadable: break;
  }
  return "cannot be read";
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit, FileRefusal* refusal) {
  FileRefusal why = FileRefusal::None;
  int64_t size = 0;
  const FileDescriptor fd = OpenChecked(path, limit, why, size);
  if (refusal) *refusal = why;
  if (!fd.IsOpen()) return std::nullopt;
  // The file may grow while it is read: never take more than the limit.
  std::string content;
  content.resize(static_cast<std::size_t>(size));
  std::size_t have = 0;
  for (;;) {
    if (have == content.size()) {
      if (have > limit) break;
      // One byte past the limit is enough to know the file is too large.
      const std::size_t most = limit == static_cast<std::size_t>(-1) ? limit : limit + 1;
      content.resize(std::min(most, std::max<std::size_t>(content.size() * 2, 4096)));
      if (have == content.size()) break;
    }
    const long got = ReadSome(fd.Get(), content.data() + have, content.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      why = FileRefusal::Unreadable;
      break;
    }
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  if (why == FileRefusal::None && have > limit) why = FileRefusal::TooLarge;
  if (refusal) *refusal = why;
  if (why != FileRefusal::None) return std::nullopt;
  content.resize(have);
  return content;
}

std::FILE* OpenDataFile(const std::string& path, std::size_t limit, FileRefusal* refusal) {
  FileRefusal why = FileRefusal::None;
  int64_t size = 0;
  FileDescriptor fd = OpenChecked(path, limit, why, size);
  std::FILE* file = fd.IsOpen() ? StreamOver(fd.Get()) : nullptr;
  if (file) fd.Release();  // the stream owns it now
  if (fd.IsOpen()) why = FileRefusal::Unreadable;
  if (refusal) *refusal = why;
  return file;
}

FileDescriptor OpenRegularFile(const std::string& path) {
  FileRefusal why = FileRefusal::None;
  int64_t size = 0;
  return OpenChecked(path, static_cast<std::size_t>(-1), why, size);
}

std::optional<FileStamp> StampOf(const std::string& path) { return StampOfPath(path); }

std::optional<FileStamp> StampOf(std::FILE* file) {
#ifdef _WIN32
  return StampOfDescriptor(::_fileno(file));
#else
  return StampOfDescriptor(::fileno(file));
#endif
}

int64_t WallClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

bool WriteNewFile(const std::string& path, std::string_view content, std::string& reason) {
  // The process id alone is not enough: under Node it is the same for every run, a clock
  // may tell two writes the same time, and a run that died would leave its name taken. A
  // name that is taken is passed over for the next.
  constexpr unsigned MostTemporaryNames = 100;
  const std::string stem =
      path + ".new-" + std::to_string(ProcessId()) + "-" + std::to_string(WallClockNs() % 1000000000000) + "-";
  std::string temporary;
  int fd = -1;
  for (unsigned attempt = 1; fd < 0; ++attempt) {
    temporary = stem + std::to_string(attempt);
    fd = CreateExclusive(temporary);
    if (fd < 0 && (errno != EEXIST || attempt == MostTemporaryNames)) {
      reason = temporary + ": " + std::strerror(errno);
      return false;
    }
  }
  bool written = true;
  while (!content.empty()) {
    const long n = WriteSome(fd, content.data(), content.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      written = false;
      break;
    }
    content.remove_prefix(static_cast<std::size_t>(n));
  }
  if (!Flush(fd)) written = false;
  if (!written) reason = path + ": " + std::strerror(errno);
  CloseFile(fd);
  if (written && !NameWithoutReplacing(temporary, path)) {
    reason = path + ": " + std::strerror(errno);
    written = false;
  }
  Remove(temporary);
  return written;
}

std::optional<RandomAccessFile> RandomAccessFile::Open(const std::string& path, FileRefusal* refusal) {
  FileRefusal why = FileRefusal::None;
  int64_t size = 0;
  RandomAccessFile file;
  file.fd_ = OpenChecked(path, static_cast<std::size_t>(-1), why, size);
  if (refusal) *refusal = why;
  if (!file.fd_.IsOpen()) return std::nullopt;
  file.size_ = static_cast<uint64_t>(size);
  return file;
}

std::size_t RandomAccessFile::ReadAt(uint64_t offset, uint8_t* into, std::size_t n) const {
  std::size_t got = 0;
  while (got < n) {
#ifdef _WIN32
    const long read = ::_lseeki64(fd_.Get(), static_cast<__int64>(offset + got), SEEK_SET) < 0
                          ? -1
                          : ReadSome(fd_.Get(), reinterpret_cast<char*>(into + got), n - got);
#else
    const long read = static_cast<long>(::pread(fd_.Get(), into + got, n - got, static_cast<off_t>(offset + got)));
#endif
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) break;
    got += static_cast<std::size_t>(read);
  }
  return got;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
  return ::_wfopen(WideFileName(path).c_str(), WideFileName(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace text
