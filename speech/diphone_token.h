#pragma once
// How the diphone synthesizer cuts a transcription into tokens and a token into syllables.
// Kept apart from the synthesizer so that the voice-data builder walks transcriptions
// exactly the same way.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace speech {

// One token of a transcription, as the synthesizer cuts it.
struct DiphoneToken {
  std::string text;                // at most 40 characters; "_," "_." "_;" "_:" come back empty
  char ending = 0;                 // the separator consumed after it (' ', ']' or '/'), 0 for none
  std::size_t silenceSamples = 0;  // punctuation silence the token stands for
};

// Takes the next token from position (0-based); sets stressed false at a "[".
// A vowel of a transcription, the glides w and y included.
bool IsVowel(char c);

DiphoneToken NextDiphoneToken(std::string_view transcription, std::size_t& position, bool& stressed);

// Splits a token into the syllables the synthesizer speaks, in order, with the duration
// factor each gets when the token is spoken with 'factor'.
void ForEachDiphoneSyllable(std::string_view token, double factor,
                            const std::function<void(std::string_view syllable, double factor)>& syllable);

}  // namespace speech
