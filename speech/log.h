#pragma once
// The speech log: every text given to SpeakText, one per line, as UTF-8 (--speech-log).

#include <string>
#include <string_view>

namespace speech {

// False with the reason when the file cannot be created; a write that fails later is told
// once (platform::OutputFile).
bool OpenSpeechLog(const std::string& path, std::string* reason = nullptr);
void CloseSpeechLog();
void LogSpokenText(std::string_view cp1252);

}  // namespace speech
