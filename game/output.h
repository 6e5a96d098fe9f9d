#pragma once
// How the game writes: spoken lines through the speech front, plain lines to the console.

#include <cstdint>
#include <span>
#include <string_view>

#include "console/screen.h"
#include "speech/speak.h"

namespace game {

// Written and spoken.
inline void Say(std::string_view text) { speech::SpeakWrite(text); }
inline void SayLine(std::string_view text) { speech::SpeakWriteLine(text); }
inline void SayNumber(int32_t number) { speech::SpeakWriteNumber(number); }

// Written only.
inline void Show(std::string_view text) { console::Write(text); }
inline void LineEnd() { console::WriteLine(); }

// A block of lines: each is said; an empty entry stands for a plain line end.
inline void SayLines(std::span<const std::string_view> lines) {
  for (const std::string_view line : lines) {
    if (line.empty()) {
      LineEnd();
    } else {
      SayLine(line);
    }
  }
}

}  // namespace game
