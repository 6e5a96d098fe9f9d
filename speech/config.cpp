#include "speech/config.h"

#include <unistd.h>

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "platform/core/win.h"
#include "platform/services/files.h"
#include "platform/services/process.h"
#include "platform/services/shell.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/host.h"
#include "speech/settings.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/case.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace speech {
namespace {

constexpr std::size_t DocumentTextMaximum = 255;

int IntegerOr(std::string_view text, int fallback) { return ParseSettingInteger(text).value_or(fallback); }

// How far each numeric setting may go; a value beyond is taken as the nearest end.
constexpr int32_t MostUnitSamples = 65535;      // CORTEFON, SOBRAFON: longer than any unit
constexpr int32_t MostTokenGapSamples = 22050;  // INTERPAL: two seconds
constexpr int32_t MostPauseMs = 10000;          // PAUSAPONTO, PAUSAVIRG, PAUSADOISPONTOS
constexpr int32_t MostVoice = 9999;             // VOZ
constexpr int32_t MostEngineValue = 65535;      // VELOCIDADE and TOM of SERVFALA

std::string SynthesizerSetting(std::string_view key, int rate) {
  return ReadSuiteSetting("SINTETIZADOR", std::string(key) + std::to_string(rate));
}

std::string ExistingOrAsGiven(const std::string& path) { return platform::FindPathIgnoringCase(path).value_or(path); }

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return ".";
  return buffer.data();
}

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

std::string EngineName(EngineKind kind) { return std::string(DescriptionOf(kind).name); }

SpeechStart& Start() { return TheSpeech().start; }

// 'setting' is the TIPOSAPI number that chose the engine, as the player wrote it.
void TellEngineNotStarted(EngineKind kind, int setting) {
  if (!Start().enginesToldNotStarted.insert(kind).second) return;
  const std::string why = TakeEngineOpenFailure();
  platform::TellPlayer("quelvar: " + EngineName(kind) + " " + (why.empty() ? "could not be started" : why) +
                           "; the built-in voice speaks instead",
                       "A voz configurada em TAMIRE.INI (TIPOSAPI=" + std::to_string(setting) +
                           ") não pôde falar; o jogo fala com a sua própria voz.");
}

// How to make the built-in voice: in a build tree the data root is its data folder.
std::string VoiceBuildHint() {
  const std::string root = platform::DataRoot();
  const std::size_t slash = root.find_last_of(text::PathSeparators);
  if (slash != std::string::npos && root.substr(slash + 1) == "data" &&
      platform::FileExists(root.substr(0, slash) + "/CMakeCache.txt")) {
    return " Build it with: cmake --build " + root.substr(0, slash) + " --target voicedata (./play.sh does it)";
  }
  return " Reinstall the game's data to have it back.";
}

// The translator's file that failed to load, and why.
SpeechDataProblem TranslatorFileProblem(const std::string& path, std::string_view what) {
  text::FileRefusal refusal = text::FileRefusal::None;
  if (std::FILE* file = text::OpenDataFile(path, text::DataFileLimit, &refusal)) {
    std::fclose(file);
    return {path, "could not be read as the translator's " + std::string(what), {}};
  }
  return {path, text::RefusalText(refusal), {}};
}

// The failure in English, with what helps: the setting to check when one chose the place,
// building or reinstalling when the installed data is what failed, else only the place.
std::string ProblemText(const SpeechDataProblem& problem) {
  std::string line = text::NativePath(problem.place) + " " + problem.reason + ".";
  const std::string root = platform::DataRoot() + "/";
  if (!problem.setting.empty()) {
    line += " Check " + problem.setting + " in " + text::NativePath(platform::ProfileFilePath(SuiteIniName)) + ".";
  } else if (problem.place.compare(0, root.size(), root) == 0) {
    line += VoiceBuildHint();
  }
  return line;
}

// Speaks the start-up failure through espeak-ng when the built-in voice cannot: a player who
// cannot see the screen must hear why the game does not start.
bool OpenEngineForFailure() {
  if (State().engineActive) return true;
  State().engineActive = EngineOpen(0, 0, 0, EngineKind::Sapi4, "");
  State().engineType = EngineKind::Sapi4;
  return State().engineActive;
}

// The start-up failure: what failed and where it was looked for, then Enter, then the end.
[[noreturn]] void ShowStartFailure(int code, const SpeechDataProblem& problem) {
  const bool spoken = OpenEngineForFailure();
  const auto say = [spoken](const std::string& line) {
    if (spoken) {
      SpeakWriteLine(line);
    } else {
      CurrentHost().WriteLine(line);
    }
  };
  say("Erro de inicializa\xE7\xE3o: " + std::to_string(code));
  say("Banco de dados de voz: " + CurrentDiphoneSettings().databaseName);
  const std::string place = text::NativePath(problem.place);
  const std::size_t slash = place.find_last_of(text::PathSeparators);
  const std::string file = slash == std::string::npos ? place : place.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "." : place.substr(0, slash + 1);
  if (!file.empty()) say("Arquivo: " + text::Utf8ToCp1252(file));
  say("Pasta: " + text::Utf8ToCp1252(folder));
  if (!problem.setting.empty()) say("Verifique " + problem.setting + " em " + std::string(SuiteIniName) + ".");
  // Started from the desktop on Windows, the player reads why in a message box.
  std::string box = "O jogo não pôde carregar a sua voz.\n\nArquivo: " + file + "\nPasta: " + folder;
  if (!problem.setting.empty()) box += "\n\nVerifique " + problem.setting + " em " + std::string(SuiteIniName) + ".";
  platform::TellPlayer("quelvar: cannot load the built-in voice: " + ProblemText(problem), box, true);
  CurrentHost().ReadEchoedLine();
  // The player has read the message; a script starting the program learns of the
  // failure from the exit status.
  CurrentHost().Close(1);
}

}  // namespace

