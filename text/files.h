#pragma once
// Reading whole files safely: only regular files, never more than a stated size, never
// blocking on a FIFO or a device.
//
// Every file the program, its MBROLA library and its tools read goes through these. A
// folder, FIFO, device or socket is refused without being opened for long, so nothing can
// block or stream forever. A refused file is handled by callers as a missing one.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

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
// files, key scripts); nullptr otherwise, with the reason in *refusal when asked for. The
// caller closes it with fclose.
std::FILE* OpenDataFile(const std::string& path, std::size_t limit = DataFileLimit, FileRefusal* refusal = nullptr);

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

// The characters that end a folder's name in a path of this system, and whether one ends
// the path (a folder named with its separator).
#ifdef _WIN32
inline constexpr std::string_view PathSeparators = "/\\";
#else
inline constexpr std::string_view PathSeparators = "/";
#endif
inline bool EndsWithSeparator(std::string_view path) {
  return !path.empty() && PathSeparators.find(path.back()) != std::string_view::npos;
}
// A name in a folder, joined with this system's own separator ('\\' on Windows), as the
// user reads paths in messages.
inline std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !EndsWithSeparator(path)) path += PathSeparators.back();
  return path.append(name);
}

// A path as this system's user reads it: on Windows with '\\' alone, whatever joined it.
inline std::string NativePath(std::string path) {
  if (PathSeparators.size() > 1) {
    for (char& c : path) c = c == '/' ? PathSeparators.back() : c;
  }
  return path;
}

// fopen with a UTF-8 path on every system (Windows' own fopen takes the ANSI code page).
std::FILE* OpenFile(const std::string& path, const char* mode);

// A regular file kept open for reads at any place (the diphone samples): nothing of it is
// held in memory. A file cut short, replaced or removed while it is open never faults the
// program; a read past its end only gives fewer bytes.
class RandomAccessFile {
 public:
  // Nothing when path is not a regular file, with the reason in *refusal when asked for.
  static std::optional<RandomAccessFile> Open(const std::string& path, FileRefusal* refusal = nullptr);
  // The size the file had when it was opened.
  uint64_t Size() const { return size_; }
  // Reads up to n bytes from offset into 'into'; how many were read (0 at the end or on an
  // error).
  std::size_t ReadAt(uint64_t offset, uint8_t* into, std::size_t n) const;

 private:
  FileDescriptor fd_;
  uint64_t size_ = 0;
};

// Writes content as path without ever replacing a file there: written whole under a
// temporary name, then given its name, which fails when the name exists. False with the
// reason (file and system message) otherwise.
bool WriteNewFile(const std::string& path, std::string_view content, std::string& reason);

// What tells that a file on disk changed: where it lives, its size and its times (each
// as finely as the system keeps it). Equal stamps: the same file, unchanged as far as the
// system can tell. 'regular' is false for folders, FIFOs and devices.
struct FileStamp {
  uint64_t device = 0, inode = 0;
  int64_t size = -1, modifiedNs = 0, changedNs = 0;
  bool regular = false;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const std::string& path);
std::optional<FileStamp> StampOf(std::FILE* file);
// The wall clock in the stamps' terms, and how coarse the stamps' times may be: a file
// changed this shortly before it was stamped may change again under the same stamp.
int64_t WallClockNs();
#ifdef _WIN32
inline constexpr int64_t FileStampTickNs = 2'000'000'000;
#else
inline constexpr int64_t FileStampTickNs = 50'000'000;
#endif

// A read-only descriptor of a regular file, with no size limit (the diphone samples are
// read in place); not open otherwise.
FileDescriptor OpenRegularFile(const std::string& path);

}  // namespace text
