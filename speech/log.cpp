#include "speech/log.h"

#include <cstdio>
#include <memory>

#include "text/cp1252.h"
#include "text/files.h"

namespace speech {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
std::unique_ptr<std::FILE, FileCloser> gLog;

}  // namespace

bool OpenSpeechLog(const std::string& path) {
  gLog.reset(text::OpenFile(path, "wb"));
  return gLog != nullptr;
}

void LogSpokenText(std::string_view cp1252) {
  if (!gLog) return;
  std::string line = text::Cp1252ToUtf8(cp1252);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), gLog.get());
  std::fflush(gLog.get());
}

}  // namespace speech
