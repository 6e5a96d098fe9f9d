#pragma once
// Everything speech keeps between calls, held by one owner: the settings and switches the
// program and TAMIRE.INI turn, the engines entered, the host, wave playback, the built-in
// voice's database and translator, the kept recordings and the speech log. One instance for
// the program (TheSpeech); ResetSpeech puts it back as the program starts.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/services/output_file.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/engine_kind.h"
#include "speech/host.h"
#include "speech/wave.h"

namespace speech {

// The built-in voice's rate when the settings give none within 1..5.
inline constexpr int DefaultRate = 3;

struct SpeechState {
  // ---- engines ----
  EngineKind engineKind = EngineKind::Sapi4;  // the kind given to the last EngineOpen
  bool engineActive = false;                  // an external engine is open (StartSpeech / EndSpeech)
  EngineKind engineType = EngineKind::Sapi4;  // the engine kind StartSpeech last opened
  // --speech: this run's voice, over the settings: built-in speech alone, or an engine.
  bool builtInForRun = false;
  std::optional<EngineKind> engineForRun;
  std::optional<EngineKind> startFallbackEngine;  // speaks when the built-in voice cannot load
  // --speech=none: nothing is spoken or played and nothing waits for sound; the speech
  // log still records what would have been said.
  bool silent = false;

  // ---- recorded sounds ----
  bool waitBeforeSound = true;  // the next recorded sound waits for engine speech to end first
  bool stopRequested = false;   // set by StopSpeech; ends the built-in speaking loop
  bool echoTyping = true;       // the line editor plays each typed character's sound
  std::string lettersFolder = "c:\\lorben\\som\\letras\\";  // Windows form, ending in '\'
  std::string soundFolder;                                  // for names without a leading '_'; empty: current directory
  std::string startFolder;                                  // working directory at start, without a trailing separator

  // ---- built-in speech ----
  int rate = DefaultRate;        // TRADUTOR VELOCIDADE, 1..5
  bool punctuationNames = true;  // a punctuation mark's sound plays before its pause
  int pauseAfterPeriod = 250;    // ms after "." before a space
  int pauseAfterComma = 150;     // ms after "," or "-" before a space
  int pauseAfterColon = 200;     // ms after "(", ")", ":" and ";"

  // ---- wave playback ----
  bool keyStopsPlayback = true;  // a waiting key stops playback and prevents new playback
  bool fastPlayback = false;     // the device runs at 1.5 x the sample rate
  bool cutSpeech = false;        // mono sound is time-compressed before it is queued

  SpeechState();
};

// The engines entered, by kind; those replaced since (kept: one may still be open); those
// closed when the program ends; and why the last open failed, as the engine noted it.
struct Engines {
  std::array<std::unique_ptr<Engine>, EngineKindCount> byKind;
  std::vector<std::unique_ptr<Engine>> replaced;
  std::vector<Engine*> closedAtExit;
  std::string openFailure;
};

// The owner of speech's state.
struct Speech {
  SpeechState settings;
  SpeechStart start;          // speech/config.h
  DiphoneVoice voice;         // speech/diphone.h
  KeptRecordings recordings;  // speech/cues.h
  Playback playback;          // speech/wave.h
  platform::OutputFile log;   // speech/log.h
  // The program joins these: the host installed (none: a quiet one stands in) and the engines.
  Host* host = nullptr;
  std::unique_ptr<Host> ownHost;  // the host, when speech keeps it
  std::unique_ptr<Host> quietHost;
  Engines engines;
  RecordedSoundListener soundListener = nullptr;  // told each recorded sound's name (the web reader)
};

Speech& TheSpeech();
// The settings and switches: TheSpeech().settings.
SpeechState& State();

// Back to the program's start: the settings and switches, the built-in voice (its data
// freed), the start's record and the kept recordings. What the program joined stays (the
// host installed, the engines entered), and so do an open sound device and speech log,
// which their own calls close.
void ResetSpeech();

}  // namespace speech
