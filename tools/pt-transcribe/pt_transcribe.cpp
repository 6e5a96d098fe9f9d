// pt-transcribe: reads UTF-8 lines on standard input and prints, for each, what the
// built-in translator makes of it (--translator) or the MBROLA phoneme lines of the
// Portuguese front end (--mbrola, each line's group ended by "#"), or reads integers one
// a line and prints the words that built-in speech says them with (--numbers).
//
//   pt-transcribe --translator|--mbrola|--numbers [--data-dir=DIR]

#include "text/cp1252.h"
#include "translator/translator.h"
#ifdef QUELVAR_HAS_NUMBERS
#include "speech/numbers.h"
#endif
#ifdef QUELVAR_HAS_MBROLA_FRONT
#include "mbrola_front/pipeline.h"
#endif

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr int UsageError = 2;

int Fail(const std::string& message) {
  std::cerr << "pt-transcribe: " << message << "\n";
  return UsageError;
}

void PrintUsage(std::ostream& out) {
  out << "usage: pt-transcribe --translator|--mbrola|--numbers [--data-dir=DIR]\n"
         "Reads UTF-8 lines on standard input.\n"
         "  --translator    print the built-in speech's transcription of each line\n"
         "  --mbrola        print the MBROLA phoneme lines of each line, then a line \"#\"\n"
         "  --numbers       read a whole number (0 to 999999999999999) on each line and\n"
         "                  print the words built-in speech says it with\n"
         "  --data-dir=DIR  folder of the data files (regras.rgr and portug.exc, or the\n"
         "                  front end's portug.nrl, .exc, .abr, .pro and .dfn; a \"front\"\n"
         "                  folder inside DIR is used for these when it exists)\n";
}

// The folder of this program, from /proc; empty when unknown.
std::filesystem::path ProgramFolder() {
  std::error_code error;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

// Installed beside the program: <prefix>/bin/pt-transcribe and <prefix>/share/quelvar.
std::filesystem::path InstalledDataRoot() {
  const auto folder = ProgramFolder();
  if (folder.empty()) return {};
  const auto root = folder / ".." / "share" / "quelvar";
  std::error_code error;
  return std::filesystem::is_directory(root, error) ? root.lexically_normal() : std::filesystem::path();
}

// A line converted as the data files are: UTF-8 with non-ASCII characters becomes
// Windows-1252; a line that is not UTF-8 is taken as Windows-1252 already.
std::string LineToWindows1252(const std::string& line) { return text::DataTextToCp1252(line); }

int RunTranslator(const std::filesystem::path& folder) {
  const std::string rules = (folder / "regras.rgr").string();
  const std::string exceptions = (folder / "portug.exc").string();
  std::error_code error;
  if (!std::filesystem::is_regular_file(rules, error)) return Fail("cannot find the rule file '" + rules + "'");
  if (!std::filesystem::is_regular_file(exceptions, error)) {
    return Fail("cannot find the exception file '" + exceptions + "'");
  }
  translator::Translator translator;
  if (!translator::LoadTranslatorRules(translator, rules)) return Fail("cannot read the rule file '" + rules + "'");
  if (!translator::LoadTranslatorExceptions(translator, exceptions)) {
    return Fail("cannot read the exception file '" + exceptions + "'");
  }
  for (std::string line; std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::cout << text::Cp1252ToUtf8(translator::TranslateText(translator, LineToWindows1252(line))) << '\n';
  }
  return 0;
}

#ifdef QUELVAR_HAS_NUMBERS
// Each line holds one whole number, blanks around it allowed; anything else is reported
// on standard error and the line is skipped (the status is then 1).
int RunNumbers() {
  int status = 0;
  for (std::string line; std::getline(std::cin, line);) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    const std::size_t last = line.find_last_not_of(" \t\r");
    const std::string digits = first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
    const bool valid =
        !digits.empty() && digits.size() <= 15 && digits.find_first_not_of("0123456789") == std::string::npos;
    if (!valid) {
      std::cerr << "pt-transcribe: not a whole number from 0 to 999999999999999: '" << line << "'\n";
      status = 1;
      continue;
    }
    std::string words = speech::NumberToWords(std::stoull(digits));
    while (!words.empty() && words.back() == ' ') words.pop_back();
    std::cout << text::Cp1252ToUtf8(words) << '\n';
  }
  return status;
}
#endif

#ifdef QUELVAR_HAS_MBROLA_FRONT
int RunMbrola(std::filesystem::path folder) {
  std::error_code error;
  if (std::filesystem::is_directory(folder / "front", error)) folder /= "front";
  const mbrola_front::FrontEndFiles files = mbrola_front::FrontEndFilesIn(folder.string());
  for (const std::string* file : {&files.rules, &files.abbreviations, &files.prosody}) {
    if (!std::filesystem::is_regular_file(*file, error)) return Fail("cannot find the data file '" + *file + "'");
  }
  mbrola_front::FrontEndData data;
  const auto failure = mbrola_front::LoadFrontEndData(files, data);
  if (failure != mbrola_front::FrontEndLoadError::None) {
    const char* which = failure == mbrola_front::FrontEndLoadError::Rules           ? "rule or exception"
                        : failure == mbrola_front::FrontEndLoadError::Abbreviations ? "abbreviation"
                                                                                    : "prosody";
    return Fail(std::string("cannot load the front end's ") + which + " file from '" + folder.string() + "'");
  }
  mbrola_front::PhoLineState state;
  for (std::string line; std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (const std::string& pho : mbrola_front::TextToPhoLines(data, state, LineToWindows1252(line))) {
      std::cout << text::Cp1252ToUtf8(pho) << '\n';
    }
    std::cout << "#\n";
  }
  return 0;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  enum class Mode { None, Translator, Mbrola, Numbers } mode = Mode::None;
  std::filesystem::path dataDir;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--translator" || arg == "--mbrola" || arg == "--numbers") {
      const Mode wanted = arg == "--translator" ? Mode::Translator : arg == "--mbrola" ? Mode::Mbrola : Mode::Numbers;
      if (mode != Mode::None && mode != wanted) return Fail("give only one of --translator, --mbrola and --numbers");
      mode = wanted;
    } else if (arg.starts_with("--data-dir=")) {
      dataDir = std::string(arg.substr(11));
      if (dataDir.empty()) return Fail("--data-dir needs a folder");
    } else if (arg == "--help" || arg == "-h") {
      PrintUsage(std::cout);
      return 0;
    } else {
      PrintUsage(std::cerr);
      return Fail("unknown option '" + std::string(arg) + "'");
    }
  }
  if (mode == Mode::None) {
    PrintUsage(std::cerr);
    return Fail("say --translator, --mbrola or --numbers");
  }
  if (mode == Mode::Numbers) {
#ifdef QUELVAR_HAS_NUMBERS
    return RunNumbers();
#else
    return Fail("this build has no spoken numbers");
#endif
  }
  const auto installed = InstalledDataRoot();
  if (dataDir.empty()) {
    if (!installed.empty()) {
      dataDir = mode == Mode::Translator ? installed / "som" / "difones" : installed;
    } else {
      dataDir = QUELVAR_SOURCE_DATA_DIR;
    }
  }
  std::error_code error;
  if (!std::filesystem::is_directory(dataDir, error)) return Fail("no data folder '" + dataDir.string() + "'");
  if (mode == Mode::Translator) return RunTranslator(dataDir);
#ifdef QUELVAR_HAS_MBROLA_FRONT
  return RunMbrola(dataDir);
#else
  return Fail("this build has no MBROLA front end");
#endif
}
