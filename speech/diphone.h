#pragma once
// The built-in diphone synthesizer: speaks a phonetic transcription by joining recorded
// units from the diphone database (name.IND index, name.DIF samples, 11025 Hz 8-bit mono).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "speech/diphone_token.h"
#include "text/diphone_index.h"
#include "text/files.h"
#include "text/wave.h"

namespace speech {

inline constexpr std::size_t DiphoneNameMaximum = 8;
// The samples of one piece of speech: a piece is played when the next unit would fill this.
inline constexpr std::size_t DiphoneBufferSize = 64000 - text::WaveHeaderSize;
inline constexpr uint32_t DiphoneSampleRate = 11025;

// Per-rate settings of the synthesizer (section SINTETIZADOR, keys ending in the rate).
struct DiphoneSettings {
  std::string databaseName = "DIFONES2";  // at most 8 characters
  int32_t unitCutSamples = 400;           // CORTEFON: cut from the end of unstressed units
  int32_t unitMinimumSamples = 0;         // SOBRAFON: least an unstressed unit keeps
  int32_t tokenGapSamples = 100;          // INTERPAL: silence after a token not ended by a space
};

// What the synthesizer keeps (speech's owner holds it, speech/state.h): its settings, the
// database it reads units from, and the piece of speech being joined.
struct DiphoneVoice {
  DiphoneSettings settings;
  std::vector<text::DiphoneRecord> index;
  // The sound file stays open and each unit is read from it: the samples (28 MB for a
  // database) are never held in memory, and a file cut short under the game gives short
  // reads, never a fault.
  std::optional<text::RandomAccessFile> soundFile;
  std::string soundPath;
  bool soundDamaged = false;
  std::string folder;
  // What one SpeakPhonetic call works with.
  std::vector<uint8_t> buffer;  // DiphoneBufferSize when allocated
  std::size_t write = 0;
  bool stressed = false;
  uint32_t noiseSeed = 0x1234567u;
};

void SetDiphoneSettings(const DiphoneSettings& settings);
const DiphoneSettings& CurrentDiphoneSettings();

// Bisection over index records (text/diphone_index.h) sorted by unsigned bytes, a prefix
// before the longer names it begins. The name is upper-cased (ASCII letters) first.
// Nothing found: nullptr.
const text::DiphoneRecord* FindDiphoneUnit(std::span<const text::DiphoneRecord> records, std::string_view name);

// What kept the built-in voice's data from loading, for the player to find and mend it.
struct SpeechDataProblem {
  std::string place;    // the file or folder at fault (this system's form)
  std::string reason;   // English, after the place: "does not exist", "is empty", ...
  std::string setting;  // the TAMIRE.INI key that chose the place, when it is not the default
};

// Checks the folders DIRLETRAS and DIRDIFONES (read from TAMIRE.INI in the Windows
// directory), reads the index of the configured database whole and keeps its sound file
// open. False on any failure, including an index that is malformed, empty, names no unit
// or points past the end of the sound file; nothing stays open then, and *problem says
// what failed.
bool OpenDiphoneDatabase(SpeechDataProblem* problem = nullptr);
void CloseDiphoneDatabase();
bool DiphoneDatabaseOpen();
// The sound file (.DIF) gave fewer samples than its index promised: it was cut short or
// rewritten while the game ran. Its units are silent from then on. The path is the file's.
bool DiphoneSoundDamaged();
const std::string& DiphoneSoundPath();
// The diphone folder found by the last OpenDiphoneDatabase (Linux form, ending in '/').
const std::string& DiphoneFolder();

// The output buffer (64,000 bytes); SpeakPhonetic says nothing without it.
void AllocateDiphoneBuffer();
void FreeDiphoneBuffer();

// Speaks a transcription (as TranslateText writes it) and returns when all of it has been
// played or silenced.
void SpeakPhonetic(std::string_view transcription);

}  // namespace speech
