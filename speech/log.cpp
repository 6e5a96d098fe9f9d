#include "speech/log.h"

#include "platform/services/output_file.h"
#include "speech/state.h"
#include "text/cp1252.h"

namespace speech {
namespace {

platform::OutputFile& Log() { return TheSpeech().log; }

}  // namespace

bool OpenSpeechLog(const std::string& path, std::string* reason) {
  return Log().Create(path, "the speech log", reason);
}

void CloseSpeechLog() { Log().Close(); }

void LogSpokenText(std::string_view cp1252) {
  if (!Log().Good()) return;
  std::string line = text::Cp1252ToUtf8(cp1252);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += '\n';
  Log().Write(line);
}

}  // namespace speech
