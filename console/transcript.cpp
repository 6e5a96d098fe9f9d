// The files of a scripted run that the console writes: the transcript (--transcript), what
// the player reads as UTF-8 with the carriage returns dropped, and the screen dump
// (--screen-dump).

#include <string>
#include <string_view>

#include "console/console.h"
#include "console/console_internal.h"
#include "console/screen.h"
#include "platform/services/output_file.h"
#include "text/cp1252.h"

namespace console {
namespace {

platform::OutputFile& Transcript() { return detail::TheConsoleState().transcript; }
platform::OutputFile& ScreenDump() { return detail::TheConsoleState().screenDump; }

}  // namespace

bool OpenTranscript(const std::string& path, std::string* reason) {
  return Transcript().Create(path, "the transcript", reason);
}

void CloseTranscript() { Transcript().Close(); }

void TranscriptAppend(std::string_view text) {
  if (!Transcript().Good()) return;
  std::string bytes;
  bytes.reserve(text.size());
  for (const char c : text) {
    if (c != '\r') bytes += c;
  }
  Transcript().Write(text::Cp1252ToUtf8(bytes));
}

bool OpenScreenDump(const std::string& path, std::string* reason) {
  return ScreenDump().Create(path, "the screen dump", reason);
}

void DumpScreen() {
  if (ScreenDump().IsOpen()) ScreenDump().Write(ScreenText());
}

void CloseScreenDump() { ScreenDump().Close(); }

}  // namespace console
