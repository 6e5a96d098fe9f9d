#pragma once
// Reading whole files safely: only regular files, never more than a stated size, never
// blocking on a FIFO or a device.
//
// Every file the program, its MBROLA library and its tools read goes through these. A
// folder, FIFO, device or socket is refused without being opened for long, so nothing can
// block or stream forever. A refused file is handled by callers as a missing one.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>

namespace text {

inline constexpr std::size_t DataFileLimit = 64u << 20;  // 64 MiB

enum class FileRefusal { None, Missing, Folder, NotRegular, TooLarge, Unreadable };

// Plain English for a refusal ("is a folder, not a file", "is larger than 64 MiB", ...).
std::string RefusalText(FileRefusal refusal, std::size_t limit = DataFileLimit);

// The whole content of a regular file of at most limit bytes; nothing otherwise, with the
// reason in *refusal when asked for.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t limit = DataFileLimit,
                                         FileRefusal* refusal = nullptr);

// A stream over a regular file of at most limit bytes, for readers that walk a file (wave
// files); nullptr otherwise. The caller closes it with fclose.
std::FILE* OpenDataFile(const std::string& path, std::size_t limit = DataFileLimit);

// Owns an open file descriptor and closes it once.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  ~FileDescriptor();

  bool IsOpen() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset();

 private:
  int fd_ = -1;
};

// A read-only descriptor of a regular file, with no size limit (the diphone samples are
// mapped in place); not open otherwise.
FileDescriptor OpenRegularFile(const std::string& path);

}  // namespace text
