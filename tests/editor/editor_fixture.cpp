#include "editor_fixture.h"

#include <filesystem>
#include <memory>

#include "console/console.h"
#include "console/screen.h"
#include "editor/editor.h"
#include "platform/files.h"
#include "platform/win.h"
#include "speech/cues.h"
#include "speech/state.h"

namespace {

TypistBackend* gTypist = nullptr;

uint32_t TypistModifiers() { return gTypist ? gTypist->lastModifiers : 0; }

}  // namespace

void TypistBackend::WaitEvents(int timeoutMs) {
  if (timeoutMs >= 0 || keys.empty()) {
    HeadlessBackend::WaitEvents(timeoutMs);
    return;
  }
  if (beforeKey) beforeKey();
  const platform::KeyEvent key = keys.front();
  keys.pop_front();
  lastModifiers = key.modifiers;
  platform::PostKeyEvent(key, true);
}

void EditorTest::SetUp() {
  configDir_ = MakeTestFolder("editor");
  ASSERT_FALSE(configDir_.empty());
  platform::SetWindowsDirectory(configDir_);
  auto backend = std::make_unique<TypistBackend>();
  gTypist = backend.get();
  StartHeadlessConsole(std::move(backend));
  console::EnsureConsoleWindow();
  speech::State().Reset();
  editor::SetEditorObserverForTests([this](std::string_view r) { requests_.emplace_back(r); },
                                    editor::EditorRequests::RecordedOnly);
  editor::SetKeyModifierSourceForTests(TypistModifiers);
}

void EditorTest::TearDown() {
  editor::SetEditorObserverForTests(nullptr);
  editor::SetKeyModifierSourceForTests(nullptr);
  console::ResetConsoleForTests();
  speech::State().Reset();
  std::filesystem::remove_all(configDir_);
}

void EditorTest::Type(const std::string& script) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  ASSERT_TRUE(platform::ParseKeyScript(script + "<NoEnter>", items, error)) << error;
  for (const auto& item : items) {
    if (!item.isWait) Backend().keys.push_back(item.key);
  }
}

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
  taken.swap(requests_);
  return taken;
}
