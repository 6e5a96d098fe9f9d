#pragma once
// The verbs that act on objects: inventory, take, drop, open and unlock.

#include "game/world.h"

namespace game {

// Takes are refused once this many objects are carried.
inline constexpr int CarryingLimit = 7;

void ShowInventory(Game& game);
void DoTake(Game& game);
void DoDrop(Game& game);
void DoOpen(Game& game);
void DoUnlock(Game& game);

}  // namespace game
