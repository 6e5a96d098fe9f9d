#include <algorithm>
#include <atomic>
#include <bitset>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/core/backend.h"
#include "platform/services/process.h"

namespace platform {
namespace {

// The installed backend. Written only by the program's thread, which also reads it freely;
// other threads only wake it (WakeBackend), under the mutex, so that a wake never reaches a
// backend being replaced or ended.
struct InstalledBackend {
  std::mutex mutex;
  std::unique_ptr<Backend> backend;
};

// What a message is to the queue's bound on input.
enum class InputKind { None, Press, Release };

InputKind InputKindOf(const Message& message) {
  if (const auto* key = std::get_if<KeyEvent>(&message.input)) {
    return key->action == KeyAction::Release ? InputKind::Release : InputKind::Press;
  }
  if (const auto* braille = std::get_if<BrailleInput>(&message.input)) {
    return braille->IsKey() ? InputKind::Press : InputKind::None;
  }
  switch (message.message) {
    case WM_MOUSEMOVE:
    case WM_RBUTTONDOWN: return InputKind::Press;
    case WM_RBUTTONUP: return InputKind::Release;
    default: return InputKind::None;
  }
}

// The program's message queue: the messages posted from any thread and the backends'
// notices (both under the mutex), and, on the program's thread, the timers and the message
// windows of engines.
//
// Input (key presses and releases, the mouse, a Braille display's keys) waits here at most
// MostPendingInput messages deep; past that, new input is dropped as the console's own key
// queue drops keys, silently, so that a paste or a flood of any size takes no more memory
// and the game answers as soon as it stops. Everything else (timers, wake-ups, painting,
// the close, finished sound blocks) is never dropped. A release whose press was dropped is
// dropped with it, so that no key seems to be let go that never went down. A key's press
// comes as one message with its character.
class MessageQueue {
 public:
  static constexpr std::size_t MostPendingInput = MostPendingInputMessages;

  void Post(const Message& message) {
    std::lock_guard lock(mutex_);
    if (!Admit(message)) return;
    if (InputKindOf(message) != InputKind::None) ++pendingInput_;
    messages_.push_back(message);
  }
  // The first message for the window (0: any window), taken out.
  std::optional<Message> Take(Hwnd filter) {
    std::lock_guard lock(mutex_);
    for (auto it = messages_.begin(); it != messages_.end(); ++it) {
      if (filter == 0 || it->hwnd == filter) {
        const Message message = *it;
        messages_.erase(it);
        if (InputKindOf(message) != InputKind::None) --pendingInput_;
        return message;
      }
    }
    return std::nullopt;
  }
  bool Empty() {
    std::lock_guard lock(mutex_);
    return messages_.empty();
  }
  std::size_t PendingInput() {
    std::lock_guard lock(mutex_);
    return pendingInput_;
  }
  void AddNotice(std::string notice) {
    std::lock_guard lock(mutex_);
    // A notice is for the player to hear; a backend repeating itself needs no more room.
    constexpr std::size_t MostNotices = 16;
    if (notices_.size() < MostNotices) notices_.push_back(std::move(notice));
  }
  std::optional<std::string> TakeNotice() {
    std::lock_guard lock(mutex_);
    if (notices_.empty()) return std::nullopt;
    std::string notice = std::move(notices_.front());
    notices_.pop_front();
    return notice;
  }

  std::multimap<uint64_t, std::function<void()>> timers;
  std::map<Hwnd, WindowProc> messageWindows;
  Hwnd nextMessageWindow = 2;
  std::atomic<int> backgroundWork{0};  // any thread

