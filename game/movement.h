#pragma once
// Moving between rooms, describing the current room and the objects lying in it.

#include <span>
#include <string_view>

#include "game/world.h"

namespace game {

// What happens in a room after (or instead of, in brief mode) its description lines.
enum class RoomEvent { None, Quicksand, Bats, Cove, CaptainsQuestion, ReturnAboard, Drowning };

struct RoomText {
  std::span<const std::string_view> lines;  // an empty line is a plain line end
  RoomEvent event;
};

// Indexed by room number; entry 0 is unused.
std::span<const RoomText> RoomTexts();

void DoMove(Game& game);
void DescribeRoom(Game& game);
void ListObjectsHere(Game& game);

}  // namespace game
