#pragma once
// The keyboard queue of the console window: key codes, message pumping, waiting for keys,
// the Braille chord keyboard and its tone cues.

#include <cstdint>
#include <string>

namespace console {

inline constexpr int KeyQueueSize = 64;

// True when a key code is waiting; dispatches waiting window messages first. Never blocks.
bool KeyAvailable();
// Takes the next key code, waiting (with the caret shown) while there is none.
uint8_t WaitKey();
// Sleeps, then dispatches the messages that arrived meanwhile.
void Pause(uint16_t milliseconds);
enum class PumpScope { AllWindows, ConsoleWindow };
void PumpMessages(PumpScope scope = PumpScope::AllWindows);

void SetBrailleMode(int mode);
int BrailleMode();
void StartTone(int frequencyHz);
void StopTone();

// Reads a line from the program's standard input, echoed on the screen (at most size - 2
// characters); returns the text without the line end.
std::string ReadEchoedLine(std::size_t size = 128);

}  // namespace console
