#pragma once
// What the line editor and the screen review keep for the whole run, held by one owner:
// the sounds they make when a caller gives none, and the review's last search.

#include <string>

#include "editor/sounds.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/numbers.h"
#include "speech/speak.h"
#include "speech/state.h"

namespace editor::detail {

// The speech services' sounds (SpeechSounds); it keeps nothing of its own.
class SpeechServices final : public Sounds {
 public:
  void Click() override { speech::PlayClick(); }
  void Tone() override { speech::PlayTone(); }
  void CharSound(uint8_t code) override { speech::PlayCharSound(code); }
  void SoundFile(std::string_view name) override { speech::PlaySoundFile(name); }
  void Speak(std::string_view text) override { speech::SpeakText(text); }
  void Spell(std::string_view text) override { speech::SpellText(text); }
  void DialTones(std::string_view text) override { speech::PlayDialTones(text); }
  void SpeakTime() override { speech::SpeakTime(); }
  void SpeakDate() override { speech::SpeakDate(); }
  void OpenDocument(std::string_view word) override { speech::OpenDocument(word); }
  void WaitUntilSilent() override { speech::WaitUntilSilent(); }
  bool Busy() override { return speech::SpeechBusy(); }
  void Silence() override { speech::StopSpeech(); }
  uint8_t ReadKeySpoken() override { return speech::ReadKeySpoken(); }
  void RestartSpeech(int rate) override {
    speech::EndSpeech();
    // SoundFolder is read after EndSpeech, which leaves it alone: the folder stays the same.
    speech::StartSpeech(rate, speech::State().soundFolder);
  }
};

struct Editor {
  SpeechServices speechSounds;
  std::string searchText;  // the review's, kept from one visit to the next (empty at start)
};

Editor& TheEditor();

}  // namespace editor::detail
