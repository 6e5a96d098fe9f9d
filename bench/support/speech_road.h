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

// One side of a road benchmark as a child process: speaks the lines of 'file' on the road
// and prints the seconds of audio; the exit status says whether it could.
int SpeakFileAsChild(Road road, const std::string& file);
// Prints the road's seconds of audio per CPU second on the lines of 'file', beside
// espeak-ng's on the same lines: in this process, then as whole processes (this program
// run with --child=childSide, espeak-ng its own program writing a wave file), the median
// of 'runs'. False when the road does not start.
bool CompareWithEspeak(Road road, const std::string& file, int runs, const std::string& childSide);

}  // namespace bench
