// The console window: its start and end, the window procedure, the magnifier, and what the
// system gives through the window (the clipboard, the clock, finished sound blocks).

#include <algorithm>
#include <cstdio>
#include <string>

#include "console/braille.h"
#include "console/console.h"
#include "console/console_internal.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/braille/braille.h"
#include "platform/core/backend.h"

namespace console {
namespace {

using detail::TheConsole;
using platform::Hwnd;

void DrawZoom(int x, int y) {
  const detail::Console& console = TheConsole();
  const int f = std::max(1, console.settings.magnifierFactor);
  const int width = console.clientSize.width, height = console.clientSize.height;
  const int left = std::max(0, x - x / f), top = std::max(0, y - y / f);
  platform::StretchSnapshot({left, top, left + width / f, top + height / f}, {0, 0, width, height});
}

void EndOfProgramStep() {
  detail::Console& console = TheConsole();
  console.endStepPending = false;
  if (console.window == 0 || !platform::IsWindow(console.window)) return;
  platform::SetWindowText(console.window, "Programa terminado");
  platform::EnableCloseCommand(console.window);
  detail::SetBreakCheck(false);
  platform::SetWindowProc(console.window, nullptr);
}

intptr_t ConsoleWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  using namespace platform;
  detail::Console& console = TheConsole();
  if (detail::HandleKeyboardMessage(message)) return 0;
  switch (message) {
    case WM_CREATE:
      console.chars.assign(ScreenColumns * ScreenRows, ' ');
      console.attrs.assign(ScreenColumns * ScreenRows, console.attribute);
      console.window = hwnd;
      SetInputProc(hwnd, detail::HandleInput);
      detail::ResetBraille();
      return 0;
    case WM_DESTROY:
      console.chars.clear();
      console.attrs.clear();
      console.cursorX = console.cursorY = console.focusRow = 0;
      PostQuitMessage(0);
      console.window = 0;
      return 0;
    case WM_PAINT: detail::PaintInvalid(); return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MinMaxInfo*>(lParam);
      const FontMetrics font = GetFontMetrics();
      const int cellWidth = font.averageWidth, cellHeight = font.height + font.externalLeading;
      const SystemMetrics metrics = GetSystemMetrics();
      const Size screen = GetScreenSize();
      info->maxSize = {
          std::min(ScreenColumns * cellWidth, screen.width) + 2 * metrics.frameWidth,
          std::min(metrics.captionHeight + ScreenRows * cellHeight, screen.height) + 2 * metrics.frameHeight};
      info->maxTrackSize = info->maxSize;
      info->minTrackSize = {2 * metrics.frameWidth + 16 * cellWidth,
                            2 * metrics.frameHeight + 4 * cellHeight + metrics.captionHeight};
      return 0;
    }
    case WM_RBUTTONDOWN:
      if (!console.magnifierActive && CanMagnify()) {
        console.magnifierActive = true;
        SnapshotClient(console.clientSize);
        DrawZoom(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      }
      return 0;
    case WM_MOUSEMOVE:
      if (console.magnifierActive) {
        DrawZoom(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      }
      return 0;
    case WM_RBUTTONUP:
      if (console.magnifierActive) {
        console.magnifierActive = false;
        FreeSnapshot();
        InvalidateRect(hwnd, nullptr, true);
      }
      return 0;
    case WM_CLOSE: CloseConsole();
    case WM_APP_NOTICE:
      while (const auto notice = TakeNotice()) SpeakNotice(*notice);
      return 0;
    case MM_WOM_DONE:
      if (console.waveDoneEnabled && console.waveDone) {
        console.waveDone(wParam, lParam);
        return 0;
      }
      return DefWindowProc(hwnd, message, wParam, lParam);
    default: return DefWindowProc(hwnd, message, wParam, lParam);
  }
}

}  // namespace

// ---- start-up and the window ----

void InitConsole(std::string_view programPath) {
  detail::Console& console = TheConsole();
  if (console.window != 0) {
    platform::SetWindowProc(console.window, nullptr);
    platform::DestroyWindow(console.window);
  }
  const bool endStepPending = console.endStepPending;
  console = detail::Console{};
  console.caption = std::string(programPath.substr(0, 79));
  detail::ResetKeyboard();
  detail::ResetBraille();
  console.endStepPending = true;
  if (!endStepPending) platform::AddExitStep(EndOfProgramStep);
}

void EnsureConsoleWindow() {
  detail::Console& console = TheConsole();
  if (console.window != 0) return;
  console.settings = detail::LoadConsoleSettings();
  console.attribute = console.settings.attribute;
  platform::CreateConsoleFont(console.settings.font);
  const platform::FontMetrics font = platform::GetFontMetrics();
  console.cells = {std::max(1, font.averageWidth), std::max(1, font.height + font.externalLeading), font.ascent,
                   font.overhang};
  const platform::SystemMetrics metrics = platform::GetSystemMetrics();
  const platform::Size outer{2 * metrics.frameWidth + ScreenColumns * console.cells.width,
                             2 * metrics.frameHeight + ScreenRows * console.cells.height + metrics.captionHeight};
  console.clientSize = {ScreenColumns * console.cells.width, ScreenRows * console.cells.height};
  if (platform::CreateAppWindow(ConsoleWindowProc, console.caption, outer) == 0) {
    std::fputs("quelvar: the console window cannot be created\n", stderr);
    platform::ExitProgram(1);
  }
  platform::ShowWindow(console.window, console.settings.maximized);
  platform::UpdateWindow(console.window);
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
    display->Attach(platform::CurrentBackend().NativeWindowId());
  }
  SetStartingBrailleMode(console.settings.brailleMode);
}

