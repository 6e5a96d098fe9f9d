#include "app/options.h"

#include <string_view>

#include "platform/backends/headless/headless.h"
#include "platform/services/files.h"
#include "speech/engine.h"
#include "text/files.h"

namespace app {
namespace {

struct PathOption {
  std::string_view name;
  std::string Options::*field;
};

constexpr PathOption PathOptions[] = {
    {"--keys", &Options::keysPath},
    {"--transcript", &Options::transcriptPath},
    {"--speech-log", &Options::speechLogPath},
    {"--screen-dump", &Options::screenDumpPath},
    {"--audio-out", &Options::audioOutPath},
    {"--pho-log", &Options::phoLogPath},
    {"--braille-log", &Options::brailleLogPath},
    {"--config-dir", &Options::configDir},
};

// The engines' --speech names, as a list: "espeak, speech-dispatcher, mbrola".
std::string SpeechEngineOptions() {
  std::string list;
  for (const speech::EngineDescription& engine : speech::EngineDescriptions()) {
    if (engine.option.empty()) continue;
    if (!list.empty()) list += ", ";
    list += engine.option;
  }
  return list;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const bool hasValue = equals != std::string_view::npos;
    const std::string value = hasValue ? std::string(arg.substr(equals + 1)) : std::string();
    if (name == "--console") {
      if (value == "window")
        options.console = ConsoleKind::Window;
      else if (value == "terminal")
        options.console = ConsoleKind::Terminal;
      else if (value == "headless")
        options.console = ConsoleKind::Headless;
      else {
        error = "--console must be window, terminal or headless, not '" + value + "'";
        return false;
      }
      continue;
    }
    if (name == "--braille") {
      if (value == "auto")
        options.braille = platform::BrailleUse::Auto;
      else if (value == "on")
        options.braille = platform::BrailleUse::On;
      else if (value == "off")
        options.braille = platform::BrailleUse::Off;
      else {
        error = "--braille must be auto, on or off, not '" + value + "'";
        return false;
      }
      continue;
    }
    if (name == "--speech") {
      // The last --speech counts.
      options.speechBuiltIn = options.speechSilent = false;
      options.speechEngine.reset();
      if (value == "builtin") {
        options.speechBuiltIn = true;
      } else if (value == "none") {
        options.speechBuiltIn = true;
        options.speechSilent = true;
      } else {
        options.speechEngine = speech::EngineKindFromOption(value);
        if (!options.speechEngine) {
          error = "--speech must be builtin, " + SpeechEngineOptions() + " or none, not '" + value + "'";
          return false;
        }
      }
      continue;
    }
    bool known = false;
    for (const auto& option : PathOptions) {
      if (name != option.name) continue;
      known = true;
      if (!hasValue || value.empty()) {
        error = std::string(option.name) + " needs a file name: " + std::string(option.name) + "=FILE";
        return false;
      }
      options.*option.field = value;
    }
    if (!known) {
      error = "unknown option '" + std::string(arg) + "'";
      return false;
    }
  }
  if (!options.keysPath.empty()) {
    // Read through once here, so that a bad key name is found before the game starts; the
    // game reads it again as it plays it.
    std::string refusal;
    const auto reader = platform::KeyScriptReader::Open(options.keysPath, refusal);
    if (!reader) {
      error = "cannot read the key script '" + options.keysPath + "': " + refusal;
      return false;
    }
    while (reader->Next()) {
    }
    if (!reader->Error().empty()) {
      error = "key script '" + options.keysPath + "': " + reader->Error();
      return false;
    }
    if (options.console == ConsoleKind::Automatic) options.console = ConsoleKind::Headless;
  }
  if (!options.configDir.empty() && !platform::DirectoryExists(options.configDir)) {
    error = "the configuration folder '" + options.configDir + "' does not exist";
    return false;
  }
  return true;
}

std::string HelpText() {
  return "Usage: quelvar [OPTION]...\n"
         "Ilha de Quelvar, a Portuguese text adventure spoken aloud.\n"
         "\n"
         "  --console=KIND      window (the default with a display), terminal (Linux only;\n"
         "                      the default without a display) or headless (scripted\n"
         "                      runs). The right-button magnifier works only in the\n"
         "                      window; the Braille chord keyboard in the window and in\n"
         "                      terminals that report key releases (kitty, foot, ...).\n"
         "  --keys=FILE         headless key script (UTF-8; implies --console=headless)\n"
         "  --transcript=FILE   write the story as the player reads it (UTF-8)\n"
         "  --speech-log=FILE   write every text given to speech, one per line (UTF-8)\n"
         "  --screen-dump=FILE  write the 25 screen rows at exit (UTF-8)\n"
         "  --audio-out=FILE    write everything played to one WAV file (headless)\n"
         "  --pho-log=FILE      write every phoneme line handed to the MBROLA library\n"
         "  --config-dir=DIR    the folder holding TAMIRE.INI (instead of\n"
#ifdef _WIN32
         "                      %TAMIRE_WINDIR% or %APPDATA%\\tamire); a first run writes\n"
#else
         "                      $TAMIRE_WINDIR or ~/.config/tamire); a first run writes\n"
#endif
         "                      the default settings there\n"
         "  --speech=ENGINE     the voice for this run, TAMIRE.INI left as it is: builtin,\n"
         "                      espeak, speech-dispatcher, mbrola, or none: nothing is\n"
         "                      spoken or played (for Braille or your own screen reader;\n"
         "                      --speech-log still records what would be said)\n"
         "  --braille=WHEN      a Braille display through brltty (BrlAPI): auto (the\n"
         "                      default: the window and the terminal use one when brltty\n"
         "                      answers), on (also headless, and says why when none can\n"
         "                      be used) or off\n"
         "  --braille-log=FILE  write every update of the Braille display as a line (UTF-8;\n"
         "                      a 40-cell display when none is connected)\n"
         "  --help              show this text\n"
         "  --version           show the program's version\n"
         "\n"
         "Keys beyond the line editor's own: Ctrl+Shift+F9 (or Ctrl+Alt+F9) reviews the\n"
         "screen, Esc ends the review; Ctrl+Shift+F11 (or Ctrl+Alt+F11) turns the Braille\n"
         "keyboard on and switches its modes, Ctrl+Shift+F12 (or Ctrl+Alt+F12) turns it off.\n"
         "Desktops keep Ctrl+Alt+F1..F12 for switching virtual terminals, so the Ctrl+Shift\n"
         "chords are the ones that reach the game there. The Braille keyboard needs key\n"
         "releases: the window and terminals that speak the kitty keyboard protocol have\n"
         "them; other terminals say so when asked for it.\n"
         "\n"
         "Key scripts: each line is typed and followed by Enter; '##' starts a comment line;\n"
         "<Enter> <Esc> <Tab> <BS> <F1>..<F12> <Up> <Down> <Left> <Right> <Home> <End>\n"
         "<PgUp> <PgDn> <Ins> <Del> <Space> name keys, with Ctrl+, Alt+, Shift+ before them\n"
         "(<Ctrl+Left>, <Ctrl+c>, <Ctrl+Shift+F9>); <Wait:MS> waits; <lt> is '<'; <NoEnter>\n"
         "at the end of a line types it without Enter. A Braille display's keys:\n"
         "<BrlRoute N> (cell N, from 1), <BrlPanLeft> <BrlPanRight> <BrlLineUp>\n"
         "<BrlLineDown>, <BrlDots 1245> (dots typed).\n";
}

// The program's build defines the version (app/CMakeLists.txt); other builds of this file,
// such as the options fuzzer, do not need it.
#ifndef QUELVAR_VERSION
#define QUELVAR_VERSION "(version not set)"
#endif

std::string VersionText() { return std::string("quelvar ") + QUELVAR_VERSION + "\n"; }

}  // namespace app
