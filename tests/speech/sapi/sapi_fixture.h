#pragma once
// The engine adapters' tests: a headless console with the null wave device, program exits
// turned into exceptions, and fake engine objects that log every call.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless_console.h"
#include "platform/headless.h"

class SapiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::HeadlessBackend& Backend();
  void PressKey(char letter);
  // Dispatches messages until done() holds or about 'limitMs' of real time passed.
  template <typename Done>
  bool PumpUntil(Done done, int limitMs = 10000);
  // Whether a message with this number waits in the queue (taken out of it).
  bool TakePosted(uint32_t message);

  std::string dir_;
};

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
