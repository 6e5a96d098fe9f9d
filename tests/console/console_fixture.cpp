#include "console_fixture.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "console/console.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/core/backend.h"
#include "platform/core/win.h"
#include "platform/services/files.h"

void ConsoleTest::SetUp() {
  configDir_ = MakeTestFolder("console");
  ASSERT_FALSE(configDir_.empty());
  platform::SetWindowsDirectory(configDir_);
  StartHeadlessConsole();
}

void ConsoleTest::TearDown() {
  StopHeadlessConsole();
  std::filesystem::remove_all(configDir_);
}

void ConsoleTest::WriteIni(const std::string& content) {
  std::ofstream(configDir_ + "/TAMIRE.INI", std::ios::binary) << content;
}

platform::HeadlessBackend& ConsoleTest::Backend() {
  return static_cast<platform::HeadlessBackend&>(platform::CurrentBackend());
}
platform::HeadlessSound& ConsoleTest::Sound() {
  return static_cast<platform::HeadlessSound&>(platform::CurrentSoundOutput());
}

void ConsoleTest::Press(int virtualKey, uint32_t modifiers, std::optional<uint8_t> character) {
  console::EnsureConsoleWindow();
  if (!character) character = platform::KeyCharacter(virtualKey, modifiers);
  if (modifiers & platform::ModAlt) character.reset();
  platform::PostKey({virtualKey, modifiers, character});
  console::KeyAvailable();
}

void ConsoleTest::Release(int virtualKey, uint32_t modifiers) {
  platform::PostKey({virtualKey, modifiers, std::nullopt, platform::KeyAction::Release});
  console::KeyAvailable();
}

std::vector<int> ConsoleTest::DrainQueue() {
  std::vector<int> codes;
  while (console::KeyAvailable()) codes.push_back(console::WaitKey());
  return codes;
}
