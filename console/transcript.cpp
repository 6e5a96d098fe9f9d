// The transcript of a scripted run (--transcript): what the player reads, as UTF-8 with the
// carriage returns dropped.

#include <string>
#include <string_view>

#include "console/console.h"
#include "console/screen.h"
#include "platform/services/output_file.h"
#include "text/cp1252.h"

namespace console {
namespace {

platform::OutputFile gTranscript;

}  // namespace

bool OpenTranscript(const std::string& path, std::string* reason) {
  return gTranscript.Create(path, "the transcript", reason);
}

void CloseTranscript() { gTranscript.Close(); }

void TranscriptAppend(std::string_view text) {
  if (!gTranscript.Good()) return;
  std::string bytes;
  bytes.reserve(text.size());
  for (const char c : text) {
    if (c != '\r') bytes += c;
  }
  gTranscript.Write(text::Cp1252ToUtf8(bytes));
}

}  // namespace console
