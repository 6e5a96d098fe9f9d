#pragma once
// The console's own life: start-up, the transcript and screen dump of scripted runs, and
// what tests inspect.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace console {

// Start-up: the caption (the program's path, at most 79 characters) and the end-of-program
// step. The window itself comes up on first use. Called again, it starts the console anew:
// the window is closed, the screen, colours, keys and Braille keyboard are as at start.
void InitConsole(std::string_view programPath);

// --transcript: what the player reads, UTF-8 with CR dropped. False with the reason when
// the file cannot be created; a write that fails later is told once (platform::OutputFile).
bool OpenTranscript(const std::string& path, std::string* reason = nullptr);
void CloseTranscript();
// The 25 rows as UTF-8, each ended by '\n', trailing blanks kept.
std::string ScreenText();
// --screen-dump: the screen as the game left it. False with the reason when the file cannot
// be created. DumpScreen writes ScreenText into it, when it is open; the program does so
// once, at its end, before the console goes.
bool OpenScreenDump(const std::string& path, std::string* reason = nullptr);
void DumpScreen();
void CloseScreenDump();

// The settings read when the window was created.
const std::array<uint8_t, 16>& CurrentColourMap();
bool FixedColours();
int MagnifierFactor();

}  // namespace console
