#pragma once
// Speech configuration and start-up.

#include <string>

namespace speech {

// rate 1..5, or 0 to take VELOCIDADE from the configuration.
void StartSpeech(int rate, const std::string& soundFolder);
void EndSpeech();

}  // namespace speech
