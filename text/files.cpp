#include "text/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace text {
namespace {

// Opens path for reading without blocking on a FIFO or a device, and keeps it only when it
// is a regular file of at most limit bytes.
FileDescriptor OpenChecked(const std::string& path, std::size_t limit, FileRefusal& refusal, off_t& size) {
  int opened = -1;
  do {
    opened = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (opened < 0 && errno == EINTR);
  if (opened < 0) {
    refusal = (errno == ENOENT || errno == ENOTDIR) ? FileRefusal::Missing : FileRefusal::Unreadable;
    return FileDescriptor();
  }
  FileDescriptor fd(opened);
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0) {
    refusal = FileRefusal::Unreadable;
  } else if (S_ISDIR(info.st_mode)) {
    refusal = FileRefusal::Folder;
  } else if (!S_ISREG(info.st_mode)) {
    refusal = FileRefusal::NotRegular;
  } else if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) > limit) {
    refusal = FileRefusal::TooLarge;
  } else {
    // Reads from here on may wait for the disk as reads of regular files always do.
    const int flags = ::fcntl(fd.Get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
    refusal = FileRefusal::None;
    size = info.st_size;
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
  if (fd_ >= 0) ::close(fd_);
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
  off_t size = 0;
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
    const ssize_t got = ::read(fd.Get(), content.data() + have, content.size() - have);
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

std::FILE* OpenDataFile(const std::string& path, std::size_t limit) {
  FileRefusal why = FileRefusal::None;
  off_t size = 0;
  FileDescriptor fd = OpenChecked(path, limit, why, size);
  if (!fd.IsOpen()) return nullptr;
  std::FILE* file = ::fdopen(fd.Get(), "rb");
  if (file) fd.Release();  // the stream owns it now
  return file;
}

FileDescriptor OpenRegularFile(const std::string& path) {
  FileRefusal why = FileRefusal::None;
  off_t size = 0;
  return OpenChecked(path, static_cast<std::size_t>(-1), why, size);
}

}  // namespace text
