// Fuzzes the voice-file reader and the rename lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mbrola_standin/voice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  mbrola_standin::Voice voice;
  std::string error;
  if (!mbrola_standin::ParseVoice(text, voice, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (voice.Find("_") < 0) std::abort();
  const std::size_t half = text.size() / 2;
  mbrola_standin::ApplyRenames(voice, text.substr(0, half), text.substr(half), error);
  for (const auto& [name, row] : voice.names) {
    if (row < 0 || static_cast<std::size_t>(row) >= voice.rows.size()) std::abort();
  }
  return 0;
}
