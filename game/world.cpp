// The start of a game and the game's colours.

#include "game/world.h"

#include "console/screen.h"

namespace game {

std::array<Exits, RoomCount + 1> StartExits() {
  std::array<Exits, RoomCount + 1> exits{};
  for (int room = 1; room <= RoomCount; ++room) exits[room] = Rooms[room].exits;
  return exits;
}

void ResetWorld(World& world) {
  world.room = Cabin;
  world.score = 0;
  world.rightLatitude = 45;
  world.rightLongitude = 29;
  world.questionAsked = 0;
  world.turnsSinceQuestion = 0;
  // The answers of an earlier game must not count in this one: ReadNumber keeps the old
  // value when the player just presses Enter.
  world.longitudeGiven = 0;
  world.latitudeGiven = 0;
  world.gameOver = false;
  world.lookPending = true;
  for (int object = 1; object <= ObjectCount; ++object) {
    world.place[object] = Objects[object].startPlace;
  }
  world.flags = StoryFlags{};
}

void SetTextColours(int foreground, int background) {
  console::SetTextAttribute(static_cast<uint8_t>(foreground + 16 * background));
}

}  // namespace game
