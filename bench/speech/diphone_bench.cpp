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
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/reference.h"
#include "bench/support/speech_road.h"

namespace {

int Child(std::string_view side, const std::string& file) {
  if (side != "builtin" || !bench::StartSpeechRoad(bench::Road::BuiltIn, QUELVAR_BUILD_DATA_DIR)) return 1;
  std::printf("%.3f\n", bench::SpeakLines(bench::ReadLines(file)));
  bench::EndSpeechRoad();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string lineFile = QUELVAR_GAME_LINES;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--child=", 0) == 0 && i + 1 < argc) return Child(arg.substr(8), argv[i + 1]);
    if (arg.rfind("--lines=", 0) == 0) {
      lineFile = arg.substr(8);
    } else if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(arg.c_str() + 7));
    } else {
      std::fprintf(stderr, "usage: speech_bench [--lines=FILE] [--runs=N]\n");
      return 2;
    }
  }
  const std::vector<std::string> lines = bench::ReadLines(lineFile);
  if (lines.empty() || !bench::StartEspeak()) {
    std::fprintf(stderr, "speech_bench: cannot read %s, or no espeak-ng with a pt-br voice\n", lineFile.c_str());
    return 1;
  }
  double start = bench::ProcessCpuSeconds();
  const double espeakAudio = bench::EspeakAudioSeconds(lines);
  const double espeakRate = espeakAudio / (bench::ProcessCpuSeconds() - start);
  if (!bench::StartSpeechRoad(bench::Road::BuiltIn, QUELVAR_BUILD_DATA_DIR)) {
    std::fprintf(stderr,
                 "speech_bench: the built-in voice does not start; build it: cmake --build build --target "
                 "voicedata\n");
    return 1;
  }
  std::printf("built-in voice: %zu lines of %s\n", lines.size(), lineFile.c_str());
  start = bench::ProcessCpuSeconds();
  const double audio = bench::SpeakLines(lines);
  const double ours = audio / (bench::ProcessCpuSeconds() - start);
  bench::EndSpeechRoad();
  std::printf("  audio: ours %.1f s, espeak-ng %.1f s\n", audio, espeakAudio);
  bench::PrintBeside("  in this process:", "audio s", ours, espeakRate);

  std::vector<double> ourRuns, theirRuns;
  double programAudio = 0;
  for (int run = 0; run < runs; ++run) {
    ourRuns.push_back(bench::ChildCpuSeconds({bench::SelfPath(), "--child=builtin", lineFile}));
    const bench::EspeakRun espeak = bench::EspeakProgramSpeaks(lineFile);
    theirRuns.push_back(espeak.cpuSeconds);
    programAudio = espeak.audioSeconds;
  }
  std::printf("  whole processes, median of %d runs: ours %.3f s, espeak-ng %.3f s of CPU\n", runs,
              bench::Median(ourRuns), bench::Median(theirRuns));
  bench::PrintBeside("  whole processes:", "audio s", audio / bench::Median(ourRuns),
                     programAudio / bench::Median(theirRuns));
  return 0;
}
