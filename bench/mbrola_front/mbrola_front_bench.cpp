// Speed of the MBROLA front end and of the whole MBROLA road, beside espeak-ng measured on
// the same input in the same run:
//   the front end alone on a large word list (each word a text of its own): words per
//   CPU second, beside espeak_TextToPhonemes (phonemes only, no sound);
//   the road on the game's spoken lines, as the game speaks them (SpeakText, the front
//   end, our MBROLA library loaded as the game loads it, wave playback into the null
//   device; the game's rate and pitch, its real pauses): seconds of audio per CPU
//   second, beside espeak-ng synthesizing the same lines.
// Each in this process and as whole processes (start-up and loading included; espeak-ng
// is then its own program, writing a wave file); the figures for "N times faster" are the
// whole processes', the median of --runs.
//
//   mbrola_front_bench [--words=FILE] [--lines=FILE] [--runs=N]
//   mbrola_front_bench --child=front|phonemes|road FILE   one side alone, as a whole process

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/support/reference.h"
#include "bench/support/speech_road.h"
#include "mbrola_front/front_end.h"
#include "text/cp1252.h"

namespace {

std::size_t TranscribeAll(const mbrola_front::FrontEndData& data, const std::vector<std::string>& utf8Words) {
  mbrola_front::PhoLineState state;
  std::size_t lines = 0;
  for (const std::string& word : utf8Words) {
    lines += mbrola_front::TextToPhoLines(data, state, text::DataTextToCp1252(word), {0.8, 1.0}).size();
  }
  return lines;
}

bool LoadFront(mbrola_front::FrontEndData& data) {
  return mbrola_front::LoadFrontEndData(mbrola_front::FrontEndFilesIn(QUELVAR_BUILD_DATA_DIR "/front"), data) ==
         mbrola_front::FrontEndLoadError::None;
}

int Child(std::string_view side, const std::string& file) {
  const std::vector<std::string> lines = bench::ReadLines(file);
  if (side == "front") {
    mbrola_front::FrontEndData data;
    if (!LoadFront(data)) return 1;
    std::printf("%zu\n", TranscribeAll(data, lines));
    return 0;
  }
  if (side == "phonemes") return bench::StartEspeak() && bench::EspeakPhonemes(lines) == lines.size() ? 0 : 1;
  if (side == "road") {
    if (!bench::StartSpeechRoad(bench::Road::Mbrola, QUELVAR_BUILD_DATA_DIR)) return 1;
    std::printf("%.3f\n", bench::SpeakLines(lines));
    bench::EndSpeechRoad();
    return 0;
  }
  return 2;
}

// The median CPU seconds of runs of one child.
double WholeProcess(const char* side, const std::string& file, int runs) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) seconds.push_back(bench::ChildCpuSeconds({bench::SelfPath(), side, file}));
  return bench::Median(seconds);
}

double EspeakProgram(const std::string& file, int runs, double& audioSeconds) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const bench::EspeakRun result = bench::EspeakProgramSpeaks(file);
    seconds.push_back(result.cpuSeconds);
    audioSeconds = result.audioSeconds;
  }
  return bench::Median(seconds);
}

}  // namespace

int main(int argc, char** argv) {
  std::string wordFile = QUELVAR_WORD_LIST;
  std::string lineFile = QUELVAR_GAME_LINES;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--child=", 0) == 0 && i + 1 < argc) return Child(arg.substr(8), argv[i + 1]);
    if (arg.rfind("--words=", 0) == 0) {
      wordFile = arg.substr(8);
    } else if (arg.rfind("--lines=", 0) == 0) {
      lineFile = arg.substr(8);
    } else if (arg.rfind("--runs=", 0) == 0) {
      runs = std::max(1, std::atoi(arg.c_str() + 7));
    } else {
      std::fprintf(stderr, "usage: mbrola_front_bench [--words=FILE] [--lines=FILE] [--runs=N]\n");
      return 2;
    }
  }
  const std::vector<std::string> words = bench::ReadLines(wordFile);
  const std::vector<std::string> lines = bench::ReadLines(lineFile);
  mbrola_front::FrontEndData data;
  if (words.empty() || lines.empty() || !LoadFront(data)) {
    std::fprintf(stderr, "mbrola_front_bench: cannot read %s, %s or the front end's data\n", wordFile.c_str(),
                 lineFile.c_str());
    return 1;
  }
  if (!bench::StartEspeak()) {
    std::fprintf(stderr, "mbrola_front_bench: espeak-ng with a pt-br voice is needed\n");
    return 1;
  }

  std::printf("front end: %zu words of %s\n", words.size(), wordFile.c_str());
  const double count = static_cast<double>(words.size());
  double start = bench::ProcessCpuSeconds();
  TranscribeAll(data, words);
  const double ours = count / (bench::ProcessCpuSeconds() - start);
  start = bench::ProcessCpuSeconds();
  bench::EspeakPhonemes(words);
  bench::PrintBeside("  in this process:", "words", ours, count / (bench::ProcessCpuSeconds() - start));
  bench::PrintBeside("  whole processes:", "words", count / WholeProcess("--child=front", wordFile, runs),
                     count / WholeProcess("--child=phonemes", wordFile, runs));

  std::printf("MBROLA road: %zu lines of %s\n", lines.size(), lineFile.c_str());
  start = bench::ProcessCpuSeconds();
  const double espeakAudio = bench::EspeakAudioSeconds(lines);
  const double espeakRate = espeakAudio / (bench::ProcessCpuSeconds() - start);
  if (!bench::StartSpeechRoad(bench::Road::Mbrola, QUELVAR_BUILD_DATA_DIR)) {
    std::fprintf(stderr, "mbrola_front_bench: the MBROLA front end does not start\n");
    return 1;
  }
  start = bench::ProcessCpuSeconds();
  const double audio = bench::SpeakLines(lines);
  const double roadRate = audio / (bench::ProcessCpuSeconds() - start);
  bench::EndSpeechRoad();
  std::printf("  audio: ours %.1f s, espeak-ng %.1f s\n", audio, espeakAudio);
  bench::PrintBeside("  in this process:", "audio s", roadRate, espeakRate);
  double programAudio = 0;
  const double espeakCpu = EspeakProgram(lineFile, runs, programAudio);
  const double roadCpu = WholeProcess("--child=road", lineFile, runs);
  std::printf("  whole processes, median of %d runs: ours %.3f s, espeak-ng %.3f s of CPU\n", runs, roadCpu, espeakCpu);
  bench::PrintBeside("  whole processes:", "audio s", audio / roadCpu, programAudio / espeakCpu);
  return 0;
}
