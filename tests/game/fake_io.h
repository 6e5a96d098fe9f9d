#pragma once
// Stand-ins for the console and the speech front, so the game's modules can be tested alone.

#include <cstdint>
#include <deque>
#include <string>

namespace fake {

struct Io {
  std::string spoken;             // every text given to the speech front, one per line
  std::string written;            // everything on the screen: spoken and plain writes, "\n" line ends
  std::deque<std::string> lines;  // answers for ReadLine, in order
  std::deque<int32_t> numbers;    // answers for ReadNumber; none: the value stays
  std::deque<uint8_t> keys;       // answers for WaitKey
  uint8_t attribute = 0;
};

Io& TheIo();
void Reset();

}  // namespace fake
