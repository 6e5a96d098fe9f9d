#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/braille.h"
#include "platform/output_file.h"
#include "platform/process.h"

namespace platform {
namespace {

struct WindowState {
  bool exists = false;
  WindowProc proc = nullptr;
  std::string title;
  Rect invalid;
  bool eraseInvalid = false;
};

struct CaretState {
  bool created = false, visible = false;
  int x = 0, y = 0, width = 0, height = 0;
};

// Written only by the main thread, which also reads it freely. Other threads only wake
// it (WakeBackend), under gBackendMutex, so that a wake never reaches a backend being
// replaced or ended.
std::unique_ptr<Backend> gBackend;
std::mutex gBackendMutex;
std::mutex gQueueMutex;
std::deque<Message> gQueue;          // guarded by gQueueMutex
std::deque<std::string> gNotices;    // guarded by gQueueMutex
std::vector<std::string> gToldUser;  // written again after the terminal is given back
WindowState gWindow;
CaretState gCaret;
std::multimap<uint64_t, std::function<void()>> gTimers;
std::map<Hwnd, WindowProc> gMessageWindows;
Hwnd gNextMessageWindow = 2;
std::atomic<int> gBackgroundWork{0};
std::vector<std::function<void()>> gExitSteps;
std::function<void(int)> gExitHook;
bool gExiting = false;
bool gDrawn = false;

Rect Union(const Rect& a, const Rect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Any thread: makes a backend waiting for events look at the queue.
void WakeBackend() {
  std::lock_guard lock(gBackendMutex);
  if (gBackend) gBackend->Wake();
}

void FireDueTimers() {
  if (gTimers.empty() || !gBackend) return;
  const uint64_t now = gBackend->NowMs();
  while (!gTimers.empty() && gTimers.begin()->first <= now) {
    auto fn = std::move(gTimers.begin()->second);
    gTimers.erase(gTimers.begin());
    fn();
  }
}

}  // namespace

void PostNotice(std::string cp1252) {
  {
    std::lock_guard lock(gQueueMutex);
    gNotices.push_back(std::move(cp1252));
  }
  PostMessage(ConsoleWindowHandle, WM_APP_NOTICE);
}

std::optional<std::string> TakeNotice() {
  std::lock_guard lock(gQueueMutex);
  if (gNotices.empty()) return std::nullopt;
  std::string notice = std::move(gNotices.front());
  gNotices.pop_front();
  return notice;
}

namespace {

bool QueueEmpty() {
  std::lock_guard lock(gQueueMutex);
  return gQueue.empty();
}

bool PaintPending() { return gWindow.exists && !gWindow.invalid.Empty(); }

void ShowCaretNow() {
  if (gBackend) gBackend->Caret(gCaret.created && gCaret.visible, gCaret.x, gCaret.y, gCaret.width, gCaret.height);
}

void PresentIfDrawn(bool urgent) {
  if (gDrawn && gBackend) {
    gBackend->Present(urgent);
    if (urgent) gDrawn = false;
  }
}

}  // namespace

// ---- backend ownership ----

void SetBackend(std::unique_ptr<Backend> backend) {
  std::unique_ptr<Backend> previous;
  {
    std::lock_guard lock(gBackendMutex);
    previous = std::exchange(gBackend, std::move(backend));
  }
  // Ended outside the lock: its own threads may still post messages while it stops them.
  previous.reset();
}
Backend& CurrentBackend() { return *gBackend; }
bool HasBackend() { return gBackend != nullptr; }

bool Backend::ClipboardSet(std::string_view cp1252) {
  clipboard_ = std::string(cp1252);
  return true;
}
std::optional<std::string> Backend::ClipboardGet() { return clipboard_; }

// ---- messages ----

void PostMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  {
    std::lock_guard lock(gQueueMutex);
    gQueue.push_back({hwnd, message, wParam, lParam});
  }
  WakeBackend();
}

void PostQuitMessage(int exitCode) { PostMessage(0, WM_QUIT, static_cast<uintptr_t>(exitCode), 0); }

bool PeekMessage(Message& message, Hwnd filter) {
  FireDueTimers();
  if (gBackend) gBackend->PollEvents();
  {
    std::lock_guard lock(gQueueMutex);
    for (auto it = gQueue.begin(); it != gQueue.end(); ++it) {
      if (filter == 0 || it->hwnd == filter) {
        message = *it;
        gQueue.erase(it);
        return true;
      }
    }
  }
  if (PaintPending() && (filter == 0 || filter == ConsoleWindowHandle)) {
    message = {ConsoleWindowHandle, WM_PAINT, 0, 0};
    return true;
  }
  PresentIfDrawn(false);
  return false;
}

void TranslateMessage(const Message&) {}

intptr_t DispatchMessage(const Message& message) {
  if (const auto it = gMessageWindows.find(message.hwnd); it != gMessageWindows.end()) {
    return it->second(message.hwnd, message.message, message.wParam, message.lParam);
  }
  if (message.hwnd != ConsoleWindowHandle || !gWindow.exists) return 0;
  const intptr_t result = gWindow.proc ? gWindow.proc(message.hwnd, message.message, message.wParam, message.lParam)
                                       : DefWindowProc(message.hwnd, message.message, message.wParam, message.lParam);
  return result;
}

intptr_t SendMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DispatchMessage({hwnd, message, wParam, lParam});
}

