// Ilha de Quelvar: options, the backend, then the game.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/options.h"
#include "app/speech_wiring.h"
#include "console/braille.h"
#include "console/console.h"
#include "console/screen.h"
#include "game/game.h"
#include "mbrola_front/binding.h"
#include "platform/audio/audio_device.h"
#include "platform/backends/headless/headless.h"
#include "platform/braille/braille.h"
#include "platform/core/backend.h"
#include "platform/services/files.h"
#include "platform/services/output_file.h"
#include "platform/services/process.h"
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include "platform/backends/terminal/terminal_backend.h"
#endif
#include "platform/audio/wave_out.h"
#include "platform/backends/shared/window_backend.h"
#include "speech/config.h"
#include "speech/log.h"
#include "speech/settings.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace {

[[noreturn]] void Fail(const std::string& message) {
  platform::ReportFailure(message);
  std::exit(2);
}

std::string ProgramPath(const char* argv0) {
  if (std::string path = platform::ProgramPath(); !path.empty()) return path;
  return argv0 ? argv0 : "quelvar";
}

// The installed program finds its data beside it: under share/quelvar on Linux, in its
// own folder (with the default TAMIRE.INI) in the Windows download.
void ChooseDataRoot(const std::string& programPath) {
  const std::size_t slash = programPath.find_last_of(platform::PathSeparators);
  if (slash == std::string::npos) return;
#ifdef _WIN32
  const std::string installed = programPath.substr(0, slash);
  if (platform::FileExists(text::JoinPath(installed, speech::SuiteIniName))) platform::SetDataRoot(installed);
#else
  const std::string installed = programPath.substr(0, slash) + "/../share/quelvar";
  if (platform::DirectoryExists(installed)) platform::SetDataRoot(installed);
#endif
}

std::unique_ptr<platform::Backend> MakeBackend(const app::Options& options) {
  std::string error;
  app::ConsoleKind kind = options.console;
  if (kind == app::ConsoleKind::Headless) {
    auto backend = std::make_unique<platform::HeadlessBackend>();
    if (!options.keysPath.empty()) {
      auto reader = platform::KeyScriptReader::Open(options.keysPath, error);
      if (!reader) Fail("cannot read the key script '" + options.keysPath + "': " + error);
      backend->SetScript(std::move(reader));
    }
    return backend;
  }
#if defined(__EMSCRIPTEN__)
  // The web build's window is the page; under Node there is only the headless console.
  if (kind == app::ConsoleKind::Terminal) Fail("there is no terminal console on the web; use --console=headless");
#elif defined(_WIN32)
  // Windows always has a desktop; a console program's terminal is not the game's.
  if (kind == app::ConsoleKind::Terminal) {
    Fail("there is no terminal console on Windows; play in the window (the default) or use --console=headless");
  }
#else
  if (kind == app::ConsoleKind::Automatic) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display && *display) || (wayland && *wayland)) {
      if (auto backend = platform::CreateWindowBackend(error)) return backend;
      std::fprintf(stderr, "quelvar: no window (%s); using the terminal\n", error.c_str());
    }
    kind = app::ConsoleKind::Terminal;
  }
  if (kind == app::ConsoleKind::Terminal) {
    if (auto backend = platform::CreateTerminalBackend(error)) return backend;
    Fail("cannot use the terminal: " + error + " (try --console=headless with --keys)");
  }
#endif
  if (auto backend = platform::CreateWindowBackend(error)) return backend;
  Fail("cannot open the console window: " + error);
}

// First run: the default settings written into the Windows directory, or read in place.
void PrepareSettings() {
  std::string path, reason;
  switch (platform::PrepareSettingsFile(speech::SuiteIniName, path, reason)) {
    case platform::SettingsFile::Written:
      std::fprintf(stderr, "quelvar: first run: default settings written to %s\n", path.c_str());
      break;
    case platform::SettingsFile::ReadInPlace:
      std::fprintf(stderr, "quelvar: cannot write the settings (%s); using the default settings in %s\n",
                   reason.c_str(), path.c_str());
      break;
    case platform::SettingsFile::Refused:
      std::fprintf(stderr, "quelvar: the settings file %s, so it counts as missing; using the default settings in %s\n",
                   reason.c_str(), path.c_str());
      break;
    case platform::SettingsFile::Untrusted:
      std::fprintf(stderr, "quelvar: %s, so its settings are not used; using the default settings in %s\n",
                   reason.c_str(), path.c_str());
      break;
    case platform::SettingsFile::NoFolder:
      std::fprintf(stderr, "quelvar: no folder for the settings (%s); using the default settings in %s\n",
                   reason.c_str(), path.c_str());
      break;
    case platform::SettingsFile::NoDefault:
      std::fprintf(stderr, "quelvar: no settings in %s and no default settings in %s\n", path.c_str(),
                   platform::DataRoot().c_str());
      break;
    case platform::SettingsFile::Present: break;
  }
}

