#pragma once
// Speech as the game speaks it, on the headless console: SpeakText through the built-in
// voice or the MBROLA front end, into the null wave device in virtual time, so that the
// only cost is the CPU that making the sound takes.

#include <string>
#include <vector>

namespace bench {

enum class Road { BuiltIn, Mbrola };

// Starts speech on the road with the shipped settings (TAMIRE.INI in a settings folder of
// its own) over the data root (build/data: the voice, the front end and our MBROLA voice).
// False when that road does not start (the built-in voice not built, say).
bool StartSpeechRoad(Road road, const std::string& dataRoot);
// Speaks each line (UTF-8) with SpeakText, as the game speaks its lines, and waits until
// it has been played; the seconds of audio played.
double SpeakLines(const std::vector<std::string>& utf8Lines);
void EndSpeechRoad();

}  // namespace bench
