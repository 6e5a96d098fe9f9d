// Voice tables of the formant synthesizer: per-phone targets read from a ".voice" text file.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mbrola_standin {

// How a phone unfolds in time; the synthesizer shapes its amplitudes by it.
enum class PhoneKind { Silence, Vowel, Glide, Liquid, Tap, Nasal, Fricative, Stop };

// Targets of one phone. Frequencies and bandwidths in hertz, amplitudes in decibels
// (0 = off, 60 = a full vowel).
struct VoiceRow {
  std::string label;
  PhoneKind kind = PhoneKind::Silence;
  float formantHz[4] = {};    // F1..F4 (0 for silence: taken from the neighbours)
  float bandwidthHz[3] = {};  // B1..B3
  float nasalZeroHz = 0;      // the nasal zero; at the nasal pole's 270 Hz it cancels
  float voicingDb = 0;        // AV: glottal source (for a stop: during its closure)
  float aspirationDb = 0;     // AH: noise through the vocal tract
  float fricationDb = 0;      // AF: noise through the parallel branch (a stop's burst)
  float parallelDb[5] = {};   // A2..A6: frication level at F2..F6
  float bypassDb = 0;         // AB: frication passed flat
};

struct Voice {
  std::string name;
  int sampleRate = 16000;
  double pitchHz = 200;       // when an utterance has no pitch point
  double openQuotient = 0.6;  // open part of the glottal period
  double tilt = 0.3;          // one-pole low-pass on the glottal source, 0..0.95
  double gain = 1.0;          // output scale
  float f5Hz = 4500, b5Hz = 350;
  float f6Hz = 5800, b6Hz = 600;
  std::vector<std::string> info;
  std::vector<VoiceRow> rows;
  // Names the input may use, each with its row: the labels, then renames and clones.
  std::vector<std::pair<std::string, int>> names;

  int Find(std::string_view label) const;
};

// Reads a voice from its text. On failure returns false with a message that names
// the line.
bool ParseVoice(std::string_view text, Voice& voice, std::string& error);
bool LoadVoice(const std::string& path, Voice& voice, std::string& error);

// rename: "old new ...": the phone labelled old is written new from now on.
// clone: "old new ...": new is one more name for the phone old.
bool ApplyRenames(Voice& voice, std::string_view rename, std::string_view clone, std::string& error);

}  // namespace mbrola_standin
