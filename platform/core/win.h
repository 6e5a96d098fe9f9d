#pragma once
// The stand-in for the Windows interfaces the console calls: one program thread, a message
// queue with the Windows message numbers, one window with its window procedure, drawing in
// client coordinates, the caret, key state, the clipboard, the clock and the program's end.
// A backend (window, terminal or headless) carries the drawing, the keys and the time.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "platform/core/keys.h"

namespace platform {

// Window messages, numbered as on Windows.
enum : uint32_t {
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_GETMINMAXINFO = 0x0024,
  WM_MOUSEMOVE = 0x0200,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  MM_WOM_DONE = 0x03BD,
  WM_USER = 0x0400,
  WM_APP_NOTICE = 0x8001,       // a backend's notice for the player waits (TakeNotice)
  WM_APP_KEYRELEASES = 0x8002,  // the backend has begun to report key releases (ReportsKeyReleases)
  WM_APP_BRAILLE = 0x8003,      // a Braille display's key or news: the message's input is a BrailleInput
  WM_APP_KEY = 0x8004,          // a key going down or up: the message's input is a KeyEvent
};

using Hwnd = uint32_t;  // 0 is no window
// The one window the program has, the console's; engines' message windows come after it.
inline constexpr Hwnd ConsoleWindowHandle = 1;
// The console's character screen, in cells; the terminal backend draws it cell for cell.
inline constexpr int ConsoleColumns = 80;
inline constexpr int ConsoleRows = 25;
using WindowProc = intptr_t (*)(Hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Input as the backends post it, typed (platform/core/keys.h); nothing for other messages.
using Input = std::variant<std::monostate, KeyEvent, BrailleInput>;
// The window's input procedure: takes each key and Braille command posted to it.
using InputProc = void (*)(Hwnd, const Input&);

struct Message {
  Hwnd hwnd = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  Input input;  // with WM_APP_KEY and WM_APP_BRAILLE
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  bool Empty() const { return right <= left || bottom <= top; }
};
struct Size {
  int width = 0, height = 0;
};
struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};

struct FontRequest {
  std::string face;  // empty: the backend's choice
  int height = 0;    // pixels; 0: the backend's choice
  int width = 0;     // pixels; 0: from the height
  int weight = 0;    // 0: normal; 700: bold
};
struct FontMetrics {
  int averageWidth = 1, height = 1, externalLeading = 0, ascent = 1, overhang = 0;
};
struct SystemMetrics {
  int frameWidth = 0, frameHeight = 0, captionHeight = 0;
};
// WM_GETMINMAXINFO's record; lParam points at it.
struct MinMaxInfo {
  Size maxSize, maxPosition, minTrackSize, maxTrackSize;
};

// ---- messages ----
void PostMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);  // any thread
void PostQuitMessage(int exitCode);
// A backend's notice for the player (Windows-1252), such as a terminal too small for the
// screen: queued, and WM_APP_NOTICE posted to the console window, which takes it.
void PostNotice(std::string cp1252);
std::optional<std::string> TakeNotice();
// Posts a key (WM_APP_KEY) or a Braille display's command (WM_APP_BRAILLE) to the console
// window; any thread.
void PostInput(const Input& input);
// Input waiting in the queue (key presses and releases, the mouse, a Braille display's
// keys), one a message. Past MostPendingInputMessages new input is dropped, silently, as the
// console's key queue drops keys; a release whose press was dropped goes with it. Nothing
// else is ever dropped.
inline constexpr std::size_t MostPendingInputMessages = 256;
std::size_t PendingInputMessages();
// Takes the next message for hwnd (0: any window of the thread); also gives WM_PAINT for an
// invalid window when no other message waits, and fires due timers first.
bool PeekMessage(Message& message, Hwnd filter = 0);
void TranslateMessage(const Message& message);  // keys arrive translated already
intptr_t DispatchMessage(const Message& message);
intptr_t SendMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
// Blocks until a message may be waiting (a posted message, a due timer, a key, a repaint).
void WaitMessage();
// Runs fn on the program's thread inside a pump at or after dueMs on the clock.
void ScheduleCallback(uint64_t dueMs, std::function<void()> fn);
// A window that only receives messages (an engine's own): DispatchMessage hands its
// messages to proc. Messages still queued for it when it is destroyed are dropped.
Hwnd CreateMessageWindow(WindowProc proc);
void DestroyMessageWindow(Hwnd hwnd);
// Work in hand on a thread of the program's own (a speech engine's worker) that will post
// a message with its news. While any is pending, a message wait waits for that news in
// real time: the headless backend neither moves its clock on nor delivers a script key.
void BeginBackgroundWork();  // any thread
void EndBackgroundWork();    // any thread; wakes the program's message wait
bool BackgroundWorkPending();

