// Console write throughput: characters per second through the program's text output,
// 79 characters and a line end per line, so the screen scrolls every 80 characters.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/screen.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/headless.h"

#if __has_include("platform/sdl_backend.h")
#include "platform/sdl_backend.h"
#define HAVE_WINDOW 1
#endif

namespace {

void Prepare(std::unique_ptr<platform::Backend> backend) {
  char pattern[] = "/tmp/quelvar-bench-XXXXXX";
  if (const char* dir = ::mkdtemp(pattern)) platform::SetWindowsDirectory(dir);
  platform::SetBackend(std::move(backend));
  console::ResetConsoleForTests();
  console::EnsureConsoleWindow();
}

void WriteLines(benchmark::State& state) {
  const std::string line = std::string(79, 'x') + "\r\n";
  int64_t characters = 0;
  for (auto _ : state) {
    console::Write(line);
    characters += static_cast<int64_t>(line.size()) - 1;  // CR moves, LF scrolls: 80 cells a line
  }
  state.counters["chars/s"] = benchmark::Counter(static_cast<double>(characters), benchmark::Counter::kIsRate);
}

void BM_HeadlessWrite(benchmark::State& state) {
  Prepare(std::make_unique<platform::HeadlessBackend>());
  console::MoveCursor(1, 25);
  WriteLines(state);
}
BENCHMARK(BM_HeadlessWrite);

#ifdef HAVE_WINDOW
void BM_WindowWrite(benchmark::State& state) {
  std::string error;
  auto backend = platform::CreateWindowBackend(error);
  if (!backend) {
    state.SkipWithError(("no window: " + error).c_str());
    return;
  }
  Prepare(std::move(backend));
  console::MoveCursor(1, 25);
  WriteLines(state);
}
BENCHMARK(BM_WindowWrite);
#endif

}  // namespace

BENCHMARK_MAIN();
