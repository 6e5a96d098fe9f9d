#pragma once
// The console tests' fixture: a headless backend, a private configuration folder, and
// program exits turned into exceptions.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "headless_console.h"
#include "platform/backends/headless/headless.h"

class ConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes TAMIRE.INI in the configuration folder.
  void WriteIni(const std::string& content);
  platform::HeadlessBackend& Backend();
  platform::HeadlessSound& Sound();  // what the console played: beeps, looping tones
  // Posts a key as the backend would and lets the console take it.
  void Press(int virtualKey, uint32_t modifiers = 0, std::optional<uint8_t> character = std::nullopt);
  void Release(int virtualKey, uint32_t modifiers = 0);
  // Every code now in the queue, taken out.
  std::vector<int> DrainQueue();

  std::string configDir_;
};