 private:
  // With mutex_ held: whether the message goes in, noting which keys went down.
  bool Admit(const Message& message) {
    const InputKind kind = InputKindOf(message);
    if (kind == InputKind::None) return true;
    const auto key = KeyOf(message);
    bool admitted = true;
    if (kind == InputKind::Press) {
      // Only with room for its release too, which always goes in after it.
      admitted = pendingInput_ + 2 <= MostPendingInput;
      if (key && admitted) {
        down_[*key] = true;
        dropped_[*key] = false;
      } else if (key && !down_[*key]) {
        dropped_[*key] = true;
      }
      return admitted;
    }
    // A release whose key went down here goes in; one whose press was dropped is dropped
    // too; one of a key never seen going down only within twice the bound.
    if (key && !down_[*key] && dropped_[*key]) admitted = false;
    if (!key || (!down_[*key] && !dropped_[*key])) admitted = admitted && pendingInput_ + 1 <= 2 * MostPendingInput;
    if (key) down_[*key] = dropped_[*key] = false;
    return admitted;
  }
  // The key a press or release is of: its virtual key, or the right mouse button; none for
  // a character without a key.
  static std::optional<std::size_t> KeyOf(const Message& message) {
    if (const auto* key = std::get_if<KeyEvent>(&message.input)) {
      if (key->virtualKey > 0 && key->virtualKey < 256) return static_cast<std::size_t>(key->virtualKey);
      return std::nullopt;
    }
    if (message.message == WM_RBUTTONDOWN || message.message == WM_RBUTTONUP) return 256;
    return std::nullopt;
  }

  std::mutex mutex_;
  std::deque<Message> messages_;
  std::size_t pendingInput_ = 0;  // input messages among messages_
  // Keys (and the right button, 256) posted as down and not yet up; not down, with the
  // last press dropped.
  std::bitset<257> down_, dropped_;
  std::deque<std::string> notices_;
};

// The program's one window as the platform keeps it: its procedure, title and invalid
// region, the caret, and whether anything was drawn since the backend last showed it.
struct AppWindow {
  bool exists = false;
  WindowProc proc = nullptr;
  InputProc input = nullptr;
  std::string title;
  Rect invalid;
  bool eraseInvalid = false;
  struct Caret {
    bool created = false, visible = false;
    int x = 0, y = 0, width = 0, height = 0;
  } caret;
  bool drawn = false;
};

// The program's end: the steps run before it, in reverse order of registration.
struct ProgramEnd {
  std::vector<std::function<void()>> steps;
  std::function<void(int)> hook;  // in place of the process's exit (tests)
  bool exiting = false;
};

// What the stand-in keeps for the whole run.
struct Core {
  InstalledBackend installed;
  MessageQueue messages;
  AppWindow window;
  ProgramEnd end;
};
Core gCore;

Rect Union(const Rect& a, const Rect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

// Any thread: makes a backend waiting for events look at the queue.
void WakeBackend() {
  std::lock_guard lock(gCore.installed.mutex);
  if (gCore.installed.backend) gCore.installed.backend->Wake();
}

void FireDueTimers() {
  auto& timers = gCore.messages.timers;
  if (timers.empty() || !gCore.installed.backend) return;
  const uint64_t now = gCore.installed.backend->NowMs();
  while (!timers.empty() && timers.begin()->first <= now) {
    auto fn = std::move(timers.begin()->second);
    timers.erase(timers.begin());
    fn();
  }
}

bool PaintPending() { return gCore.window.exists && !gCore.window.invalid.Empty(); }

void ShowCaretNow() {
  const auto& caret = gCore.window.caret;
  if (gCore.installed.backend) {
    gCore.installed.backend->Caret(caret.created && caret.visible, caret.x, caret.y, caret.width, caret.height);
  }
}

void PresentIfDrawn(bool urgent) {
  if (gCore.window.drawn && gCore.installed.backend) {
    gCore.installed.backend->Present(urgent);
    if (urgent) gCore.window.drawn = false;
  }
}

}  // namespace

void PostNotice(std::string cp1252) {
  gCore.messages.AddNotice(std::move(cp1252));
  PostMessage(ConsoleWindowHandle, WM_APP_NOTICE);
}

std::optional<std::string> TakeNotice() { return gCore.messages.TakeNotice(); }

std::size_t PendingInputMessages() { return gCore.messages.PendingInput(); }

// ---- backend ownership ----

void SetBackend(std::unique_ptr<Backend> backend) {
  std::unique_ptr<Backend> previous;
  {
    std::lock_guard lock(gCore.installed.mutex);
    previous = std::exchange(gCore.installed.backend, std::move(backend));
  }
  // Ended outside the lock: its own threads may still post messages while it stops them.
  previous.reset();
}
Backend& CurrentBackend() { return *gCore.installed.backend; }
bool HasBackend() { return gCore.installed.backend != nullptr; }

bool Backend::ClipboardSet(std::string_view cp1252) {
  clipboard_ = std::string(cp1252);
  return true;
}
std::optional<std::string> Backend::ClipboardGet() { return clipboard_; }

// ---- messages ----

void PostMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  gCore.messages.Post({hwnd, message, wParam, lParam});
  WakeBackend();
}

void PostQuitMessage(int exitCode) { PostMessage(0, WM_QUIT, static_cast<uintptr_t>(exitCode), 0); }

bool PeekMessage(Message& message, Hwnd filter) {
  FireDueTimers();
  if (gCore.installed.backend) gCore.installed.backend->PollEvents();
  if (const auto taken = gCore.messages.Take(filter)) {
    message = *taken;
    return true;
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
  if (const auto it = gCore.messages.messageWindows.find(message.hwnd); it != gCore.messages.messageWindows.end()) {
    return it->second(message.hwnd, message.message, message.wParam, message.lParam);
  }
  if (message.hwnd != ConsoleWindowHandle || !gCore.window.exists) return 0;
  if (!std::holds_alternative<std::monostate>(message.input)) {
    if (gCore.window.input)
      gCore.window.input(message.hwnd, message.input);
    else
      DefInputProc(message.hwnd, message.input);
    return 0;
  }
  const intptr_t result = gCore.window.proc
                              ? gCore.window.proc(message.hwnd, message.message, message.wParam, message.lParam)
                              : DefWindowProc(message.hwnd, message.message, message.wParam, message.lParam);
  return result;
}

intptr_t SendMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DispatchMessage({hwnd, message, wParam, lParam});
}

void WaitMessage() {
  for (;;) {
    FireDueTimers();
    if (!gCore.messages.Empty() || PaintPending()) return;
    Backend& backend = *gCore.installed.backend;
    backend.PollEvents();
    if (!gCore.messages.Empty()) return;
    PresentIfDrawn(true);
    int timeout = -1;
    if (!gCore.messages.timers.empty()) {
      const uint64_t now = backend.NowMs();
      const uint64_t due = gCore.messages.timers.begin()->first;
      timeout = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(due - now, 1000000));
    }
    backend.WaitEvents(timeout);
  }
}