void WaitMessage() {
  for (;;) {
    FireDueTimers();
    if (!QueueEmpty() || PaintPending()) return;
    gBackend->PollEvents();
    if (!QueueEmpty()) return;
    PresentIfDrawn(true);
    int timeout = -1;
    if (!gTimers.empty()) {
      const uint64_t now = gBackend->NowMs();
      const uint64_t due = gTimers.begin()->first;
      timeout = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(due - now, 1000000));
    }
    gBackend->WaitEvents(timeout);
  }
}

void ScheduleCallback(uint64_t dueMs, std::function<void()> fn) { gTimers.emplace(dueMs, std::move(fn)); }

Hwnd CreateMessageWindow(WindowProc proc) {
  const Hwnd hwnd = gNextMessageWindow++;
  gMessageWindows[hwnd] = proc;
  return hwnd;
}

void DestroyMessageWindow(Hwnd hwnd) { gMessageWindows.erase(hwnd); }

void BeginBackgroundWork() { ++gBackgroundWork; }
void EndBackgroundWork() {
  --gBackgroundWork;
  WakeBackend();
}
bool BackgroundWorkPending() { return gBackgroundWork.load() > 0; }

// ---- keys from the backends ----

std::optional<uint8_t> KeyCharacter(int virtualKey, uint32_t modifiers) {
  const bool ctrl = modifiers & ModCtrl;
  if (virtualKey == VK_RETURN) return 13;
  if (virtualKey == VK_BACK) return 8;
  if (virtualKey == VK_TAB && !ctrl) return 9;
  if (virtualKey == VK_ESCAPE) return 27;
  if (ctrl && virtualKey >= 'A' && virtualKey <= 'Z') return static_cast<uint8_t>(virtualKey - 'A' + 1);
  if (ctrl && virtualKey == 0xDC) return 28;  // Ctrl+backslash
  if (ctrl && virtualKey == 0xDB) return 27;  // Ctrl+[
  if (ctrl && virtualKey == 0xDD) return 29;  // Ctrl+]
  return std::nullopt;
}