// A game that cannot be heard has to say so where the player can learn of it.
void ReportMissingSound(const platform::Backend& backend) {
  const std::string_view name = backend.Name();
  if (name != "window" && name != "terminal") return;
  if (platform::SharedAudioMixer()) return;
  std::string line = "quelvar: no sound device could be opened (" + platform::SharedAudioFailure() +
                     "); the game goes on without sound.";
#ifndef _WIN32
  line += " SDL_AUDIODRIVER chooses the audio driver (pulseaudio, pipewire, alsa).";
  if (platform::FileExists("/usr/bin/speech-dispatcher")) {
    line += " speech-dispatcher plays through its own audio: --speech=speech-dispatcher may still speak.";
  }
#endif
  // Started from the desktop, the player reads this in a message box, in Portuguese.
  platform::TellPlayer(line,
                       "Nenhum dispositivo de som pôde ser aberto, e o jogo continua sem som: "
                       "as falas aparecem só na tela.\n\nVerifique se o Windows tem uma saída de "
                       "som ativada e inicie o jogo de novo.");
}

// An output onto a file the game reads would destroy it before it is read (the key script,
// the settings) or feed the game its own output (the voice data); two outputs onto one file
// would mix them. Refused before anything is written.
void RefuseOutputsOntoInputs(const app::Options& options) {
  const std::pair<std::string_view, const std::string*> outputs[] = {
      {"--transcript", &options.transcriptPath}, {"--speech-log", &options.speechLogPath},
      {"--pho-log", &options.phoLogPath},        {"--screen-dump", &options.screenDumpPath},
      {"--audio-out", &options.audioOutPath},    {"--braille-log", &options.brailleLogPath},
  };
  std::vector<std::pair<std::string, std::string>> inputs;  // what it is, its path
  if (!options.keysPath.empty()) inputs.emplace_back("the key script", options.keysPath);
  inputs.emplace_back("the settings file", platform::ProfileFilePath(speech::SuiteIniName));
  inputs.emplace_back("the settings file", text::JoinPath(platform::WindowsDirectory(), speech::SuiteIniName));
  inputs.emplace_back("a settings file", std::string(speech::SuiteIniName));  // the start folder's
  for (std::size_t i = 0; i < std::size(outputs); ++i) {
    const auto& [option, path] = outputs[i];
    if (path->empty()) continue;
    const std::string named = std::string(option) + "=" + *path;
    for (const auto& [what, input] : inputs) {
      if (platform::SameFile(*path, input)) Fail(named + " is " + what + ", which the game reads; choose another file");
    }
    if (platform::InsideDataRoot(*path)) {
      Fail(named + " is in the game's data folder " + platform::DataRoot() + ", which it reads; choose another file");
    }
    for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
      const auto& [other, otherPath] = outputs[j];
      if (!otherPath->empty() && platform::SameOutputFile(*path, *otherPath)) {
        Fail(named + " and " + std::string(other) + " name the same file; give each its own");
      }
    }
  }
}

