#pragma once
// What every speed benchmark shares: CPU time of this process and of whole child processes
// (the figure a player's machine spends), and espeak-ng (pt-br) measured on the same input
// in the same run, as the reference our figures stand beside.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// The options the speed benchmarks take: --words=FILE and --lines=FILE (the inputs, with
// the defaults given), --runs=N (whole processes of each side), and --child=SIDE FILE, with
// which a benchmark runs one side alone on FILE as a whole process of its own.
struct Options {
  std::string words, lines;
  int runs = 5;
  std::string child, childFile;
};
// False, with 'usage' printed, on an option that is not known.
bool ParseOptions(int argc, char** argv, Options& options, const char* usage);

// CPU seconds (user and system) this process has used so far.
double ProcessCpuSeconds();

// Runs argv[0] (searched on PATH) with argv, its standard output to 'output', and returns
// the CPU seconds the whole child used; a negative value when it could not run or failed.
double ChildCpuSeconds(const std::vector<std::string>& argv, const std::string& output = "/dev/null");

// The median of several runs (the values are sorted).
double Median(std::vector<double> values);

// The median CPU seconds of 'runs' whole processes of this program with --child=side file.
double ChildMedianCpuSeconds(const std::string& side, const std::string& file, int runs);

// The running program, for running itself as a child.
std::string SelfPath();

// The non-empty lines of a UTF-8 file; empty when it cannot be read.
std::vector<std::string> ReadLines(const std::string& path);

// espeak-ng in this process: synchronous, pt-br voice. False when it is missing.
bool StartEspeak();
// Synthesizes each line as its own utterance; the seconds of audio made.
double EspeakAudioSeconds(const std::vector<std::string>& utf8Lines);
// espeak_TextToPhonemes on each text (no synthesis); the texts transcribed.
std::size_t EspeakPhonemes(const std::vector<std::string>& utf8Texts);

// The espeak-ng program speaking a whole file into a wave file, as a child process, 'runs'
// times: the median of its CPU seconds and the seconds of audio it wrote; cpu is negative
// when it failed.
struct EspeakRun {
  double cpuSeconds = -1;
  double audioSeconds = 0;
};
EspeakRun EspeakProgramSpeaks(const std::string& textFile, int runs);

// Prints "what: N per CPU second" for us and espeak-ng, and our factor over it.
void PrintBeside(const char* what, const char* unit, double ours, double espeak);

// Prints words per CPU second of 'transcribe' on the words of 'file', beside
// espeak_TextToPhonemes on the same words: in this process, then as whole processes (this
// program run with --child=ourSide, and with --child=phonemes, which EspeakPhonemesAsChild
// answers), the median of 'runs'.
using Transcribe = std::function<void(const std::vector<std::string>& utf8Words)>;
void CompareWordsWithEspeak(const Transcribe& transcribe, const std::string& file, int runs,
                            const std::string& ourSide);
int EspeakPhonemesAsChild(const std::string& file);

}  // namespace bench
