// Fuzzes the phoneme-line input: arbitrary text in arbitrary pieces, then checks what came out.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mbrola_standin/pho_parser.h"

using mbrola_standin::PhoEvent;
using mbrola_standin::PhoInput;
using mbrola_standin::PhoLine;

namespace {

// Every short name is a phone of the pretend voice.
int Lookup(std::string_view name) { return name.size() <= 2 ? 0 : -1; }

// What the input hands over must read back as itself.
void CheckReadsBack(const std::vector<PhoEvent>& events) {
  for (const PhoEvent& event : events) {
    std::string line = mbrola_standin::FormatPhoEvents({event});
    line.pop_back();
    const PhoLine parsed = mbrola_standin::ParsePhoLine(line);
    if (parsed.error != 0) std::abort();
    if (event.flush != (parsed.kind == PhoLine::Kind::Flush)) std::abort();
    if (!event.flush && parsed.points.size() != event.phone.points.size()) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  PhoInput input(Lookup, 4096);
  input.SetNoError((data[0] & 1) != 0);
  // The second byte sets how the text is cut into writes.
  const std::size_t piece = 1 + data[1] % 64;
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  std::size_t released = 0;
  for (std::size_t at = 0; at < text.size(); at += piece) {
    const int result = input.Write(text.substr(at, piece));
    (void)result;
    const std::vector<PhoEvent> events = input.TakeReady();
    CheckReadsBack(events);
    for (const PhoEvent& event : events) released += event.phone.textBytes;
    input.ClearError();
  }
  input.Flush();
  const std::vector<PhoEvent> events = input.TakeReady();
  CheckReadsBack(events);
  for (const PhoEvent& event : events) released += event.phone.textBytes;
  // The bytes the phones stand for are exactly what is still counted.
  if (released != input.BufferedBytes()) std::abort();
  input.ReleaseBytes(released);
  if (input.BufferedBytes() != 0 || input.HeldCount() != 0) std::abort();
  return 0;
}
