// The line editor's time per key on the headless backend, echo on: every key redraws the
// shown part of the field and asks for its sound, as in play.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/screen.h"
#include "editor/editor.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/state.h"

namespace {

platform::HeadlessBackend* Prepare() {
  char pattern[] = "/tmp/quelvar-bench-XXXXXX";
  if (const char* dir = ::mkdtemp(pattern)) platform::SetWindowsDirectory(dir);
  auto backend = std::make_unique<platform::HeadlessBackend>();
  auto* headless = backend.get();
  platform::SetBackend(std::move(backend));
  platform::SetProcessExitHook([](int) { std::abort(); });
  console::InitConsole("quelvar-bench");
  console::EnsureConsoleWindow();
  speech::State().echoTyping = true;
  return headless;
}

std::vector<platform::ScriptItem> Script(const std::string& line) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  platform::ParseKeyScript(line, items, error);
  return items;
}

// One command typed, corrected and sent, as a player does at the prompt.
void RunEdits(benchmark::State& state, const std::string& line, int maxLen, const std::string& proposed) {
  auto* headless = Prepare();
  const auto items = Script(line);
  int64_t keys = 0;
  for (auto _ : state) {
    headless->SetScript(items);
    std::string text = proposed;
    editor::EditLine(text, 2, 25, maxLen, 77);
    benchmark::DoNotOptimize(text);
    keys += static_cast<int64_t>(items.size());
  }
  state.counters["keys/s"] = benchmark::Counter(static_cast<double>(keys), benchmark::Counter::kIsRate);
  state.counters["s/key"] =
      benchmark::Counter(static_cast<double>(keys), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_TypeAndCorrectCommand(benchmark::State& state) {
  RunEdits(state, "abrir a gaveta do arm\xC3\xA1rio<BS><BS><Left><Left><Right><Ctrl+Left><Ctrl+Right><End>io", 255, "");
}
BENCHMARK(BM_TypeAndCorrectCommand);

// Inserting at the start of a long, scrolled field moves every character after it.
void BM_InsertIntoLongField(benchmark::State& state) {
  RunEdits(state, "<Right>" + std::string(60, 'x'), 2048, std::string(2000, 'a'));
}
BENCHMARK(BM_InsertIntoLongField);

void BM_SelectAndDelete(benchmark::State& state) {
  std::string keys;
  for (int i = 0; i < 20; ++i) keys += "<Shift+Right>";
  RunEdits(state, keys + "<Shift+Del><Ctrl+v><Shift+Home><Ctrl+c>", 255, std::string(60, 'b'));
}
BENCHMARK(BM_SelectAndDelete);

}  // namespace

BENCHMARK_MAIN();
