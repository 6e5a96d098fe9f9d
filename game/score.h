#pragma once
// Score and rank, the question that starts a new game, the help pages and the setting of
// brief descriptions.

#include <cstdint>
#include <string_view>

#include "game/world.h"

namespace game {

inline constexpr int32_t MaximumScore = 200;

// The rank text for a final score.
std::string_view RankFor(int32_t score);

void ShowScore(Game& game);
// True when the player wants another game; the passages opened in this one close again.
bool AskRestart(Game& game);
void ShowHelp(Game& game);
void DoConfig(Game& game);

}  // namespace game