int SpeechRateFor(int requested) {
  int rate = requested;
  if (rate <= 0) rate = IntegerOr(ReadSuiteSetting("TRADUTOR", "VELOCIDADE"), 0);
  if (rate < 1 || rate > 5) rate = DefaultRate;
  return rate;
}

void ApplySynthesizerSettings(int rate) {
  DiphoneSettings diphone;
  diphone.databaseName = SynthesizerSetting("DIFONES", rate);
  // A negative cut, least length or silence does what 0 does.
  diphone.unitCutSamples = BoundedSetting(SynthesizerSetting("CORTEFON", rate), 0, 0, MostUnitSamples);
  diphone.unitMinimumSamples = BoundedSetting(SynthesizerSetting("SOBRAFON", rate), 0, 0, MostUnitSamples);
  diphone.tokenGapSamples = BoundedSetting(SynthesizerSetting("INTERPAL", rate), 0, 0, MostTokenGapSamples);
  SetDiphoneSettings(diphone);
  State().cutSpeech = SettingIsOn(SynthesizerSetting("CORTAFALA", rate));
  State().fastPlayback = SettingIsOn(SynthesizerSetting("RAPIDINHO", rate));
  State().pauseAfterPeriod = BoundedSetting(SynthesizerSetting("PAUSAPONTO", rate), 250, 0, MostPauseMs);
  State().pauseAfterComma = BoundedSetting(SynthesizerSetting("PAUSAVIRG", rate), 150, 0, MostPauseMs);
  State().pauseAfterColon = BoundedSetting(SynthesizerSetting("PAUSADOISPONTOS", rate), 200, 0, MostPauseMs);
}

void ChooseBuiltInSpeechForRun() {
  State().builtInForRun = true;
  State().engineForRun.reset();
}

void ChooseEngineForRun(EngineKind kind) {
  State().builtInForRun = false;
  State().engineForRun = kind;
}

void SetStartFallbackEngine(EngineKind kind) { State().startFallbackEngine = kind; }

void SilenceSpeechForRun() { State().silent = true; }

EngineSettings ReadEngineSettings() {
  EngineSettings engine;
  if (State().builtInForRun) return engine;
  engine.wanted = State().engineForRun || SettingIsOn(ReadSuiteSetting("TRADUTOR", "SAPI"));
  if (!engine.wanted) return engine;
  // A voice number below 1 is the first voice, as 0 is.
  engine.voice = BoundedSetting(ReadSuiteSetting("SERVFALA", "VOZ"), 0, 0, MostVoice);
  engine.rate = BoundedSetting(ReadSuiteSetting("SERVFALA", "VELOCIDADE"), 0, -MostEngineValue, MostEngineValue);
  engine.pitch = BoundedSetting(ReadSuiteSetting("SERVFALA", "TOM"), 0, -MostEngineValue, MostEngineValue);
  engine.setting = State().engineForRun ? EngineKindSetting(*State().engineForRun)
                                        : IntegerOr(ReadSuiteSetting("SERVFALA", "TIPOSAPI"), 0);
  engine.kind = EngineKindFromSetting(engine.setting);
  const EngineDescription& described = DescriptionOf(engine.kind);
  const bool ownNumber = engine.setting == described.setting;
  if (!(ownNumber && described.rateInWordsPerMinute) && engine.rate > 10) engine.rate = 0;
  engine.rate = std::clamp(engine.rate, described.lowestRate, described.highestRate);
  engine.pitch = std::clamp(engine.pitch, described.lowestPitch, described.highestPitch);
  return engine;
}

int CurrentSpeechRate() { return State().rate; }

translator::Translator& BuiltInTranslator() { return Start().translator; }

int LoadSpeechData() {
  Start().problem = {};
  Start().damageHandled = false;
  if (!OpenDiphoneDatabase(&Start().problem)) return 1;
  const std::string& folder = DiphoneFolder();
  const std::string rules = ExistingOrAsGiven(folder + "regras.rgr");
  if (!translator::LoadTranslatorRules(BuiltInTranslator(), rules)) {
    Start().problem = TranslatorFileProblem(rules, "rules");
    return 2;
  }
  const std::string exceptions = ExistingOrAsGiven(folder + "portug.exc");
  if (!translator::LoadTranslatorExceptions(BuiltInTranslator(), exceptions)) {
    Start().problem = TranslatorFileProblem(exceptions, "exceptions");
    return 2;
  }
  AllocateDiphoneBuffer();
  return 0;
}

