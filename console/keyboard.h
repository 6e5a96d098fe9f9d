#pragma once
// The keyboard queue of the console window: key codes, message pumping, waiting for keys,
// the Braille chord keyboard and its tone cues.

#include <cstdint>
#include <string>
#include <string_view>

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
// The configured mode at window creation: a console that reports no key releases keeps the
// Braille keyboard off, since its chords could never be read there, until it reports them
// (a terminal may say so a little later).
void SetStartingBrailleMode(int mode);
int BrailleMode();
void StartTone(int frequencyHz);
void StopTone();

// Reads a line from the program's standard input, echoed on the screen (at most size - 2
// characters); returns the text without the line end.
std::string ReadEchoedLine(std::size_t size = 128);

// Spoken notices of the console itself (the Braille keyboard unavailable, a terminal too
// small). The program installs the speaker once speech can be heard; notices that come
// before it wait for it.
using NoticeSpeaker = void (*)(std::string_view cp1252);
void SetNoticeSpeaker(NoticeSpeaker speaker);
void SpeakNotice(std::string_view cp1252);
inline constexpr std::string_view BrailleUnavailableNotice =
    "O teclado Braille s\xF3 funciona na janela do jogo ou num terminal que avise quando as teclas s\xE3o "
    "soltas, como o kitty ou o foot; este terminal n\xE3o avisa.";

}  // namespace console
