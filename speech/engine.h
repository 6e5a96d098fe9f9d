#pragma once
// The speech engines: what each one is (its description, the one place that says so), the
// interface every engine object speaks, and the dispatch that forwards to the engine of the
// kind the configuration chose.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "speech/engine_kind.h"

namespace speech {

// What one engine is: how TAMIRE.INI (TIPOSAPI of section SERVFALA) and the command line
// name it, how messages call it, the rate and pitch it takes, and how it is stopped.
struct EngineDescription {
  EngineKind kind;
  int setting;              // its TIPOSAPI number; a number no engine has chooses SAPI 4
  std::string_view option;  // its --speech name; empty: none
  std::string_view name;    // how messages to the player call it
  // SERVFALA's VELOCIDADE and TOM are kept within these. A rate above 10 is taken as 0,
  // unless TIPOSAPI is this engine's own number and it takes words per minute.
  int lowestRate, highestRate;
  int lowestPitch, highestPitch;
  bool rateInWordsPerMinute;
  // Its sound goes through wave playback: a key may have stopped that already, so it is
  // stopped even when it says it is idle, and after each of its operations the host is
  // woken to look at playback again.
  bool soundThroughWavePlayback;
};

const EngineDescription& DescriptionOf(EngineKind kind);
// Every engine, in the order the command line lists them.
std::span<const EngineDescription> EngineDescriptions();

// The kind a TIPOSAPI number selects, and the number that selects a kind.
EngineKind EngineKindFromSetting(int number);
int EngineKindSetting(EngineKind kind);
// The kind a --speech name selects; nothing when no engine has that name.
std::optional<EngineKind> EngineKindFromOption(std::string_view name);

// One engine: an object with its own state, which speech keeps once it is entered.
class Engine {
 public:
  virtual ~Engine() = default;
  // Opens it: voice number, rate, pitch (as the settings give them, within the engine's
  // ranges) and output file (empty is the sound device). False: not usable, nothing open.
  virtual bool Open(int voice, int rate, int pitch, const std::string& outputFile) = 0;
  virtual void Close() = 0;
  // Hands the whole text (Windows-1252) to the engine, which speaks it in the background.
  virtual void Speak(std::string_view text) = 0;
  // Mode 1: text still queued; mode 0: still producing sound in any way.
  virtual bool Busy(int mode) = 0;
  // Silences it at once and drops queued text.
  virtual void Stop() = 0;
};

// Enters the engine of a kind (nullptr: no engine of that kind). An engine once entered is
// kept until the program ends, so that one still open can be closed then.
void SetEngine(EngineKind kind, std::unique_ptr<Engine> engine);
// The engine entered for a kind, or nullptr.
Engine* EngineOf(EngineKind kind);
// Closes the engine when the program ends (asked once, at its first open, by an engine with
// a connection or a thread that must be gone before the program's statics are). The engine
// must have been entered.
void CloseAtExit(Engine& engine);

// ---- the dispatch, to the engine of the kind last opened ----
// Opens the engine of this kind and, on success, waits until it is idle. False: the engine
// is not usable.
bool EngineOpen(int voice, int rate, int pitch, EngineKind kind, const std::string& outputFile);
void EngineClose();
void EngineSpeak(std::string_view text);
// Dispatches pending messages, then asks the engine (mode as Engine::Busy).
bool EngineBusy(int mode);
void EngineStop();

// Why the engine being opened could not be, in English after the engine's name ("answers
// garbage: ..."), noted by its adapter; the last open's, given once. Empty: no reason known.
void NoteEngineOpenFailure(std::string why);
std::string TakeEngineOpenFailure();

// The MBROLA front end's factors from the configured rate and pitch.
double MbrolaPitchFactor(int pitch);    // (pitch + 11) / 11
double MbrolaDurationFactor(int rate);  // 0.8 - rate / 15

}  // namespace speech
