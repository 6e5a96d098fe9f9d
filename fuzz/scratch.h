#pragma once
// What several fuzz targets share: a scratch folder that goes when the fuzzer ends, and the
// headless console that the program's own readers run under.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/speech_wiring.h"
#include "console/console.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"

namespace fuzz {

// /tmp/quelvar-NAME-fuzz-XXXXXX, made on the first call and removed at exit. Never
// destroyed: the removal at exit still needs its name.
inline const std::string& ScratchFolder(const char* name) {
  static const std::string& folder = *new std::string([name] {
    std::string pattern = std::string("/tmp/quelvar-") + name + "-fuzz-XXXXXX";
    const char* dir = ::mkdtemp(pattern.data());
    if (!dir) std::abort();
    std::atexit([] { std::filesystem::remove_all(ScratchFolder(nullptr)); });
    return std::string(dir);
  }());
  return folder;
}

// The headless console, opened once; a program exit inside a target is a crash to report.
inline void OpenHeadlessConsole() {
  static const bool opened = [] {
    platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
    platform::SetProcessExitHook([](int) { std::abort(); });
    console::InitConsole("quelvar-fuzz");
    app::ConnectSpeech();
    return true;
  }();
  (void)opened;
}

}  // namespace fuzz
