// Synthesis from a transcription over a damaged diphone database: the input holds an index,
// a sample file and a transcription, each of arbitrary bytes. Whatever the database says,
// speaking reads only inside its files and its buffer.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "console/console.h"
#include "fuzz/scratch.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/state.h"
#include "speech/wave.h"

namespace {

const std::string& Folder() {
  static const std::string& folder = []() -> const std::string& {
    const std::string& made = fuzz::ScratchFolder("synthesis");
    std::filesystem::create_directories(made + "/letras");
    fuzz::OpenHeadlessConsole();
    return made;
  }();
  return folder;
}

void Write(const std::string& path, std::string_view bytes) {
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
}

// The next piece of the input, up to a 0xFF 0x00 marker.
std::string_view Piece(std::string_view& input) {
  const std::size_t end = input.find(std::string_view("\xFF\x00", 2));
  const std::string_view piece = input.substr(0, end);
  input = end == std::string_view::npos ? std::string_view() : input.substr(end + 2);
  return piece;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string& folder = Folder();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Write(folder + "/FUZ.IND", Piece(input));
  Write(folder + "/FUZ.DIF", Piece(input));
  Write(folder + "/letras/_A.wav", Piece(input));
  Write(folder + "/TAMIRE.INI", "[TRADUTOR]\nDIRLETRAS=" + folder + "/letras/\nDIRDIFONES=" + folder + "\n");
  platform::SetWindowsDirectory(folder);
  speech::State().lettersFolder = folder + "/letras/";
  speech::SetDiphoneSettings({"FUZ", 400, 0, 100});
  if (speech::OpenDiphoneDatabase()) {
    speech::AllocateDiphoneBuffer();
    speech::SpeakPhonetic(input.substr(0, 2000));
    speech::WaveStop();
    speech::FreeDiphoneBuffer();
  }
  speech::CloseDiphoneDatabase();
  return 0;
}
