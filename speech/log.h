#pragma once
// The speech log: every text given to SpeakText, one per line, as UTF-8 (--speech-log).

#include <string>
#include <string_view>

namespace speech {

// False when the file cannot be created.
bool OpenSpeechLog(const std::string& path);
void LogSpokenText(std::string_view cp1252);

}  // namespace speech
