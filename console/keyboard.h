#pragma once
// The keyboard queue of the console window: keys with the modifiers they were typed with,
// message pumping, waiting for keys, the Braille chord keyboard and its tone cues.

#include <cstdint>
#include <string>
#include <string_view>

#include "console/key_codes.h"
#include "console/screen.h"

namespace console {

// The queue holds at most this many codes: one for an ordinary key, two for an extended one.
inline constexpr int KeyQueueSize = 64;

// One key as the queue holds it. Its codes are those of a PC text console: an ordinary key
// is one code, an extended key the Extended code and then its second code.
struct KeyPress {
  uint8_t code = 0;        // the character (or control code); keycode::Extended for an extended key
  uint8_t extended = 0;    // an extended key's second code
  uint32_t modifiers = 0;  // platform::ModShift, ModCtrl and ModAlt, as held when the key went down
  ScreenPlace place;       // the cell a Braille display's routing key stands over
  bool IsExtended() const { return code == keycode::Extended; }
  bool operator==(const KeyPress&) const = default;
};

// True when a key code is waiting; dispatches waiting window messages first. Never blocks.
bool KeyAvailable();
// Takes the next key code, waiting (with the caret shown) while there is none: an extended
// key is taken in two calls.
uint8_t WaitKey();
// Takes the next key whole, waiting as WaitKey does. When WaitKey has taken an extended key's
// first code, what is left of it comes as an ordinary key of its second code.
KeyPress WaitKeyPress();
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