// ---- the window ----
Hwnd CreateAppWindow(WindowProc proc, std::string_view title, Size outerSize);
void ShowWindow(Hwnd hwnd, bool maximized);
void DestroyWindow(Hwnd hwnd);
void SetWindowProc(Hwnd hwnd, WindowProc proc);  // nullptr: default processing only
intptr_t DefWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Where the window's typed input goes (DispatchMessage); nullptr, and when the window is
// destroyed: default processing only.
void SetInputProc(Hwnd hwnd, InputProc proc);
// The default processing of input: Alt+F4 closes the window; nothing else happens.
void DefInputProc(Hwnd hwnd, const Input& input);
bool IsWindow(Hwnd hwnd);
void SetWindowText(Hwnd hwnd, std::string_view cp1252);
std::string GetWindowText(Hwnd hwnd);
void EnableCloseCommand(Hwnd hwnd);
bool IsActiveWindow(Hwnd hwnd);
bool HasFocus(Hwnd hwnd);
Rect GetWindowRect(Hwnd hwnd);  // screen coordinates
Rect GetWorkArea();
Size GetScreenSize();
SystemMetrics GetSystemMetrics();

// ---- painting, in client coordinates (pixels in the window backend, cells elsewhere) ----
void InvalidateRect(Hwnd hwnd, const Rect* rect, bool erase);  // nullptr: whole client area
void UpdateWindow(Hwnd hwnd);                                  // paints now if invalid
Rect BeginPaint(Hwnd hwnd);                                    // the invalid rectangle
void EndPaint(Hwnd hwnd);
// Creates the console font; false when it cannot, and the stock fixed font is used.
bool CreateConsoleFont(const FontRequest& request);
void DeleteConsoleFont();
FontMetrics GetFontMetrics();
void TextOut(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background);
void FillRect(const Rect& rect, Rgb colour);
void CopyClientRect(const Rect& source, int destX, int destY);
// The magnifier: keep a copy of the client image, draw a part of it stretched.
void SnapshotClient(Size size);
void StretchSnapshot(const Rect& source, const Rect& dest);
void FreeSnapshot();
bool CanMagnify();
bool ReportsKeyReleases();

// The program's text output, as written: the backend may pass the story on (a page's live
// region).
void NoteWrittenText(std::string_view cp1252);

// ---- caret ----
void CreateCaret(Hwnd hwnd, int width, int height);
void SetCaretPos(int x, int y);
void ShowCaret(Hwnd hwnd);
void DestroyCaret();

// ---- clipboard (CF_TEXT, Windows-1252) ----
bool ClipboardAvailable();
bool ClipboardSetText(std::string_view cp1252);
// Nothing when the clipboard holds no text.
std::optional<std::string> ClipboardGetText();

// ---- time ----
uint64_t NowMs();  // monotonic; virtual in headless runs
void Sleep(uint32_t milliseconds);
struct LocalTime {
  int year, month, day, weekday, hour, minute, second, millisecond;
};
LocalTime GetLocalTime();

// ---- the program's end ----
// Runs the registered exit steps (last registered first), then ends the process.
[[noreturn]] void ExitProgram(int exitCode);
void AddExitStep(std::function<void()> step);
// Tests replace the final process exit (for example with a throw).
void SetProcessExitHook(std::function<void(int)> hook);

}  // namespace platform
