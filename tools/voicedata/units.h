#pragma once
// The unit names the built-in synthesizer looks up for a transcription: the same cutting
// into tokens, segments and syllables as speech/diphone.cpp, stopping at the first look-up.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace voicedata {

// One look-up: the name as the syllable builds it (case kept, so a capital is a stressed
// vowel; "CIRC" or "TIL" at the end for a closed or nasal vowel) and the name the index
// is searched with (ASCII letters upper-cased).
struct UnitLookup {
  std::string spelled;
  std::string key;
};

// Calls found for every unit look-up of the diphone database that speaking the
// transcription starts with. Recordings ("_" names) and punctuation silences are skipped.
void ForEachUnitLookup(std::string_view transcription, const std::function<void(const UnitLookup&)>& found);

std::string UnitKey(std::string_view spelled);

// Built-in speech sends only runs of word characters (blank, letters, codes 128..255) to
// the translator; punctuation between them is heard by its own recording or a pause.
std::vector<std::string> WordRuns(std::string_view cp1252);

}  // namespace voicedata

namespace voicedata {

// The espeak-ng phoneme input ("[[...]]") that says a unit: our phones mapped to espeak's
// Portuguese phonemes, a stressed vowel marked, "CIRC" closing and "TIL" nasalising the
// last vowel (or vowel and glide).
std::string UnitToEspeak(std::string_view spelled);

// The names the synthesizer falls back on when a unit is not in the database, down to
// the pieces it can find: the whole chain of names it would try (spelled as the unit),
// in order, splitting only names longer than longestStored.
void ForEachFallbackName(std::string_view spelled, std::size_t longestStored,
                         const std::function<void(const std::string&)>& found);

}  // namespace voicedata
