#include "speech/config.h"

namespace speech {

void StartSpeech(int, const std::string&) {}
void EndSpeech() {}

}  // namespace speech
