#pragma once
// What the line editor and the screen review make heard. Every click, tone, character sound,
// named sound and spoken or spelled text of theirs, and the few speech services they call,
// go through one Sounds; SpeechSounds() makes them with the speech services. A caller may
// give the editor and the review another (one that shows them on a Braille display only,
// say, or one that records them).

#include <cstdint>
#include <string_view>

namespace editor {

class Sounds {
 public:
  virtual ~Sounds() = default;

  virtual void Click() = 0;
  // The attention tone; it also throws away the keys typed ahead.
  virtual void Tone() = 0;
  virtual void CharSound(uint8_t code) = 0;           // the character's recorded sound
  virtual void SoundFile(std::string_view name) = 0;  // a named recorded sound ("_DEL")
  virtual void Speak(std::string_view text) = 0;
  virtual void Spell(std::string_view text) = 0;
  virtual void DialTones(std::string_view text) = 0;
  virtual void SpeakTime() = 0;
  virtual void SpeakDate() = 0;
  virtual void OpenDocument(std::string_view word) = 0;
  // Waits until what is playing has ended (a key cuts it).
  virtual void WaitUntilSilent() = 0;
  // True while something plays; a waiting key stops it all and answers false.
  virtual bool Busy() = 0;
  // Silences whatever plays, as every key does.
  virtual void Silence() = 0;
  // Takes the next key code, silences speech and plays the key's sound.
  virtual uint8_t ReadKeySpoken() = 0;
  // Ends speech and starts it again at another rate of the built-in voice.
  virtual void RestartSpeech(int rate) = 0;
};

// The speech services' sounds (speech/cues.h, speech/speak.h).
Sounds& SpeechSounds();

}  // namespace editor
