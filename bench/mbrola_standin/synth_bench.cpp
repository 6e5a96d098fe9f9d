// Speed of our MBROLA-compatible library alone: the phoneme lines of the game's spoken
// lines, as the front end writes them at the game's rate and pitch (with their real
// pauses, 300 ms and more between sentences), synthesized line by line as the front end
// hands them over: seconds of audio per CPU second, beside espeak-ng synthesizing the same
// lines in this process.
//
//   mbrola_standin_bench [--lines=FILE]

#include <cstdio>
#include <string>
#include <vector>

#include "bench/support/reference.h"
#include "mbrola_front/pipeline.h"
#include "mbrola_standin/mbrola.h"
#include "text/cp1252.h"

int main(int argc, char** argv) {
  std::string lineFile = QUELVAR_GAME_LINES;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--lines=", 0) == 0) {
      lineFile = arg.substr(8);
    } else {
      std::fprintf(stderr, "usage: mbrola_standin_bench [--lines=FILE]\n");
      return 2;
    }
  }
  const std::vector<std::string> lines = bench::ReadLines(lineFile);
  mbrola_front::FrontEndData data;
  if (lines.empty() || mbrola_front::LoadFrontEndData(mbrola_front::FrontEndFilesIn(QUELVAR_FRONT_DATA_DIR), data) !=
                           mbrola_front::FrontEndLoadError::None) {
    std::fprintf(stderr, "mbrola_standin_bench: cannot read %s or the front end's data\n", lineFile.c_str());
    return 1;
  }
  if (!bench::StartEspeak() || init_MBR(QUELVAR_MBROLA_VOICE_PATH) < 0) {
    std::fprintf(stderr, "mbrola_standin_bench: needs espeak-ng (pt-br) and the voice %s\n", QUELVAR_MBROLA_VOICE_PATH);
    return 1;
  }
  // Each game line becomes one utterance: its phoneme lines, each ended as the front end
  // ends them, the last followed by a flush.
  std::vector<std::vector<std::string>> utterances;
  mbrola_front::PhoLineState state;
  for (const std::string& line : lines) {
    std::vector<std::string> pho = mbrola_front::TextToPhoLines(data, state, text::DataTextToCp1252(line), {0.8, 1.0});
    for (std::string& text : pho) text += "\r\n";
    utterances.push_back(std::move(pho));
  }
  std::vector<short> buffer(16000);
  long samples = 0;
  const double start = bench::ProcessCpuSeconds();
  for (const auto& utterance : utterances) {
    reset_MBR();
    for (std::size_t i = 0; i < utterance.size(); ++i) {
      write_MBR(utterance[i].c_str());
      if (i + 1 == utterance.size()) flush_MBR();
      for (int n = read_MBR(buffer.data(), 16000); n > 0; n = read_MBR(buffer.data(), 16000)) samples += n;
    }
  }
  const double cpu = bench::ProcessCpuSeconds() - start;
  close_MBR();
  const double audio = static_cast<double>(samples) / 16000;
  const double espeakStart = bench::ProcessCpuSeconds();
  const double espeakAudio = bench::EspeakAudioSeconds(lines);
  const double espeakCpu = bench::ProcessCpuSeconds() - espeakStart;
  std::printf("MBROLA library: %zu lines of %s, %.1f s of audio (espeak-ng %.1f s)\n", lines.size(), lineFile.c_str(),
              audio, espeakAudio);
  bench::PrintBeside("  in this process:", "audio s", audio / cpu, espeakAudio / espeakCpu);
  return 0;
}
