#pragma once
// The speech engine dispatch: one set of five operations forwarded to the engine kind
// chosen by the configuration.

#include <cstdint>
#include <string>
#include <string_view>

#include "speech/engine_kind.h"

namespace speech {

// The private message an engine posts to the console window so that message waits poll again.
inline constexpr uint32_t EngineWakeMessage = 0xBA4;

// The kind a TIPOSAPI number selects, and the number that selects a kind.
EngineKind EngineKindFromSetting(int number);
int EngineKindSetting(EngineKind kind);

// Opens the engine of this kind (voice number, rate, pitch, output file: empty is the sound
// device) and, on success, waits until it is idle. False: the engine is not usable.
bool EngineOpen(int voice, int rate, int pitch, EngineKind kind, const std::string& outputFile);
// Closes the engine of the current kind.
void EngineClose();
// Hands the whole text (Windows-1252) to the engine, which speaks it in the background.
void EngineSpeak(std::string_view text);
// Dispatches pending messages, then asks the engine: mode 1 text still queued, mode 0
// still producing sound in any way.
bool EngineBusy(int mode);
// Silences the engine at once and drops queued text.
void EngineStop();

// ---- where the engines plug in ----
// One engine's five operations; an empty open means the engine is not available.
struct EngineAdapter {
  bool (*open)(int voice, int rate, int pitch, const std::string& outputFile) = nullptr;
  void (*close)() = nullptr;
  void (*speak)(std::string_view text) = nullptr;
  bool (*busy)(int mode) = nullptr;
  void (*stop)() = nullptr;
};
// Enters (or with an empty adapter removes) the engine of a kind.
void SetEngineAdapter(EngineKind kind, const EngineAdapter& adapter);

// Why the engine being opened could not be, in English after the engine's name ("answers
// garbage: ..."), noted by its adapter; the last open's, given once. Empty: no reason known.
void NoteEngineOpenFailure(std::string why);
std::string TakeEngineOpenFailure();

// The MBROLA front end's factors from the configured rate and pitch.
double MbrolaPitchFactor(int pitch);    // (pitch + 11) / 11
double MbrolaDurationFactor(int rate);  // 0.8 - rate / 15

}  // namespace speech
