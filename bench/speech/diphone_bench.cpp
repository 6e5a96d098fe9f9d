// Speed of the built-in voice as the game speaks with it: the game's spoken lines through
// SpeakText (numbers, the translator and its phrase rules, the diphone synthesizer with the
// real voice data, wave playback into the null device): seconds of audio per CPU second,
// beside espeak-ng synthesizing the same lines, in this process and as whole processes
// (start-up and loading included; espeak-ng is then its own program, writing a wave file).
// Needs the built voice (cmake --build build --target voicedata).
//
//   speech_bench [--lines=FILE] [--runs=N]
//   speech_bench --child=builtin FILE   our side alone, as a whole process

#include <cstdio>
#include <string>

#include "bench/support/reference.h"
#include "bench/support/speech_road.h"

int main(int argc, char** argv) {
  bench::Options options{.lines = QUELVAR_GAME_LINES};
  if (!bench::ParseOptions(argc, argv, options, "usage: speech_bench [--lines=FILE] [--runs=N]")) return 2;
  if (options.child == "builtin") return bench::SpeakFileAsChild(bench::Road::BuiltIn, options.childFile);
  if (!options.child.empty()) return 2;
  if (!bench::StartEspeak()) {
    std::fprintf(stderr, "speech_bench: espeak-ng with a pt-br voice is needed\n");
    return 1;
  }
  std::printf("built-in voice:\n");
  if (!bench::CompareWithEspeak(bench::Road::BuiltIn, options.lines, options.runs, "builtin")) {
    std::fprintf(stderr,
                 "speech_bench: the built-in voice does not start; build it: cmake --build build --target "
                 "voicedata\n");
    return 1;
  }
  return 0;
}
