// Ilha de Quelvar: options, the backend, then the game.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/options.h"
#include "console/console.h"
#include "console/screen.h"
#include "mbrola_front/frontend.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/headless.h"
#include "platform/text.h"
#include "platform/wave_out.h"
#include "speech/log.h"

#if __has_include("platform/sdl_backend.h")
#include "platform/sdl_backend.h"
#define QUELVAR_HAS_WINDOW 1
#endif
#if __has_include("platform/terminal_backend.h")
#include "platform/terminal_backend.h"
#define QUELVAR_HAS_TERMINAL 1
#endif
#if __has_include("game/game.h")
#include "game/game.h"
#define QUELVAR_HAS_GAME 1
#else
#include "console/editor.h"
#include "speech/front.h"
#endif

namespace {

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "quelvar: %s\n", message.c_str());
  std::exit(2);
}

std::string ProgramPath(const char* argv0) {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length > 0) return std::string(buffer.data(), static_cast<std::size_t>(length));
  return argv0 ? argv0 : "quelvar";
}

// The installed program finds its data beside it, under share/quelvar.
void ChooseDataRoot(const std::string& programPath) {
  const std::size_t slash = programPath.rfind('/');
  if (slash == std::string::npos) return;
  const std::string installed = programPath.substr(0, slash) + "/../share/quelvar";
  if (platform::DirectoryExists(installed)) platform::SetDataRoot(installed);
}

std::unique_ptr<platform::Backend> MakeBackend(const app::Options& options) {
  std::string error;
  app::ConsoleKind kind = options.console;
  if (kind == app::ConsoleKind::Automatic) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    kind = ((display && *display) || (wayland && *wayland)) ? app::ConsoleKind::Window : app::ConsoleKind::Terminal;
#ifdef QUELVAR_HAS_WINDOW
    if (kind == app::ConsoleKind::Window) {
      if (auto backend = platform::CreateWindowBackend(error)) return backend;
      std::fprintf(stderr, "quelvar: no window (%s); using the terminal\n", error.c_str());
      kind = app::ConsoleKind::Terminal;
    }
#endif
  }
  switch (kind) {
    case app::ConsoleKind::Headless: {
      auto backend = std::make_unique<platform::HeadlessBackend>();
      backend->SetScript(options.script);
      return backend;
    }
    case app::ConsoleKind::Window:
#ifdef QUELVAR_HAS_WINDOW
      if (auto backend = platform::CreateWindowBackend(error)) return backend;
      Fail("cannot open the console window: " + error);
#else
      Fail("this build has no window console; use --console=terminal");
#endif
    default:
#ifdef QUELVAR_HAS_TERMINAL
      if (auto backend = platform::CreateTerminalBackend(error)) return backend;
      Fail("cannot use the terminal: " + error + " (try --console=headless with --keys)");
#else
      Fail("this build has no terminal console; use --console=headless");
#endif
  }
}

#ifndef QUELVAR_HAS_GAME
// Until the game is in: a title and an echo of typed lines.
void RunDemo() {
  console::TextAttribute = 0x1E;
  console::ClearScreen();
  speech::SpeakWriteLine("Ilha de Quelvar");
  console::TextAttribute = 0x0F;
  for (;;) {
    console::Write(">");
    std::string line;
    console::ReadLine(line);
    if (line.empty()) break;
    speech::SpeakWriteLine(line);
  }
  console::CloseConsole();
}
#endif

}  // namespace

int main(int argc, char** argv) {
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
  if (!options.transcriptPath.empty() && !console::OpenTranscript(options.transcriptPath)) {
    Fail("cannot create the transcript file '" + options.transcriptPath + "'");
  }
  if (!options.speechLogPath.empty() && !speech::OpenSpeechLog(options.speechLogPath)) {
    Fail("cannot create the speech log '" + options.speechLogPath + "'");
  }
  if (!options.phoLogPath.empty() && !mbrola_front::OpenPhoLog(options.phoLogPath)) {
    Fail("cannot create the phoneme log '" + options.phoLogPath + "'");
  }
  platform::SetBackend(MakeBackend(options));
  if (!options.audioOutPath.empty()) platform::StartAudioCapture(options.audioOutPath);
  console::InitConsole(platform::Utf8ToCp1252(programPath));
  if (!options.screenDumpPath.empty()) {
    platform::AddExitStep([path = options.screenDumpPath] {
      if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        const std::string text = console::ScreenText();
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
      }
    });
  }
#ifdef QUELVAR_HAS_GAME
  game::RunGame();
#else
  RunDemo();
#endif
  console::CloseConsole();
}
