#include "speech/log.h"

#include "platform/output_file.h"
#include "text/cp1252.h"

namespace speech {
namespace {

platform::OutputFile gLog;

}  // namespace

bool OpenSpeechLog(const std::string& path, std::string* reason) { return gLog.Create(path, "the speech log", reason); }

void CloseSpeechLog() { gLog.Close(); }

void LogSpokenText(std::string_view cp1252) {
  if (!gLog.Good()) return;
  std::string line = text::Cp1252ToUtf8(cp1252);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  line += '\n';
  gLog.Write(line);
}

}  // namespace speech
