#pragma once
// A file the user asked the program to write (--transcript, --speech-log, --audio-out, ...):
// created without blocking, every write checked to its last byte. The first failure is told
// once on standard error, naming the file and the reason; the game goes on without that
// file, and the program ends with status 1 (platform/services/process.h: RunFailed).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile() { Close(); }

  // Creates (or empties) path; 'what' names the file in messages ("the transcript"). A FIFO
  // is given a second to find a reader. False, with the reason in English when asked for,
  // otherwise.
  bool Create(const std::string& path, std::string_view what, std::string* reason = nullptr);
  bool IsOpen() const { return fd_ >= 0; }
  // False once any write failed; the failure has been told.
  bool Good() const { return IsOpen() && !failed_; }
  // A file that can be written again at an earlier place (not a FIFO or a terminal).
  bool Seekable() const { return seekable_; }
  const std::string& Path() const { return path_; }

  // Writes all of the bytes at the end; false (told once) when the file took less. After a
  // failure nothing more is written.
  bool Write(std::string_view bytes);
  bool Write(std::span<const uint8_t> bytes) {
    return Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  }
  // Writes bytes at offset (a header filled in at the end), then goes on at the end.
  bool WriteAt(uint64_t offset, std::span<const uint8_t> bytes);
  // Ends with a failure of the program's own (a limit of the file's format), told once.
  void Fail(const std::string& reason);
  // Closes the file; false when it failed at any time, this close included.
  bool Close();

 private:
  int fd_ = -1;
  bool failed_ = false;
  bool seekable_ = false;
  bool pipe_ = false;
  std::string path_, what_;
};

}  // namespace platform