const SpeechDataProblem& SpeechDataFailure() { return Start().problem; }

void HandleDamagedVoice() {
  if (Start().damageHandled || !DiphoneSoundDamaged()) return;
  Start().damageHandled = true;
  const std::optional<EngineKind> fallback = State().startFallbackEngine;
  if (fallback && !State().engineActive) {
    State().engineActive = EngineOpen(0, 0, 0, *fallback, "");
    State().engineType = *fallback;
  }
  platform::TellUser("quelvar: the voice file " + text::NativePath(DiphoneSoundPath()) +
                     " was cut short or rewritten while the game ran; " +
                     (State().engineActive ? EngineName(State().engineType) + " speaks from now on"
                                           : std::string("the built-in voice is silent until the game starts again")));
}

void FreeSpeechData() {
  FreeDiphoneBuffer();
  translator::FreeTranslatorRules(BuiltInTranslator());
  CloseDiphoneDatabase();
}

void StartSpeech(int rate, const std::string& soundFolder) {
  State().rate = SpeechRateFor(rate);
  ApplySynthesizerSettings(State().rate);
  State().soundFolder = WithFolderSeparator(soundFolder);
  State().lettersFolder =
      WithFolderSeparator(ReadWindowsDirectorySetting("TRADUTOR", "DIRLETRAS", "c:\\lorben\\som\\letras\\"));
  State().engineActive = false;
  if (State().silent) {
    // Nothing will sound, so nothing is loaded that could fail.
    CurrentHost().SetNoticeSpeaker([](std::string_view notice) { SpeakText(notice); });
    return;
  }

  const int code = LoadSpeechData();
  if (code != 0) {
    FreeSpeechData();
    if (!State().startFallbackEngine) ShowStartFailure(code, Start().problem);
  }

  const EngineSettings engine = ReadEngineSettings();
  if (engine.wanted) {
    State().engineActive = EngineOpen(engine.voice, engine.rate, engine.pitch, engine.kind, "");
    State().engineType = engine.kind;
    // The game goes on with its own voice; the player learns why the chosen one is silent.
    if (!State().engineActive && code == 0) TellEngineNotStarted(engine.kind, engine.setting);
  }
  if (code != 0) {
    // Without the built-in voice an engine has to speak: the fallback when the configured
    // one did not open.
    if (!State().engineActive) {
      State().engineActive = EngineOpen(engine.voice, engine.rate, engine.pitch, *State().startFallbackEngine, "");
      State().engineType = *State().startFallbackEngine;
    }
    if (!State().engineActive) ShowStartFailure(code, Start().problem);
    platform::TellUser("quelvar: the built-in voice could not be loaded, so " + EngineName(State().engineType) +
                       " speaks instead: " + ProblemText(Start().problem));
  }
  // The console's own notices (a terminal too small, no Braille keyboard there) are spoken
  // from now on.
  CurrentHost().SetNoticeSpeaker([](std::string_view notice) { SpeakText(notice); });
}

void EndSpeech() {
  CurrentHost().SetNoticeSpeaker(nullptr);
  WaitUntilSilent();
  StopSpeech();
  if (State().engineActive) {
    EngineClose();
    State().engineActive = false;
  }
  FreeSpeechData();
}

void OpenDocument(std::string_view given) {
  const std::string text(given.substr(0, DocumentTextMaximum));
  std::string program;
  std::string parameter;
  // Only a program named by the configuration is looked for on PATH.
  auto search = platform::ProgramSearch::FilesAndPath;
  if (StartsWith(text, "http://") || StartsWith(text, "https://") || StartsWith(text, "www.")) {
    program = ReadSuiteSetting("TAMIRE", "PROG.HTM");
    parameter = text;
    // Without a configured browser the address goes to the desktop's own.
    if (program.empty()) {
      std::swap(program, parameter);
      search = platform::ProgramSearch::FilesOnly;
    }
  } else {
    const std::size_t dot = text.find('.');
    const std::string extension =
        text::UpperText(dot == std::string::npos ? text.substr(0, 3) : text.substr(dot + 1, 3));
    if (extension == "EXE" || extension == "COM") {
      const bool absolute = (text.size() >= 2 && text[1] == ':') || StartsWith(text, "\\") || StartsWith(text, "/");
      search = platform::ProgramSearch::FilesOnly;
      if (absolute) {
        program = text;
      } else {
        program = CurrentDirectory();
        if (program.back() != '/' && program.back() != '\\') program += '/';
        program += text;
      }
    } else {
      program = ReadSuiteSetting("TAMIRE", "PROG." + extension);
      parameter = text;
      if (program.empty()) {
        program = text;
        parameter.clear();
        search = platform::ProgramSearch::FilesOnly;
      }
    }
  }
  WaitUntilSilent();
  platform::ShellOpen(program, parameter, search);
  WaitUntilSilent();
}

}  // namespace speech
