#pragma once
// The line editor's tests: keys typed one at a time on the headless backend (each with its
// Shift, Ctrl and Alt), or typed ahead all at once, every sound and speech request recorded
// instead of made, the screen and the clipboard at hand.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "editor/sounds.h"
#include "headless_console.h"
#include "platform/backends/headless/headless.h"

// Delivers keys as a patient typist does: one stroke each time the program waits for a key
// and none is queued. A stroke is one key, or several typed while the program was busy.
// Programs it starts are recorded, not started.
class TypistBackend : public platform::HeadlessBackend {
 public:
  TypistBackend();
  ~TypistBackend() override;
  void WaitEvents(int timeoutMs) override;
  std::deque<std::vector<platform::KeyEvent>> strokes;
  std::function<void()> beforeKey;  // runs before each stroke is delivered
  std::vector<std::vector<std::string>> started;
};

// Every request of the editor as a short text ("click", "tone", "char 97", "file _DEL",
// "speak abc", "spell rst", "dial 1", "time", "date", "open abc", "wait", "busy",
// "end speech", "start speech 5", and "key 53" for a key read aloud); nothing is made.
class RecordedSounds final : public editor::Sounds {
 public:
  std::vector<std::string> requests;

  void Click() override { requests.emplace_back("click"); }
  void Tone() override { requests.emplace_back("tone"); }
  void CharSound(uint8_t code) override { requests.push_back("char " + std::to_string(code)); }
  void SoundFile(std::string_view name) override { requests.push_back("file " + std::string(name)); }
  void Speak(std::string_view text) override { requests.push_back("speak " + std::string(text)); }
  void Spell(std::string_view text) override { requests.push_back("spell " + std::string(text)); }
  void DialTones(std::string_view text) override { requests.push_back("dial " + std::string(text)); }
  void SpeakTime() override { requests.emplace_back("time"); }
  void SpeakDate() override { requests.emplace_back("date"); }
  void OpenDocument(std::string_view word) override { requests.push_back("open " + std::string(word)); }
  void WaitUntilSilent() override { requests.emplace_back("wait"); }
  bool Busy() override {
    requests.emplace_back("busy");
    return false;
  }
  void Silence() override {}  // every key silences speech: not worth a line
  uint8_t ReadKeySpoken() override;
  void RestartSpeech(int rate) override {
    requests.emplace_back("end speech");
    requests.push_back("start speech " + std::to_string(rate));
  }
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Queues keys written as a key script line ("abc<Left>x<Enter>"); no Enter is added.
  void Type(const std::string& script);
  // The same keys as one stroke: all of them arrive together, as if typed ahead.
  void TypeAhead(const std::string& script);
  TypistBackend& Backend();
  // The characters of one screen row (1-based), trailing blanks kept.
  static std::string Row(int row);
  // Sounds and speech recorded since the last call.
  std::vector<std::string> TakeRequests();

  RecordedSounds sounds_;
  std::string configDir_;
};
