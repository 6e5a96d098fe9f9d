#include "bench/support/reference.h"

#include <espeak-ng/speak_lib.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>

namespace bench {
namespace {

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

long gEspeakSamples = 0;

int CountSamples(short* /*wave*/, int samples, espeak_EVENT* /*events*/) {
  gEspeakSamples += samples;
  return 0;
}

int gEspeakRate = 0;

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, const char* usage) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&arg](std::string_view prefix) -> std::optional<std::string> {
      if (arg.rfind(prefix, 0) != 0) return std::nullopt;
      return arg.substr(prefix.size());
    };
    if (const auto side = value("--child="); side && i + 1 < argc) {
      options.child = *side;
      options.childFile = argv[++i];
    } else if (const auto words = value("--words=")) {
      options.words = *words;
    } else if (const auto lines = value("--lines=")) {
      options.lines = *lines;
    } else if (const auto runs = value("--runs=")) {
      options.runs = std::max(1, std::atoi(runs->c_str()));
    } else {
      std::fprintf(stderr, "%s\n", usage);
      return false;
    }
  }
  return true;
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ChildCpuSeconds(const std::vector<std::string>& argv, const std::string& output) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) dup2(out, STDOUT_FILENO);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double ChildMedianCpuSeconds(const std::string& side, const std::string& file, int runs) {
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) seconds.push_back(ChildCpuSeconds({SelfPath(), "--child=" + side, file}));
  return Median(seconds);
}

std::string SelfPath() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

bool StartEspeak() {
  if (gEspeakRate > 0) return true;
  gEspeakRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
  if (gEspeakRate <= 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
    gEspeakRate = 0;
    return false;
  }
  espeak_SetSynthCallback(CountSamples);
  return true;
}

double EspeakAudioSeconds(const std::vector<std::string>& utf8Lines) {
  gEspeakSamples = 0;
  for (const std::string& line : utf8Lines) {
    espeak_Synth(line.c_str(), line.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
  }
  espeak_Synchronize();
  return gEspeakRate > 0 ? static_cast<double>(gEspeakSamples) / gEspeakRate : 0;
}

std::size_t EspeakPhonemes(const std::vector<std::string>& utf8Texts) {
  std::size_t done = 0;
  for (const std::string& text : utf8Texts) {
    const void* input = text.c_str();
    while (input != nullptr) {
      if (espeak_TextToPhonemes(&input, espeakCHARS_UTF8, 0) == nullptr) break;
    }
    ++done;
  }
  return done;
}

EspeakRun EspeakProgramSpeaks(const std::string& textFile, int runs) {
  char pattern[] = "/tmp/quelvar-bench-espeak-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) return {};
  close(fd);
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    seconds.push_back(ChildCpuSeconds({"espeak-ng", "-v", "pt-br", "-f", textFile, "-w", pattern}));
  }
  EspeakRun result;
  result.cpuSeconds = Median(seconds);
  // espeak-ng writes one 16-bit mono data chunk behind a 44-byte header.
  unsigned char header[44] = {};
  std::ifstream wave(pattern, std::ios::binary);
  if (wave.read(reinterpret_cast<char*>(header), sizeof header)) {
    const auto word = [&header](int at) {
      return static_cast<double>(header[at] | header[at + 1] << 8 | header[at + 2] << 16 | header[at + 3] << 24);
    };
    const std::streamoff dataBytes = std::filesystem::file_size(pattern) - sizeof header;
    if (word(24) > 0) result.audioSeconds = static_cast<double>(dataBytes) / (2.0 * word(24));
  }
  std::error_code error;
  std::filesystem::remove(pattern, error);
  return result;
}

void PrintBeside(const char* what, const char* unit, double ours, double espeak) {
  std::printf("%-44s ours %10.0f  espeak-ng %10.0f %s per CPU second", what, ours, espeak, unit);
  if (espeak > 0) std::printf("  (%.1fx)", ours / espeak);
  std::printf("\n");
  std::fflush(stdout);
}

void CompareWordsWithEspeak(const Transcribe& transcribe, const std::string& file, int runs,
                            const std::string& ourSide) {
  const std::vector<std::string> words = ReadLines(file);
  const double count = static_cast<double>(words.size());
  std::printf("  %zu words of %s\n", words.size(), file.c_str());
  double start = ProcessCpuSeconds();
  transcribe(words);
  const double ours = count / (ProcessCpuSeconds() - start);
  start = ProcessCpuSeconds();
  EspeakPhonemes(words);
  PrintBeside("  in this process:", "words", ours, count / (ProcessCpuSeconds() - start));
  const double ourCpu = ChildMedianCpuSeconds(ourSide, file, runs);
  const double theirCpu = ChildMedianCpuSeconds("phonemes", file, runs);
  std::printf("  whole processes, median of %d runs: ours %.3f s, espeak-ng %.3f s of CPU\n", runs, ourCpu, theirCpu);
  PrintBeside("  whole processes:", "words", count / ourCpu, count / theirCpu);
}

int EspeakPhonemesAsChild(const std::string& file) {
  const std::vector<std::string> words = ReadLines(file);
  return StartEspeak() && EspeakPhonemes(words) == words.size() ? 0 : 1;
}

}  // namespace bench