int VirtualKeyOfCharacter(uint8_t ch) {
  if (ch >= 'a' && ch <= 'z') return ch - 32;
  if ((ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return ch;
  if (ch == ' ') return VK_SPACE;
  if (ch == '\\') return 0xDC;
  return 0;
}

void PostKeyDown(const KeyEvent& key) {
  const bool alt = key.modifiers & ModAlt;
  const bool ctrl = key.modifiers & ModCtrl;
  const bool system = (alt && !ctrl) || (key.virtualKey == VK_F10 && !ctrl);
  {
    std::lock_guard lock(gQueueMutex);
    const intptr_t lParam = KeyMessageParam(key.modifiers);
    gQueue.push_back({ConsoleWindowHandle, system ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<uintptr_t>(key.virtualKey),
                      lParam});
    if (key.character) gQueue.push_back({ConsoleWindowHandle, system ? WM_SYSCHAR : WM_CHAR, *key.character, lParam});
  }
  WakeBackend();
}

void PostKeyUp(int virtualKey, uint32_t modifiers) {
  const bool system = (modifiers & ModAlt) && !(modifiers & ModCtrl);
  {
    std::lock_guard lock(gQueueMutex);
    gQueue.push_back(
        {ConsoleWindowHandle, system ? WM_SYSKEYUP : WM_KEYUP, static_cast<uintptr_t>(virtualKey), KeyMessageParam(modifiers)});
  }
  WakeBackend();
}

void PostKeyMessage(uint32_t message, uintptr_t wParam, uint32_t modifiers) {
  {
    std::lock_guard lock(gQueueMutex);
    gQueue.push_back({ConsoleWindowHandle, message, wParam, KeyMessageParam(modifiers)});
  }
  WakeBackend();
}

void PostKeyEvent(const KeyEvent& key, bool release) {
  PostKeyDown(key);
  if (release) PostKeyUp(key.virtualKey, key.modifiers);
}

// ---- the window ----

Hwnd CreateAppWindow(WindowProc proc, std::string_view title, Size outerSize) {
  if (gWindow.exists) return ConsoleWindowHandle;
  gWindow = WindowState{};
  gWindow.proc = proc;
  gWindow.title = std::string(title);
  MinMaxInfo limits{};
  gWindow.exists = true;  // the procedure may be called from here on
  SendMessage(ConsoleWindowHandle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&limits));
  if (limits.maxTrackSize.width > 0) {
    outerSize.width = std::min(outerSize.width, limits.maxTrackSize.width);
    outerSize.height = std::min(outerSize.height, limits.maxTrackSize.height);
  }
  if (!gBackend->OpenWindow(title, outerSize)) {
    gWindow.exists = false;
    return 0;
  }
  SendMessage(ConsoleWindowHandle, WM_CREATE, 0, 0);
  if (gBackend->HasFocus()) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
  return ConsoleWindowHandle;
}

void ShowWindow(Hwnd hwnd, bool maximized) {
  if (hwnd != ConsoleWindowHandle || !gWindow.exists) return;
  if (maximized) {
    // A maximized console is as large as its text: the procedure's limits say how large.
    MinMaxInfo limits{};
    SendMessage(ConsoleWindowHandle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&limits));
    gBackend->Maximize(limits.maxSize);
  }
  InvalidateRect(hwnd, nullptr, true);
}

void DestroyWindow(Hwnd hwnd) {
  if (hwnd != ConsoleWindowHandle || !gWindow.exists) return;
  SendMessage(ConsoleWindowHandle, WM_DESTROY, 0, 0);
  gBackend->CloseWindow();
  gWindow.exists = false;
  gWindow.proc = nullptr;
  gCaret = CaretState{};
}

void SetWindowProc(Hwnd hwnd, WindowProc proc) {
  if (hwnd == ConsoleWindowHandle) gWindow.proc = proc;
}

intptr_t DefWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F1 + 3 && (KeyModifiers(lParam) & ModAlt)) PostMessage(hwnd, WM_CLOSE);
      return 0;
    case WM_PAINT:
      BeginPaint(hwnd);
      EndPaint(hwnd);
      return 0;
    default: return 0;
  }
}

bool IsWindow(Hwnd hwnd) { return hwnd == ConsoleWindowHandle && gWindow.exists; }

void SetWindowText(Hwnd hwnd, std::string_view cp1252) {
  if (hwnd != ConsoleWindowHandle) return;
  gWindow.title = std::string(cp1252);
  if (gWindow.exists) gBackend->SetTitle(cp1252);
}

std::string GetWindowText(Hwnd hwnd) { return hwnd == ConsoleWindowHandle ? gWindow.title : std::string(); }
// The window's close command is never taken away here, so there is nothing to give back.
void EnableCloseCommand(Hwnd) {}
bool IsActiveWindow(Hwnd hwnd) { return IsWindow(hwnd) && gBackend->IsActive(); }
bool HasFocus(Hwnd hwnd) { return IsWindow(hwnd) && gBackend->HasFocus(); }
Rect GetWindowRect(Hwnd hwnd) { return IsWindow(hwnd) ? gBackend->WindowRect() : Rect{}; }
Rect GetWorkArea() { return gBackend->WorkArea(); }
Size GetScreenSize() { return gBackend->ScreenSize(); }
SystemMetrics GetSystemMetrics() { return gBackend->Metrics(); }
void MessageBeep() { gBackend->Beep(); }

// ---- painting ----

void InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) {
  if (!IsWindow(hwnd)) return;
  const Rect all{0, 0, 1 << 20, 1 << 20};
  gWindow.invalid = Union(gWindow.invalid, rect ? *rect : all);
  gWindow.eraseInvalid = gWindow.eraseInvalid || erase;
}

void UpdateWindow(Hwnd hwnd) {
  if (PaintPending() && hwnd == ConsoleWindowHandle) SendMessage(ConsoleWindowHandle, WM_PAINT);
}