void ScheduleCallback(uint64_t dueMs, std::function<void()> fn) { gCore.messages.timers.emplace(dueMs, std::move(fn)); }

Hwnd CreateMessageWindow(WindowProc proc) {
  const Hwnd hwnd = gCore.messages.nextMessageWindow++;
  gCore.messages.messageWindows[hwnd] = proc;
  return hwnd;
}

void DestroyMessageWindow(Hwnd hwnd) { gCore.messages.messageWindows.erase(hwnd); }

void BeginBackgroundWork() { ++gCore.messages.backgroundWork; }
void EndBackgroundWork() {
  --gCore.messages.backgroundWork;
  WakeBackend();
}
bool BackgroundWorkPending() { return gCore.messages.backgroundWork.load() > 0; }

// ---- input from the backends ----

void PostInput(const Input& input) {
  const uint32_t message = std::holds_alternative<BrailleInput>(input) ? WM_APP_BRAILLE : WM_APP_KEY;
  gCore.messages.Post({ConsoleWindowHandle, message, 0, 0, input});
  WakeBackend();
}

void PostKey(const KeyEvent& key) { PostInput(key); }

void PostKeyEvent(const KeyEvent& key, bool release) {
  KeyEvent press = key;
  press.action = KeyAction::Press;
  PostInput(press);
  if (release) PostInput(KeyEvent{key.virtualKey, key.modifiers, std::nullopt, KeyAction::Release});
}

void PostBrailleCommand(BrailleCommand command, intptr_t argument) { PostInput(BrailleInput{command, argument}); }

// ---- the window ----

Hwnd CreateAppWindow(WindowProc proc, std::string_view title, Size outerSize) {
  if (gCore.window.exists) return ConsoleWindowHandle;
  gCore.window.proc = proc;
  gCore.window.title = std::string(title);
  gCore.window.invalid = Rect{};
  gCore.window.eraseInvalid = false;
  MinMaxInfo limits{};
  gCore.window.exists = true;  // the procedure may be called from here on
  SendMessage(ConsoleWindowHandle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&limits));
  if (limits.maxTrackSize.width > 0) {
    outerSize.width = std::min(outerSize.width, limits.maxTrackSize.width);
    outerSize.height = std::min(outerSize.height, limits.maxTrackSize.height);
  }
  if (!gCore.installed.backend->OpenWindow(title, outerSize)) {
    gCore.window.exists = false;
    return 0;
  }
  SendMessage(ConsoleWindowHandle, WM_CREATE, 0, 0);
  if (gCore.installed.backend->HasFocus()) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
  return ConsoleWindowHandle;
}

