#pragma once
// The line editor's tests: keys typed one at a time on the headless backend (each with its
// Shift, Ctrl and Alt, as the editor reads them), every sound and speech request recorded,
// the screen and the clipboard at hand.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "headless_console.h"
#include "platform/headless.h"

// Delivers keys as a patient typist does: one when the program waits for a key and none
// is queued. Remembers the modifiers of the last key delivered.
class TypistBackend : public platform::HeadlessBackend {
 public:
  void WaitEvents(int timeoutMs) override;
  std::deque<platform::KeyEvent> keys;
  uint32_t lastModifiers = 0;
  std::function<void()> beforeKey;  // runs before each key is delivered
};

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Queues keys written as a key script line ("abc<Left>x<Enter>"); no Enter is added.
  void Type(const std::string& script);
  TypistBackend& Backend();
  // The characters of one screen row (1-based), trailing blanks kept.
  static std::string Row(int row);
  // Sounds and speech recorded since the last call.
  std::vector<std::string> TakeRequests();

  std::vector<std::string> requests_;
  std::string configDir_;
};