// Every output file is created before the game starts, so that a path that cannot be
// written ends the program at once instead of a whole game being played for nothing. A
// write that fails later is told once, and the run ends with status 1.
void OpenOutputFiles(const app::Options& options) {
  std::string reason;
  const auto check = [&reason](bool created, std::string_view what, const std::string& path) {
    if (!created) Fail("cannot create " + std::string(what) + " '" + path + "': " + reason);
  };
  if (!options.transcriptPath.empty()) {
    check(console::OpenTranscript(options.transcriptPath, &reason), "the transcript", options.transcriptPath);
  }
  if (!options.speechLogPath.empty()) {
    check(speech::OpenSpeechLog(options.speechLogPath, &reason), "the speech log", options.speechLogPath);
  }
  if (!options.phoLogPath.empty()) {
    check(mbrola_front::OpenPhoLog(options.phoLogPath, &reason), "the phoneme log", options.phoLogPath);
  }
  if (!options.screenDumpPath.empty()) {
    check(console::OpenScreenDump(options.screenDumpPath, &reason), "the screen dump", options.screenDumpPath);
  }
  if (!options.audioOutPath.empty()) {
    check(platform::StartAudioCapture(options.audioOutPath, &reason), "the audio file", options.audioOutPath);
  }
  if (!options.brailleLogPath.empty()) {
    check(console::OpenBrailleLog(options.brailleLogPath, &reason), "the Braille log", options.brailleLogPath);
  }
  // The last of the steps at the end, after everything that may still write.
  platform::AddExitStep([] {
    console::CloseScreenDump();
    console::CloseBrailleLog();
    console::CloseTranscript();
    speech::CloseSpeechLog();
    mbrola_front::ClosePhoLog();
  });
}

int Run(int argc, char** argv) {
  app::Options options;
  std::string error;
  if (!app::ParseOptions(argc, argv, options, error)) Fail(error + " (see --help)");
  if (options.help) {
    std::fputs(app::HelpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(app::VersionText().c_str(), stdout);
    return 0;
  }
  if (!options.configDir.empty()) platform::SetWindowsDirectory(options.configDir);
  const std::string programPath = ProgramPath(argc > 0 ? argv[0] : nullptr);
  ChooseDataRoot(programPath);
  PrepareSettings();
  if (options.speechBuiltIn) speech::ChooseBuiltInSpeechForRun();
  if (options.speechEngine) speech::ChooseEngineForRun(*options.speechEngine);
  // Without its built-in voice data the game speaks through espeak-ng, unless this run
  // asked for the built-in voice alone.
  if (!options.speechBuiltIn) speech::SetStartFallbackEngine(speech::EngineKind::Sapi4);
  if (options.speechSilent) speech::SilenceSpeechForRun();
  RefuseOutputsOntoInputs(options);
  OpenOutputFiles(options);
  platform::KeepNullWaveOutLog(false);
  // Sound first, chosen apart from the console: audio libraries may complain on standard
  // error, which must come before a terminal console takes the screen. A window, a terminal
  // and the page play through the shared device; the headless console makes no sound.
  if (options.console != app::ConsoleKind::Headless) platform::SetSoundOutput(platform::CreateWindowSoundOutput());
  platform::SetBackend(MakeBackend(options));
  // A silent run has nothing to say about sound.
  if (!options.speechSilent) ReportMissingSound(platform::CurrentBackend());
  // A scripted run is not the player's: it takes a Braille display only when asked to.
  platform::BrailleUse braille = options.braille.value_or(platform::BrailleUse::Auto);
  if (options.console == app::ConsoleKind::Headless && braille == platform::BrailleUse::Auto) {
    braille = platform::BrailleUse::Off;
  }
  platform::SetBrailleDisplay(platform::ConnectBrailleDisplay(braille));
  console::InitConsole(text::Utf8ToCp1252(programPath));
  app::ConnectSpeech();
  // The screen as the game left it, before the console goes.
  if (!options.screenDumpPath.empty()) platform::AddExitStep(console::DumpScreen);
  game::RunGame();
}

}  // namespace

// Whatever is still thrown ends the program with a message and status 1, never an abort.
int main(int argc, char** argv) {
  platform::ConnectStandardStreams();
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
  // An output file that reaches the size limit (ulimit -f) fails its write, which is told
  // and ends the run with status 1, instead of the signal ending the game on the spot.
  std::signal(SIGXFSZ, SIG_IGN);
#endif
  // Options and file names are UTF-8 on every system.
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  std::vector<char*> utf8;
  for (std::string& argument : arguments) utf8.push_back(argument.data());
  utf8.push_back(nullptr);
  try {
    return Run(static_cast<int>(arguments.size()), utf8.data());
  } catch (const std::exception& error) {
    platform::ReportFailure(error.what());
  } catch (...) {
    platform::ReportFailure("an unexpected error ended the program");
  }
  return 1;
}
