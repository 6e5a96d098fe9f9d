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
#include <string>
#include <vector>

#include "bench/support/reference.h"
#include "bench/support/speech_road.h"
#include "mbrola_front/pipeline.h"
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

volatile std::size_t gSink;  // keeps the work from being left out

}  // namespace

int main(int argc, char** argv) {
  bench::Options options{.words = QUELVAR_WORD_LIST, .lines = QUELVAR_GAME_LINES};
  if (!bench::ParseOptions(argc, argv, options, "usage: mbrola_front_bench [--words=FILE] [--lines=FILE] [--runs=N]")) {
    return 2;
  }
  if (options.child == "phonemes") return bench::EspeakPhonemesAsChild(options.childFile);
  if (options.child == "road") return bench::SpeakFileAsChild(bench::Road::Mbrola, options.childFile);
  mbrola_front::FrontEndData data;
  if (!LoadFront(data)) {
    std::fprintf(stderr, "mbrola_front_bench: cannot load the front end's data\n");
    return 1;
  }
  if (options.child == "front") {
    std::printf("%zu\n", TranscribeAll(data, bench::ReadLines(options.childFile)));
    return 0;
  }
  if (!options.child.empty()) return 2;
  if (bench::ReadLines(options.words).empty() || bench::ReadLines(options.lines).empty() || !bench::StartEspeak()) {
    std::fprintf(stderr, "mbrola_front_bench: needs %s, %s and espeak-ng with a pt-br voice\n", options.words.c_str(),
                 options.lines.c_str());
    return 1;
  }
  std::printf("front end:\n");
  bench::CompareWordsWithEspeak([&](const auto& words) { gSink = TranscribeAll(data, words); }, options.words,
                                options.runs, "front");
  std::printf("MBROLA road:\n");
  if (!bench::CompareWithEspeak(bench::Road::Mbrola, options.lines, options.runs, "road")) {
    std::fprintf(stderr, "mbrola_front_bench: the MBROLA front end does not start\n");
    return 1;
  }
  return 0;
}