void SetWindowTitle(std::string_view title) {
  detail::Console& console = TheConsole();
  console.caption = std::string(title);
  if (console.window != 0) platform::SetWindowText(console.window, title);
}

void CloseConsole(int exitCode) {
  detail::Console& console = TheConsole();
  if (console.window != 0) {
    while (KeyAvailable()) WaitKey();
    platform::DeleteConsoleFont();
    platform::SetWindowProc(console.window, nullptr);
    platform::DestroyWindow(console.window);
    console.window = 0;
  }
  platform::ExitProgram(exitCode);
}

void SetWaveDoneHandler(WaveDoneProc handler, bool enabled) {
  detail::Console& console = TheConsole();
  console.waveDone = handler;
  console.waveDoneEnabled = enabled;
}

// ---- clipboard ----

void CopyToClipboard(std::string_view text) {
  if (!platform::ClipboardAvailable()) return;
  const std::size_t terminator = text.find('\0');
  platform::ClipboardSetText(text.substr(0, terminator));
}

void PasteFromClipboard(char* buffer, std::size_t size) {
  if (size == 0 || !platform::ClipboardAvailable()) return;
  const auto text = platform::ClipboardGetText();
  if (!text) {
    buffer[0] = '\0';
    return;
  }
  const std::size_t copied = std::min(size, text->size() + 1);
  std::copy_n(text->data(), std::min(copied, text->size()), buffer);
  buffer[copied - 1] = '\0';
}

// ---- clock ----

Date CurrentDate() {
  const platform::LocalTime t = platform::GetLocalTime();
  return {static_cast<uint16_t>(t.year), static_cast<uint16_t>(t.month), static_cast<uint16_t>(t.day),
          static_cast<uint16_t>(t.weekday)};
}

Time CurrentTime() {
  const platform::LocalTime t = platform::GetLocalTime();
  return {static_cast<uint16_t>(t.hour), static_cast<uint16_t>(t.minute), static_cast<uint16_t>(t.second),
          static_cast<uint16_t>(t.millisecond / 10)};
}

}  // namespace console
