// The one instance of speech's state. Apart from speech/state.cpp, so that a test of the
// game over stand-ins for speech can take the settings alone.

#include "speech/state.h"

namespace speech {

Speech& TheSpeech() {
  static Speech speech;
  return speech;
}

SpeechState& State() { return TheSpeech().settings; }

void ResetSpeech() {
  Speech& speech = TheSpeech();
  speech.settings = SpeechState{};
  speech.start = SpeechStart{};
  speech.voice = DiphoneVoice{};
  speech.recordings.clear();
}

}  // namespace speech
