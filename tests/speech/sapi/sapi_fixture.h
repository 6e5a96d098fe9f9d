#pragma once
// The SAPI engines' tests: a headless console with the null wave device, program exits
// turned into exceptions, and fake engine objects that log every call.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "headless_console.h"
#include "platform/backends/headless/headless.h"
#include "speech/sapi/sapi4.h"
#include "speech/sapi/sapi5.h"

class SapiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::HeadlessBackend& Backend();
  platform::HeadlessSound& Sound();  // what the console played: beeps, looping tones
  void PressKey(char letter);
  // Dispatches messages until done() holds or about 'limitMs' of real time passed.
  template <typename Done>
  bool PumpUntil(Done done, int limitMs = 10000);
  // Whether a message with this number waits in the queue (taken out of it).
  bool TakePosted(uint32_t message);

  std::string dir_;
};

// The engines the headless console entered into speech, and their operations by name.
speech::Sapi4Engine& Sapi4();
speech::Sapi5Engine& Sapi5();
speech::Sapi5Engine& Sapi54();
inline bool Sapi4Open(int voice, int speed, int pitch, const std::string& file) {
  return Sapi4().Open(voice, speed, pitch, file);
}
inline void Sapi4Close() { Sapi4().Close(); }
inline void Sapi4Speak(std::string_view text) { Sapi4().Speak(text); }
inline bool Sapi4Busy(bool textOnly) { return Sapi4().Busy(textOnly ? 1 : 0); }
inline void Sapi4Stop() { Sapi4().Stop(); }
inline bool Sapi5Open(int voice, int rate, const std::string& file) { return Sapi5().Open(voice, rate, 0, file); }
inline void Sapi5Close() { Sapi5().Close(); }
inline void Sapi5Speak(std::string_view text) { Sapi5().Speak(text); }
inline bool Sapi5Busy() { return Sapi5().Busy(0); }
inline bool Sapi5Stop() { return Sapi5().Purge(); }
inline bool Sapi54Open(int voice, int rate, const std::string& file) { return Sapi54().Open(voice, rate, 0, file); }
inline void Sapi54Close() { Sapi54().Close(); }
inline void Sapi54Speak(std::string_view text) { Sapi54().Speak(text); }
inline bool Sapi54Busy() { return Sapi54().Busy(0); }
inline bool Sapi54Stop() { return Sapi54().Purge(); }

bool PumpOnce();
// The engine has no work in hand and the program has heard all its news: busy(false) is
// then the engine's final word.
bool Sapi4Idle();

template <typename Done>
bool SapiTest::PumpUntil(Done done, int limitMs) {
  for (int i = 0; i < limitMs; ++i) {
    PumpOnce();
    if (done()) return true;
  }
  return false;
}
