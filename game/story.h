#pragma once
// The story verbs (dig, knock, swim, buy, climb, read, search) and the captain's events.

#include <span>
#include <string_view>

#include "game/world.h"

namespace game {

// The library's catalogue: what "PROCURAR <subject>" finds in the ship's library.
struct CatalogueEntry {
  std::string_view command;                 // the whole command line that finds it
  std::span<const std::string_view> lines;  // an empty line is a plain line end
};
std::span<const CatalogueEntry> Catalogue();

void DoDig(Game& game);
void DoKnock(Game& game);
void DoSwim(Game& game);
void DoBuy(Game& game);
void DoClimb(Game& game);
void DoRead(Game& game);
void DoSearch(Game& game);

// The captain's question in his quarters; sends the player out to room 29.
void AskCoordinates(Game& game);
// The tenth turn after the question. With wrong coordinates the captain kills the player
// and the command's leaveTurnLoop is set.
void CaptainArrives(Game& game);

}  // namespace game
