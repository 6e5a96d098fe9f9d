#include "speech/front.h"

#include <string>

#include "console/keyboard.h"
#include "console/screen.h"
#include "speech/log.h"

namespace speech {

bool PunctuationNames = true;

void SpeakWrite(std::string_view text) {
  console::Write(text);
  SpeakText(text);
}

void SpeakWriteLine(std::string_view text) {
  SpeakWrite(text);
  console::WriteLine();
}

void SpeakWriteNumber(int32_t n) { SpeakWrite(std::to_string(n)); }

void SpeakText(std::string_view text) {
  LogSpokenText(text);
  // Speech itself comes with the sound services; until then the text is only logged.
  console::KeyAvailable();
}

}  // namespace speech
