#include "editor_fixture.h"

#include <filesystem>
#include <memory>

#include "console/console.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "platform/services/process.h"
#include "speech/cues.h"
#include "speech/state.h"

namespace {

TypistBackend* gTypist = nullptr;

}  // namespace

void TypistBackend::WaitEvents(int timeoutMs) {
  if (timeoutMs >= 0 || strokes.empty()) {
    HeadlessBackend::WaitEvents(timeoutMs);
    return;
  }
  if (beforeKey) beforeKey();
  for (const platform::KeyEvent& key : strokes.front()) platform::PostKeyEvent(key, true);
  strokes.pop_front();
}

TypistBackend::TypistBackend() {
  platform::SetProgramStarter([this](const std::vector<std::string>& command) {
    started.push_back(command);
    return true;
  });
}
TypistBackend::~TypistBackend() { platform::SetProgramStarter({}); }

uint8_t RecordedSounds::ReadKeySpoken() {
  const uint8_t key = console::WaitKey();
  requests.push_back("key " + std::to_string(key));
  return key;
}

void EditorTest::SetUp() {
  configDir_ = MakeTestFolder("editor");
  ASSERT_FALSE(configDir_.empty());
  platform::SetWindowsDirectory(configDir_);
  auto backend = std::make_unique<TypistBackend>();
  gTypist = backend.get();
  StartHeadlessConsole(std::move(backend));
  console::EnsureConsoleWindow();
  speech::ResetSpeech();
}

void EditorTest::TearDown() {
  StopHeadlessConsole();
  speech::ResetSpeech();
  std::filesystem::remove_all(configDir_);
}

namespace {

std::vector<platform::KeyEvent> Keys(const std::string& script) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  EXPECT_TRUE(platform::ParseKeyScript(script + "<NoEnter>", items, error)) << error;
  std::vector<platform::KeyEvent> keys;
  for (const auto& item : items) {
    if (!item.isWait) keys.push_back(item.key);
  }
  return keys;
}

}  // namespace

void EditorTest::Type(const std::string& script) {
  for (const platform::KeyEvent& key : Keys(script)) Backend().strokes.push_back({key});
}

void EditorTest::TypeAhead(const std::string& script) { Backend().strokes.push_back(Keys(script)); }

TypistBackend& EditorTest::Backend() { return *gTypist; }

std::string EditorTest::Row(int row) {
  std::string text;
  for (int column = 1; column <= console::ScreenColumns; ++column) {
    text += static_cast<char>(console::ScreenCharAt(column, row));
  }
  return text;
}

std::vector<std::string> EditorTest::TakeRequests() {
  std::vector<std::string> taken;
  taken.swap(sounds_.requests);
  return taken;
}
