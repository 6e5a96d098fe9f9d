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
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/win.h"

namespace {

const std::string& Folder() {
  // Never destroyed: the removal at exit still needs it.
  static const std::string& folder = *new std::string([] {
    char pattern[] = "/tmp/quelvar-console-fuzz-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir) std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
    platform::SetProcessExitHook([](int) { std::abort(); });
    console::InitConsole("quelvar-fuzz");
    return std::string(dir);
  }());
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
  console::ResetConsoleForTests();
  console::EnsureConsoleWindow();
  console::WriteLine("Ilha de Quelvar");
  if (console::ScreenCharAt(1, 1) != 'I') std::abort();
  return 0;
}
