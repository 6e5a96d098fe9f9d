// TAMIRE.INI of arbitrary bytes: every key the speech services read, with "@" expansion.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/scratch.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/settings.h"
#include "speech/state.h"

namespace {

const std::string& Folder() { return fuzz::ScratchFolder("ini"); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  platform::SetWindowsDirectory(Folder());
  speech::State().startFolder = Folder();
  std::ofstream(Folder() + "/TAMIRE.INI", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  static const char* const keys[][2] = {
      {"TRADUTOR", "VELOCIDADE"}, {"TRADUTOR", "SAPI"},         {"TRADUTOR", "DIRLETRAS"},
      {"SERVFALA", "TIPOSAPI"},   {"SINTETIZADOR", "DIFONES3"}, {"SINTETIZADOR", "PAUSAVIRG3"},
      {"TAMIRE", "PGMTAMIRE"},    {"TAMIRE", "PROG.HTM"},       {"", "X"}};
  for (const auto& key : keys) {
    const std::string value = speech::ReadSuiteSetting(key[0], key[1]);
    if (value.size() > 255 * 256) __builtin_trap();  // expansion is bounded by the 255-byte value
    (void)speech::ParseSettingInteger(value);
    (void)speech::SettingIsOn(value);
    const std::string direct = speech::ReadWindowsDirectorySetting(key[0], key[1], "c:\\x", 81);
    if (direct.size() > 80) __builtin_trap();
  }
  return 0;
}
