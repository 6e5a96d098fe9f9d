#include "console_fixture.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "console/console.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/files.h"
#include "platform/win.h"

void ConsoleTest::SetUp() {
  char pattern[] = "/tmp/quelvar-console-XXXXXX";
  const char* dir = ::mkdtemp(pattern);
  ASSERT_NE(dir, nullptr);
  configDir_ = dir;
  platform::SetWindowsDirectory(configDir_);
  platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
  platform::SetProcessExitHook([](int code) { throw ProgramExit{code}; });
  console::ResetConsoleForTests();
  console::InitConsole("quelvar");
}

void ConsoleTest::TearDown() {
  console::ResetConsoleForTests();
  std::filesystem::remove_all(configDir_);
}

void ConsoleTest::WriteIni(const std::string& content) {
  std::ofstream(configDir_ + "/TAMIRE.INI", std::ios::binary) << content;
}

platform::HeadlessBackend& ConsoleTest::Backend() {
  return static_cast<platform::HeadlessBackend&>(platform::CurrentBackend());
}

void ConsoleTest::Press(int virtualKey, uint32_t modifiers, std::optional<uint8_t> character) {
  console::EnsureConsoleWindow();
  if (!character) character = platform::KeyCharacter(virtualKey, modifiers);
  if (modifiers & platform::ModAlt) character.reset();
  platform::PostKeyDown({virtualKey, modifiers, character});
  console::KeyAvailable();
}

void ConsoleTest::Release(int virtualKey, uint32_t modifiers) {
  platform::PostKeyUp(virtualKey, modifiers);
  console::KeyAvailable();
}

std::vector<int> ConsoleTest::DrainQueue() {
  std::vector<int> codes;
  while (console::KeyAvailable()) codes.push_back(console::WaitKey());
  return codes;
}