void ShowWindow(Hwnd hwnd, bool maximized) {
  if (hwnd != ConsoleWindowHandle || !gCore.window.exists) return;
  if (maximized) {
    // A maximized console is as large as its text: the procedure's limits say how large.
    MinMaxInfo limits{};
    SendMessage(ConsoleWindowHandle, WM_GETMINMAXINFO, 0, reinterpret_cast<intptr_t>(&limits));
    gCore.installed.backend->Maximize(limits.maxSize);
  }
  InvalidateRect(hwnd, nullptr, true);
}

void DestroyWindow(Hwnd hwnd) {
  if (hwnd != ConsoleWindowHandle || !gCore.window.exists) return;
  SendMessage(ConsoleWindowHandle, WM_DESTROY, 0, 0);
  gCore.installed.backend->CloseWindow();
  gCore.window.exists = false;
  gCore.window.proc = nullptr;
  gCore.window.input = nullptr;
  gCore.window.caret = AppWindow::Caret{};
}

void SetWindowProc(Hwnd hwnd, WindowProc proc) {
  if (hwnd == ConsoleWindowHandle) gCore.window.proc = proc;
}

intptr_t DefWindowProc(Hwnd hwnd, uint32_t message, uintptr_t, intptr_t) {
  switch (message) {
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_PAINT:
      BeginPaint(hwnd);
      EndPaint(hwnd);
      return 0;
    default: return 0;
  }
}

void SetInputProc(Hwnd hwnd, InputProc proc) {
  if (hwnd == ConsoleWindowHandle) gCore.window.input = proc;
}

void DefInputProc(Hwnd hwnd, const Input& input) {
  const auto* key = std::get_if<KeyEvent>(&input);
  if (key && key->action == KeyAction::Press && key->virtualKey == VK_F4 &&
      IsSystemKey(key->virtualKey, key->modifiers)) {
    PostMessage(hwnd, WM_CLOSE);
  }
}

bool IsWindow(Hwnd hwnd) { return hwnd == ConsoleWindowHandle && gCore.window.exists; }

void SetWindowText(Hwnd hwnd, std::string_view cp1252) {
  if (hwnd != ConsoleWindowHandle) return;
  gCore.window.title = std::string(cp1252);
  if (gCore.window.exists) gCore.installed.backend->SetTitle(cp1252);
}

std::string GetWindowText(Hwnd hwnd) { return hwnd == ConsoleWindowHandle ? gCore.window.title : std::string(); }
// The window's close command is never taken away here, so there is nothing to give back.
void EnableCloseCommand(Hwnd) {}
bool IsActiveWindow(Hwnd hwnd) { return IsWindow(hwnd) && gCore.installed.backend->IsActive(); }
bool HasFocus(Hwnd hwnd) { return IsWindow(hwnd) && gCore.installed.backend->HasFocus(); }
Rect GetWindowRect(Hwnd hwnd) { return IsWindow(hwnd) ? gCore.installed.backend->WindowRect() : Rect{}; }
Rect GetWorkArea() { return gCore.installed.backend->WorkArea(); }
Size GetScreenSize() { return gCore.installed.backend->ScreenSize(); }
SystemMetrics GetSystemMetrics() { return gCore.installed.backend->Metrics(); }
// ---- painting ----

void InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase) {
  if (!IsWindow(hwnd)) return;
  const Rect all{0, 0, 1 << 20, 1 << 20};
  gCore.window.invalid = Union(gCore.window.invalid, rect ? *rect : all);
  gCore.window.eraseInvalid = gCore.window.eraseInvalid || erase;
}

void UpdateWindow(Hwnd hwnd) {
  if (PaintPending() && hwnd == ConsoleWindowHandle) SendMessage(ConsoleWindowHandle, WM_PAINT);
}

