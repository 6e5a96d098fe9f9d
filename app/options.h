#pragma once
// The program's command line.

#include <optional>
#include <string>

#include "platform/braille/braille.h"
#include "speech/engine_kind.h"

namespace app {

enum class ConsoleKind { Automatic, Window, Terminal, Headless };

struct Options {
  ConsoleKind console = ConsoleKind::Automatic;
  std::string keysPath, transcriptPath, speechLogPath, screenDumpPath, audioOutPath, phoLogPath, configDir;
  std::string brailleLogPath;
  // --braille: a BrlAPI display. Automatic: the window and terminal connect when a server
  // answers, headless runs only when asked (On).
  std::optional<platform::BrailleUse> braille;
  // --speech: this run's voice: built-in speech alone, or an engine; neither: as configured.
  bool speechBuiltIn = false;
  std::optional<speech::EngineKind> speechEngine;
  bool speechSilent = false;  // --speech=none (and built-in speech alone)
  bool help = false;
  bool version = false;
};

// False with an English message for an unknown option, a bad value or an unreadable file.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
std::string HelpText();
// "quelvar" and the program's version, one line.
std::string VersionText();

}  // namespace app
