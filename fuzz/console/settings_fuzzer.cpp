// The console's own keys ([VIDEO], [BRAILLE]) from a TAMIRE.INI of arbitrary bytes: the
// window opens with whatever they say, and text is written and read back.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/screen.h"
#include "fuzz/scratch.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"

namespace {

const std::string& Folder() {
  static const std::string& folder = []() -> const std::string& {
    const std::string& made = fuzz::ScratchFolder("console");
    fuzz::OpenHeadlessConsole();
    return made;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  platform::SetWindowsDirectory(Folder());
  if (std::FILE* file = std::fopen((Folder() + "/TAMIRE.INI").c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  platform::ForgetProfileFiles();
  // A new window each time, so that the settings are read again.
  console::InitConsole("quelvar-fuzz");
  console::EnsureConsoleWindow();
  console::WriteLine("Ilha de Quelvar");
  if (console::ScreenCharAt(1, 1) != 'I') std::abort();
  return 0;
}
