// The recorded words and letters of arbitrary bytes: number words joined into one sound
// (the reader that skips each file's header) and a letter heard through the wave reader.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "console/console.h"
#include "fuzz/scratch.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "speech/cues.h"
#include "speech/numbers.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

const std::string& Folder() {
  static const std::string& folder = []() -> const std::string& {
    const std::string& made = fuzz::ScratchFolder("words");
    fuzz::OpenHeadlessConsole();
    return made;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string& folder = Folder();
  for (const char* name : {"/_um.wav", "/_cem.wav", "/_65.wav"}) {
    if (std::FILE* file = std::fopen((folder + name).c_str(), "wb")) {
      std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
  }
  speech::State().lettersFolder = folder + "/";
  speech::State().waitBeforeSound = false;
  speech::SpeakWords(speech::NumberToWords(101), size > 0 && (data[0] & 1));
  speech::PlayCharSound('A');
  speech::WaveStop();
  return 0;
}
