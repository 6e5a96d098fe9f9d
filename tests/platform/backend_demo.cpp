// A manual check of the interactive backends (not run by ctest): opens the window or the
// terminal, draws rows in the console's colours, and lists the key events and mouse
// messages it receives. Usage: backend_demo window|terminal [exit-after-ms]
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>

#include "platform/audio/sound_output.h"
#include "platform/backends/shared/window_backend.h"
#include "platform/backends/terminal/terminal_backend.h"
#include "text/cp1252.h"

namespace {

using namespace platform;

constexpr Rgb Palette[16] = {{0, 0, 0},       {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
                             {255, 0, 0},     {142, 0, 142},   {68, 34, 34},    {192, 192, 192},
                             {128, 128, 128}, {128, 128, 255}, {128, 255, 128}, {128, 255, 255},
                             {255, 128, 128}, {255, 128, 255}, {255, 255, 0},   {255, 255, 255}};
FontMetrics gMetrics;
std::deque<std::string> gLog;
bool gPrintLog = false;  // also to standard output (the window only: the terminal is the screen)

std::string Describe(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  char text[96];
  const char* name = "?";
  switch (message) {
    case WM_SETFOCUS: name = "SETFOCUS"; break;
    case WM_KILLFOCUS: name = "KILLFOCUS"; break;
    case WM_RBUTTONDOWN: name = "RBUTTONDOWN"; break;
    case WM_RBUTTONUP: name = "RBUTTONUP"; break;
    case WM_MOUSEMOVE: name = "MOUSEMOVE"; break;
    default: break;
  }
  std::snprintf(text, sizeof text, "%s w=%lu l=%ld", name, static_cast<unsigned long>(wParam),
                static_cast<long>(lParam));
  return text;
}

std::string Describe(const KeyEvent& key) {
  char text[96];
  const uint32_t modifiers = key.modifiers;
  std::snprintf(text, sizeof text, "%s %d%s%s%s%s", key.action == KeyAction::Release ? "UP" : "DOWN", key.virtualKey,
                key.character ? (" char " + std::to_string(*key.character)).c_str() : "",
                (modifiers & ModCtrl) ? " Ctrl" : "", (modifiers & ModAlt) ? " Alt" : "",
                (modifiers & ModShift) ? " Shift" : "");
  return text;
}

void Log(Hwnd hwnd, std::string line) {
  gLog.push_front(std::move(line));
  if (gPrintLog) std::printf("%s\n", gLog.front().c_str());
  if (gLog.size() > 8) gLog.pop_back();
  InvalidateRect(hwnd, nullptr, false);
}

int CellWidth() { return gMetrics.averageWidth; }
int CellHeight() { return gMetrics.height + gMetrics.externalLeading; }

void Paint() {
  BeginPaint(1);
  const std::string sample = text::Utf8ToCp1252("  ação, coração, € “aspas” Ç — ");
  for (int row = 0; row < 16; ++row) {
    const std::string text = "Linha " + std::to_string(row + 1) + ":" + sample;
    TextOut(0, row * CellHeight(), text, Palette[row], Palette[(row + 8) % 16]);
    TextOut(static_cast<int>(text.size()) * CellWidth(), row * CellHeight(), std::string(80 - text.size(), ' '),
            Palette[15], Palette[0]);
  }
  for (int i = 0; i < 8; ++i) {
    std::string line = i < static_cast<int>(gLog.size()) ? gLog[static_cast<std::size_t>(i)] : "";
    line.resize(80, ' ');
    TextOut(0, (17 + i) * CellHeight(), line, Palette[14], Palette[1]);
  }
  EndPaint(1);
}

intptr_t Procedure(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_CLOSE: ExitProgram(0);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MOUSEMOVE: Log(hwnd, Describe(message, wParam, lParam)); return 0;
    default: return DefWindowProc(hwnd, message, wParam, lParam);
  }
}

void TakeInput(Hwnd hwnd, const Input& input) {
  if (const auto* key = std::get_if<KeyEvent>(&input)) {
    Log(hwnd, Describe(*key));
    if (key->character == 'q') ExitProgram(0);
    if (key->character == 'b') MessageBeep();
  }
  DefInputProc(hwnd, input);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc > 1 ? argv[1] : "window";
  std::string error;
  std::unique_ptr<Backend> backend = kind == "terminal" ? CreateTerminalBackend(error) : CreateWindowBackend(error);
  if (!backend) {
    std::fprintf(stderr, "backend_demo: %s\n", error.c_str());
    return 1;
  }
  gPrintLog = kind != "terminal";
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  SetBackend(std::move(backend));
  const Rect area = GetWorkArea();
  FontRequest font{"Lucida Console", static_cast<int>((area.bottom - area.top) / 734.0 * 28),
                   static_cast<int>((area.right - area.left) / 1024.0 * 13), 700};
  CreateConsoleFont(font);
  gMetrics = GetFontMetrics();
  const Hwnd window =
      CreateAppWindow(Procedure, text::Utf8ToCp1252("Demonstração do console"), {80 * CellWidth(), 25 * CellHeight()});
  SetInputProc(window, TakeInput);
  ShowWindow(window, false);
  CreateCaret(window, CellWidth(), 2);
  SetCaretPos(0, 16 * CellHeight() + gMetrics.ascent);
  ShowCaret(window);
  if (argc > 2) ScheduleCallback(NowMs() + static_cast<uint64_t>(std::atoi(argv[2])), [] { ExitProgram(0); });
  for (;;) {
    Message message;
    while (PeekMessage(message)) DispatchMessage(message);
    WaitMessage();
  }
}
