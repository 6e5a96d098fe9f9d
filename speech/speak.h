#pragma once
// The door through which text is spoken: write to the console and speak.

#include <cstdint>
#include <string_view>

namespace speech {

void SpeakWrite(std::string_view text);
void SpeakWriteLine(std::string_view text);
void SpeakWriteNumber(int32_t n);
void SpeakText(std::string_view text);

}  // namespace speech