Rect BeginPaint(Hwnd hwnd) {
  if (!IsWindow(hwnd)) return {};
  const Rect invalid = gWindow.invalid;
  if (gWindow.eraseInvalid) gBackend->Fill(invalid, Rgb{});
  gWindow.invalid = Rect{};
  gWindow.eraseInvalid = false;
  gDrawn = true;
  return invalid;
}

// Painting leaves no state to end: BeginPaint has validated the window already.
void EndPaint(Hwnd) {}

bool CreateConsoleFont(const FontRequest& request) { return gBackend->CreateFont(request); }
void DeleteConsoleFont() { gBackend->DeleteFont(); }
FontMetrics GetFontMetrics() { return gBackend->MeasureFont(); }

void TextOut(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) {
  if (!gWindow.exists) return;
  gBackend->DrawText(x, y, cp1252, foreground, background);
  gDrawn = true;
}

void FillRect(const Rect& rect, Rgb colour) {
  if (!gWindow.exists) return;
  gBackend->Fill(rect, colour);
  gDrawn = true;
}

void CopyClientRect(const Rect& source, int destX, int destY) {
  if (!gWindow.exists) return;
  gBackend->Copy(source, destX, destY);
  gDrawn = true;
}

void SnapshotClient(Size size) { gBackend->Snapshot(size); }
void StretchSnapshot(const Rect& source, const Rect& dest) {
  gBackend->Stretch(source, dest);
  gDrawn = true;
}
void FreeSnapshot() { gBackend->FreeSnapshot(); }
bool CanMagnify() { return gBackend->CanMagnify(); }
bool ReportsKeyReleases() { return gBackend->ReportsKeyReleases(); }

void NoteWrittenText(std::string_view cp1252) {
  if (gBackend) gBackend->WrittenText(cp1252);
}

// ---- caret ----

void CreateCaret(Hwnd hwnd, int width, int height) {
  if (!IsWindow(hwnd)) return;
  gCaret = CaretState{true, false, gCaret.x, gCaret.y, width, height};
  ShowCaretNow();
}
void SetCaretPos(int x, int y) {
  gCaret.x = x;
  gCaret.y = y;
  if (gCaret.created) ShowCaretNow();
}
void ShowCaret(Hwnd hwnd) {
  if (!IsWindow(hwnd) || !gCaret.created) return;
  gCaret.visible = true;
  ShowCaretNow();
}
void DestroyCaret() {
  if (!gCaret.created) return;
  gCaret.created = gCaret.visible = false;
  ShowCaretNow();
}

// ---- clipboard ----

bool ClipboardAvailable() { return HasBackend(); }
bool ClipboardSetText(std::string_view cp1252) { return gBackend->ClipboardSet(cp1252); }
std::optional<std::string> ClipboardGetText() { return gBackend->ClipboardGet(); }

// ---- looping sound ----

void PlayLoopingSound(std::span<const uint8_t> waveImage) { gBackend->PlayLoop(waveImage); }
void StopLoopingSound() { gBackend->StopLoop(); }

// ---- time ----

uint64_t NowMs() { return gBackend->NowMs(); }
void Sleep(uint32_t milliseconds) {
  PresentIfDrawn(true);
  gBackend->Sleep(milliseconds);
}
LocalTime GetLocalTime() { return gBackend->Now(); }

// ---- the program's end ----

void AddExitStep(std::function<void()> step) { gExitSteps.push_back(std::move(step)); }

void TellUser(const std::string& line) { TellPlayer(line, {}); }
void TellPlayer(const std::string& line, const std::string& portuguese, bool failure) {
  ShowUserLine(line, failure, portuguese);
  gToldUser.push_back(line);
}
void SetProcessExitHook(std::function<void(int)> hook) { gExitHook = std::move(hook); }

void ExitProgram(int exitCode) {
  if (!gExiting) {
    gExiting = true;
    while (!gExitSteps.empty()) {
      auto step = std::move(gExitSteps.back());
      gExitSteps.pop_back();
      step();
    }
    PresentIfDrawn(true);
    gExiting = false;
  }
  // An output file that could not be written in full fails the run, however it ended.
  if (exitCode == 0 && OutputFailed()) exitCode = 1;
  if (gExitHook) {
    gExitHook(exitCode);
  }
  const bool hadTerminal = gBackend && std::string_view(gBackend->Name()) == "terminal";
  SetBackend(nullptr);
  if (hadTerminal) {
    for (const std::string& line : gToldUser) std::fprintf(stderr, "%s\n", line.c_str());
  }
  std::exit(exitCode);
}

}  // namespace platform