Rect BeginPaint(Hwnd hwnd) {
  if (!IsWindow(hwnd)) return {};
  const Rect invalid = gCore.window.invalid;
  if (gCore.window.eraseInvalid) gCore.installed.backend->Fill(invalid, Rgb{});
  gCore.window.invalid = Rect{};
  gCore.window.eraseInvalid = false;
  gCore.window.drawn = true;
  return invalid;
}

// Painting leaves no state to end: BeginPaint has validated the window already.
void EndPaint(Hwnd) {}

bool CreateConsoleFont(const FontRequest& request) { return gCore.installed.backend->CreateFont(request); }
void DeleteConsoleFont() { gCore.installed.backend->DeleteFont(); }
FontMetrics GetFontMetrics() { return gCore.installed.backend->MeasureFont(); }

void TextOut(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) {
  if (!gCore.window.exists) return;
  gCore.installed.backend->DrawText(x, y, cp1252, foreground, background);
  gCore.window.drawn = true;
}

void FillRect(const Rect& rect, Rgb colour) {
  if (!gCore.window.exists) return;
  gCore.installed.backend->Fill(rect, colour);
  gCore.window.drawn = true;
}

void CopyClientRect(const Rect& source, int destX, int destY) {
  if (!gCore.window.exists) return;
  gCore.installed.backend->Copy(source, destX, destY);
  gCore.window.drawn = true;
}

void SnapshotClient(Size size) { gCore.installed.backend->Snapshot(size); }
void StretchSnapshot(const Rect& source, const Rect& dest) {
  gCore.installed.backend->Stretch(source, dest);
  gCore.window.drawn = true;
}
void FreeSnapshot() { gCore.installed.backend->FreeSnapshot(); }
bool CanMagnify() { return gCore.installed.backend->CanMagnify(); }
bool ReportsKeyReleases() { return gCore.installed.backend->ReportsKeyReleases(); }

void NoteWrittenText(std::string_view cp1252) {
  if (gCore.installed.backend) gCore.installed.backend->WrittenText(cp1252);
}

// ---- caret ----

void CreateCaret(Hwnd hwnd, int width, int height) {
  if (!IsWindow(hwnd)) return;
  gCore.window.caret = AppWindow::Caret{true, false, gCore.window.caret.x, gCore.window.caret.y, width, height};
  ShowCaretNow();
}
void SetCaretPos(int x, int y) {
  gCore.window.caret.x = x;
  gCore.window.caret.y = y;
  if (gCore.window.caret.created) ShowCaretNow();
}
void ShowCaret(Hwnd hwnd) {
  if (!IsWindow(hwnd) || !gCore.window.caret.created) return;
  gCore.window.caret.visible = true;
  ShowCaretNow();
}
void DestroyCaret() {
  if (!gCore.window.caret.created) return;
  gCore.window.caret.created = gCore.window.caret.visible = false;
  ShowCaretNow();
}

// ---- clipboard ----

bool ClipboardAvailable() { return HasBackend(); }
bool ClipboardSetText(std::string_view cp1252) { return gCore.installed.backend->ClipboardSet(cp1252); }
std::optional<std::string> ClipboardGetText() { return gCore.installed.backend->ClipboardGet(); }

// ---- time ----

uint64_t NowMs() { return gCore.installed.backend->NowMs(); }
void Sleep(uint32_t milliseconds) {
  PresentIfDrawn(true);
  gCore.installed.backend->Sleep(milliseconds);
}
LocalTime GetLocalTime() { return gCore.installed.backend->Now(); }

// ---- the program's end ----

void AddExitStep(std::function<void()> step) { gCore.end.steps.push_back(std::move(step)); }

void SetProcessExitHook(std::function<void(int)> hook) { gCore.end.hook = std::move(hook); }

void ExitProgram(int exitCode) {
  if (!gCore.end.exiting) {
    gCore.end.exiting = true;
    while (!gCore.end.steps.empty()) {
      auto step = std::move(gCore.end.steps.back());
      gCore.end.steps.pop_back();
      step();
    }
    PresentIfDrawn(true);
    gCore.end.exiting = false;
  }
  // An output file that could not be written in full fails the run, however it ended.
  if (exitCode == 0 && RunFailed()) exitCode = 1;
  if (gCore.end.hook) {
    gCore.end.hook(exitCode);
  }
  SetBackend(nullptr);  // a terminal console gives the terminal back, with the lines it held
  std::exit(exitCode);
}

}  // namespace platform
