// The synthesizer with the real voice, fed phoneme lines of arbitrary text in arbitrary
// pieces, rendering everything it is given: no error ends in a crash, and what it renders
// is bounded by what it was asked for.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mbrola_standin/engine.h"

namespace {

mbrola_standin::Engine& Voice() {
  static mbrola_standin::Engine* engine = [] {
    auto* made = new mbrola_standin::Engine();
    if (made->Open(QUELVAR_FUZZ_VOICE, "", "") != 0) std::abort();
    return made;
  }();
  return *engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  mbrola_standin::Engine& engine = Voice();
  engine.Reset();
  engine.SetNoError(size > 0 && (data[0] & 1));
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::size_t piece = size > 0 ? 1 + data[0] % 64 : 1;
  std::int16_t samples[4096];
  long rendered = 0;
  for (std::size_t at = 0; at < text.size(); at += piece) {
    if (engine.Write(text.substr(at, piece)) < 0) break;
    // Some of it now and then, as a program reads while it writes.
    if (at % 3 == 0) rendered += engine.Read(samples, 4096) > 0 ? 1 : 0;
  }
  engine.Flush();
  // A minute of it at most: long phones are allowed, and rendering them is not the point.
  for (long reads = 0; reads < 16000 * 60 / 4096; ++reads) {
    const int got = engine.Read(samples, 4096);
    if (got < 0 || got > 4096) std::abort();
    if (got == 0) break;
  }
  (void)rendered;
  return 0;
}
