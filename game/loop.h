#pragma once
// The turn loop and the command parser: reading, normalising and dispatching commands.

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "game/world.h"

namespace game {

using Handler = void (*)(Game&);

struct VerbRow {
  std::array<std::string_view, 6> words;  // unused places are empty
  Handler handler;
};

// The verb table in the order it is tried.
std::span<const VerbRow> Verbs();
// Removes leading and trailing blanks and makes every run of blanks a single blank.
void NormaliseCommand(std::string& line);
// Removes the noise words from the front of text, each word of the list tried once in order.
void StripNoiseWords(std::string& text);
// Splits an upper-cased, normalised line into verb and rest and strips the rest's noise.
void SplitCommand(Command& command);
// The row of the verb table that acts on verb; nullptr means the unknown word.
const VerbRow* FindVerb(std::string_view verb);
void Dispatch(Game& game);

// Asks nothing: reads the answer to a follow-up question, upper-cased and without leading
// noise words (blanks are kept).
std::string ReadAnswer();

// One game from the first description to its end (death, victory or leaving).
void TurnLoop(Game& game);

}  // namespace game
