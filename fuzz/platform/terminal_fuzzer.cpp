// Terminal input of arbitrary bytes, arriving in arbitrary pieces: every byte is taken in
// the end, no decoded key is made from bytes that are not there, the bytes kept between
// reads stay few (a sequence of any length is dropped as it comes), and where the reads were
// cut changes nothing: the same bytes decode to the same keys, events and answers (kitty
// keyboard protocol reports among them) as when they arrive in one read.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backends/terminal/terminal_backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte says where the input is cut into reads.
  const std::size_t piece = 1 + data[0] % 16;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string pending;
  platform::TerminalDecodeState state;
  std::vector<platform::TerminalInput> decoded;
  for (std::size_t at = 0; at < input.size(); at += piece) {
    pending.append(input.substr(at, piece));
    const std::size_t used = platform::DecodeTerminalInput(pending, false, decoded, state);
    if (used > pending.size()) std::abort();
    pending.erase(0, used);
    // What waits for the next read is at most one unfinished key report.
    if (pending.size() > 200) std::abort();
  }
  const std::size_t used = platform::DecodeTerminalInput(pending, true, decoded, state);
  if (used != pending.size()) std::abort();  // at the end nothing may be left over

  std::vector<platform::TerminalInput> whole;
  if (platform::DecodeTerminalInput(input, true, whole) != input.size() || whole != decoded) std::abort();
  return 0;
}
