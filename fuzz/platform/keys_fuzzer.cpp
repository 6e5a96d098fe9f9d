// A headless key script of arbitrary bytes: parsed, or refused with a message.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backends/headless/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view script(reinterpret_cast<const char*>(data), size);
  std::vector<platform::ScriptItem> items;
  std::string error;
  if (!platform::ParseKeyScript(script, items, error) && error.empty()) std::abort();
  return 0;
}
