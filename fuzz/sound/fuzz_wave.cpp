// Feeds arbitrary bytes to the wave reader, as a file and as an in-memory image, on the
// headless backend with the null device. Every input must end in 0, -1 or a device code.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/scratch.h"
#include "speech/wave.h"
#include "text/wave.h"

namespace {

const std::string& Setup() {
  static const std::string path = [] {
    fuzz::OpenHeadlessConsole();  // a program exit (a wait that never ends) aborts
    return fuzz::ScratchFolder("wave") + "/input.wav";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string& path = Setup();
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  const speech::PlaybackOptions options{.fast = size > 0 && (data[size - 1] & 2) != 0,
                                        .cut = size > 0 && (data[size - 1] & 1) != 0};
  if (speech::PlayWaveFile(path, options) < -1) std::abort();
  if (const auto wave = text::ParseWaveImage({data, size})) {
    speech::PlayPcm({wave->data, {wave->format.sampleRate, wave->format.bitsPerSample, wave->format.channels}},
                    options);
  }
  speech::WaveStop();
  return 0;
}
