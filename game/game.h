#pragma once
// The game's main routine, called by the program's entry.

namespace game {

// Starts speech, plays games until the player declines another, then ends the program
// through the console (it does not return).
[[noreturn]] void RunGame();

}  // namespace game
