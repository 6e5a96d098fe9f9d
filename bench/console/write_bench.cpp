// Console write throughput: characters per second through the program's text output,
// 79 characters and a line end per line, so the screen scrolls every 80 characters.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "console/console.h"
#include "console/screen.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/backend.h"
#include "platform/services/files.h"

#if __has_include("platform/backends/shared/window_backend.h")
#include "platform/backends/shared/window_backend.h"
#define HAVE_WINDOW 1
#endif

namespace {

void Prepare(std::unique_ptr<platform::Backend> backend) {
  char pattern[] = "/tmp/quelvar-bench-XXXXXX";
  if (const char* dir = ::mkdtemp(pattern)) platform::SetWindowsDirectory(dir);
  platform::SetBackend(std::move(backend));
  console::InitConsole("quelvar-bench");
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
// The console in a real window; false, with the benchmark skipped, where none opens.
bool PrepareWindow(benchmark::State& state) {
  std::string error;
  auto backend = platform::CreateWindowBackend(error);
  if (!backend) {
    state.SkipWithError(("no window: " + error).c_str());
    return false;
  }
  Prepare(std::move(backend));
  return true;
}

void BM_WindowWrite(benchmark::State& state) {
  if (!PrepareWindow(state)) return;
  console::MoveCursor(1, 25);
  WriteLines(state);
}
BENCHMARK(BM_WindowWrite);

// What the process holds: resident memory and whether an OpenGL stack is mapped.
void ReportProcess(benchmark::State& state) {
  std::ifstream maps("/proc/self/maps");
  bool gl = false;
  for (std::string line; std::getline(maps, line);) {
    gl = gl || line.find("libGL") != std::string::npos || line.find("libLLVM") != std::string::npos ||
         line.find("libEGL") != std::string::npos;
  }
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmRSS:", 0) == 0) state.counters["rss_mb"] = std::stod(line.substr(6)) / 1024.0;
  }
  state.counters["gl_mapped"] = gl ? 1 : 0;
}

// Every line shown on the screen before the next is written, as when the game writes a line
// and speaks it: Time and CPU are per scrolled line, wall and processor.
void BM_WindowLineShown(benchmark::State& state) {
  if (!PrepareWindow(state)) return;
  console::MoveCursor(1, 25);
  // Lines that differ, as a story's do.
  std::string line = std::string(79, 'x') + "\r\n";
  uint64_t n = 0;
  for (auto _ : state) {
    const std::string number = std::to_string(++n);
    std::copy(number.begin(), number.end(), line.begin() + 70);
    line[static_cast<std::size_t>(n % 60)] = static_cast<char>('a' + n % 26);
    console::Write(line);
    platform::CurrentBackend().Present(true);
  }
  ReportProcess(state);
}
BENCHMARK(BM_WindowLineShown)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
