#pragma once
// Speech configuration and start-up: the speech settings of TAMIRE.INI, the built-in speech
// data, the external engine, and opening documents and web addresses.

#include <set>
#include <string>
#include <string_view>

#include "speech/diphone.h"
#include "speech/engine_kind.h"
#include "translator/translator.h"

namespace speech {

// What the start of speech keeps (speech's owner holds it, speech/state.h): the built-in
// voice's translator, why its data last failed to load, whether damage to its sound file
// was told, and the engines whose failed start was told (once a run, not at every change
// of rate, which starts speech again).
struct SpeechStart {
  translator::Translator translator;
  SpeechDataProblem problem;
  bool damageHandled = false;
  std::set<EngineKind> enginesToldNotStarted;
};

// rate 1..5, or 0 to take VELOCIDADE from the configuration. When the built-in speech data
// cannot be loaded, writes the failure, waits for Enter and ends the program.
void StartSpeech(int rate, const std::string& soundFolder);
void EndSpeech();

// 0 loaded; 1 the diphone database (folders, index or sound file); 2 the translator's files.
int LoadSpeechData();
// What made the last LoadSpeechData fail: the file, folder or setting, and why.
const SpeechDataProblem& SpeechDataFailure();

// This run's voice, instead of SAPI and TIPOSAPI of the configuration: built-in speech
// alone, or an engine. Without either call the configuration chooses.
void ChooseBuiltInSpeechForRun();
void ChooseEngineForRun(EngineKind kind);
// The engine that speaks when the built-in speech data cannot be loaded, instead of the
// start-up failure (none unless set). The program sets espeak-ng's; a run that chose
// built-in speech keeps the failure.
void SetStartFallbackEngine(EngineKind kind);
// --speech=none: a silent run, for a player who reads Braille or whose own screen reader
// reads the console. No voice data is loaded and no engine opened.
void SilenceSpeechForRun();
// After the built-in voice spoke: when its sound file was cut short or rewritten under the
// game, the start's fallback engine speaks from then on (or the voice stays silent), and
// one line on standard error says so.
void HandleDamagedVoice();
// Releases whatever LoadSpeechData loaded; harmless when nothing was.
void FreeSpeechData();
// The translator of built-in speech: LoadSpeechData loads its rules and exceptions from the
// diphone folder, FreeSpeechData frees its rules.
translator::Translator& BuiltInTranslator();

// Opens a web address, a program or a document (at most 255 characters) in the current
// directory, with the program configured for its extension (PROG.<ext> in section TAMIRE).
void OpenDocument(std::string_view text);

// The steps of StartSpeech, for tests.

// The rate StartSpeech uses: requested 1..5, VELOCIDADE of TRADUTOR when 0 or less, and 3
// for anything outside 1..5.
int SpeechRateFor(int requested);
// Reads the synthesizer keys of a rate into the diphone synthesizer, wave playback and the
// front's pauses.
void ApplySynthesizerSettings(int rate);
struct EngineSettings {
  bool wanted = false;  // SAPI in TRADUTOR is on
  int voice = 0, rate = 0, pitch = 0;
  int setting = 0;  // TIPOSAPI, or the number of the engine chosen for the run
  EngineKind kind = EngineKind::Sapi4;
};
EngineSettings ReadEngineSettings();
// The rate StartSpeech last used (3 before the first start).
int CurrentSpeechRate();

}  // namespace speech
