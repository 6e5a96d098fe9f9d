// The window backend on Windows: a window of the system's own, drawn with GDI. The console
// draws into a memory bitmap the size of the client area (text runs in the console font,
// fills, pixel copies for scrolling, the magnifier's stretch), and a present copies the
// changed part of it to the window. The caret is the system caret, which screen readers
// follow. Key messages arrive as the system makes them (key-down, character, system key)
// and are posted to the program's queue as typed key events (gdi_keys.h) with the
// modifiers of their time. Wave-out blocks
// go to a wave-out device of the system's that reports each finished block to the window
// (MM_WOM_DONE); the beep and the looping tones play through the shared device's mixer.

#include <algorithm>
#include <cwchar>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_output.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/gdi/gdi_keys.h"
#include "platform/backends/shared/real_time.h"
#include "platform/backends/shared/window_backend.h"
#include "text/cp1252.h"

// After our own headers, whose names some of its macros share. The three below would
// rename the backend's methods and the program's queue call in this file.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mmsystem.h>  // needs windows.h first
#undef CreateFont
#undef DrawText
#undef PostMessage

namespace platform {
namespace {

constexpr uint64_t FrameMs = 16;  // presents that need not be at once: at most about 60 a second
constexpr int StockFontHeight = 16;
constexpr wchar_t ClassName[] = L"TmWinCrt";
constexpr DWORD WindowStyle = WS_OVERLAPPEDWINDOW;

COLORREF ToColour(Rgb colour) { return RGB(colour.red, colour.green, colour.blue); }

std::wstring Wide(std::string_view cp1252) { return text::WideFileName(text::Cp1252ToUtf8(cp1252)); }

// The characters of a text run as the font draws them: one UTF-16 unit a byte (every
// Windows-1252 character lies in the basic plane); controls and the five bytes without a
// character show as blanks.
std::wstring RunCharacters(std::string_view cp1252) {
  std::wstring run(cp1252.size(), L' ');
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const auto byte = static_cast<uint8_t>(cp1252[i]);
    const char32_t codePoint = text::Cp1252ToCodePoint(byte);
    if (codePoint > 0x20 && !(codePoint >= 0x7F && codePoint < 0xA0)) run[i] = static_cast<wchar_t>(codePoint);
  }
  return run;
}

uint32_t CurrentModifiers() {
  uint32_t modifiers = 0;
  if (::GetKeyState(VK_SHIFT) < 0) modifiers |= ModShift;
  // The right Alt is AltGr on the layouts that need it for characters (ABNT2 among them);
  // the system reports it as Ctrl+Alt, and its characters arrive as character messages.
  const bool altGr = ::GetKeyState(VK_RMENU) < 0;
  if (::GetKeyState(VK_CONTROL) < 0 && !altGr) modifiers |= ModCtrl;
  if (::GetKeyState(VK_LMENU) < 0) modifiers |= ModAlt;
  return modifiers;
}

// A wave-out device of the system's that reports to the console window (CALLBACK_WINDOW):
// the system marks each finished block done and sends MM_WOM_DONE there, and the block's
// header is then reported done to the program's window that asked for the device.
class SystemWaveOut final : public WaveOutDevice {
 public:
  SystemWaveOut(const WaveFormat& format, HWAVEOUT device, Hwnd notifyWindow)
      : WaveOutDevice(format), device_(device), notifyWindow_(notifyWindow) {
    Open().push_back(this);
  }
  // Closed with blocks still queued (the program ends): they are given back unreported.
  ~SystemWaveOut() override {
    std::erase(Open(), this);
    ::waveOutReset(device_);
    for (const auto& block : queue_) ::waveOutUnprepareHeader(device_, block.get(), sizeof(WAVEHDR));
    ::waveOutClose(device_);
  }

  // The device of a wave-out handle, if it is one of ours and still open.
  static SystemWaveOut* Find(HWAVEOUT device) {
    for (SystemWaveOut* open : Open()) {
      if (open->device_ == device) return open;
    }
    return nullptr;
  }

  int Write(WaveHeader& header) override {
    auto block = std::make_unique<WAVEHDR>();
    block->lpData = reinterpret_cast<LPSTR>(header.data);
    block->dwBufferLength = header.bufferLength;
    block->dwUser = reinterpret_cast<DWORD_PTR>(&header);
    MMRESULT result = ::waveOutPrepareHeader(device_, block.get(), sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) return static_cast<int>(result);
    header.flags = (header.flags & ~WHDR_DONE) | WHDR_INQUEUE;
    result = ::waveOutWrite(device_, block.get(), sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
      ::waveOutUnprepareHeader(device_, block.get(), sizeof(WAVEHDR));
      header.flags &= ~WHDR_INQUEUE;
      return static_cast<int>(result);
    }
    queue_.push_back(std::move(block));
    return MMSYSERR_NOERROR;
  }

  // The system ends every block at once and marks it done; they are reported now rather
  // than when the system's messages for them arrive.
  int Reset() override {
    const MMRESULT result = ::waveOutReset(device_);
    Collect();
    return static_cast<int>(result);
  }

  bool Queued() const override { return !queue_.empty(); }

  // Reports, in the order they were written, the blocks the system has marked done.
  void Collect() {
    while (!queue_.empty() && (queue_.front()->dwFlags & WHDR_DONE)) {
      std::unique_ptr<WAVEHDR> block = std::move(queue_.front());
      queue_.pop_front();
      ::waveOutUnprepareHeader(device_, block.get(), sizeof(WAVEHDR));
      auto& header = *reinterpret_cast<WaveHeader*>(block->dwUser);
      header.flags = (header.flags & ~WHDR_INQUEUE) | WHDR_DONE;
      PostMessage(notifyWindow_, MM_WOM_DONE, 0, reinterpret_cast<intptr_t>(&header));
    }
  }

 private:
  static std::vector<SystemWaveOut*>& Open() {
    static std::vector<SystemWaveOut*> open;  // the program's thread only
    return open;
  }

  HWAVEOUT device_;
  const Hwnd notifyWindow_;
  std::deque<std::unique_ptr<WAVEHDR>> queue_;  // written, not yet reported done
};

class GdiBackend : public RealTimeBackend {
 public:
  ~GdiBackend() override {
    CloseWindow();
    FreeSnapshot();
    if (memory_) ::DeleteDC(memory_);  // first: it holds the image and the font
    if (image_) ::DeleteObject(image_);
    if (font_) ::DeleteObject(font_);
    if (wake_) ::CloseHandle(wake_);
  }

  bool Start(std::string& error) {
    // The window's pixels are the screen's: the system does not stretch it on a scaled
    // display, so the font stays sharp at the size the settings ask for.
    ::SetProcessDPIAware();
    instance_ = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &GdiBackend::WindowProcedure;
    windowClass.hInstance = instance_;
    // The program's own icon (resource 1), else the system's for an application.
    windowClass.hIcon = ::LoadIconW(instance_, MAKEINTRESOURCEW(1));
    if (!windowClass.hIcon) windowClass.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = ClassName;
    if (!::RegisterClassExW(&windowClass) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      error = "cannot register the console's window class (system error " + std::to_string(::GetLastError()) + ")";
      return false;
    }
    memory_ = ::CreateCompatibleDC(nullptr);
    wake_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!memory_ || !wake_) {
      error = "cannot start drawing (system error " + std::to_string(::GetLastError()) + ")";
      return false;
    }
    ::SetBkMode(memory_, OPAQUE);
    ::SetTextAlign(memory_, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    ::SetStretchBltMode(memory_, COLORONCOLOR);
    ::SelectObject(memory_, ::GetStockObject(ANSI_FIXED_FONT));
    Measure();
    return true;
  }

  const char* Name() const override { return "window"; }

  // ---- events ----

  void PollEvents() override {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;  // the program ends through its own queue
      ::TranslateMessage(&message);              // makes the character messages of keys
      ::DispatchMessageW(&message);
    }
    PostWaitingKey();  // no character came for it
    if (NeedsShow() && NowMs() >= lastPresentMs_ + FrameMs) Show();
  }

  void WaitEvents(int timeoutMs) override {
    if (NeedsShow()) Show();
    ::MsgWaitForMultipleObjectsEx(1, &wake_, timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    PollEvents();
  }

  void Wake() override {
    if (wake_) ::SetEvent(wake_);  // safe from any thread
  }

  // ---- screen and font ----

  Rect WorkArea() override {
    RECT area{0, 0, 1024, 734};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return {area.left, area.top, area.right, area.bottom};
  }
  Size ScreenSize() override { return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)}; }
  // The window is sized by its client area: no frame, no caption in the sums.
  SystemMetrics Metrics() override { return {}; }

  // The face by name, in a fixed pitch; the system's font mapper picks the nearest face
  // when that one is not installed. Nothing created: the stock fixed-pitch font.
  bool CreateFont(const FontRequest& request) override {
    HFONT font = ::CreateFontW(request.height > 0 ? request.height : StockFontHeight, request.width, 0, 0,
                               request.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, Wide(request.face).c_str());
    // The old font is deleted once it is no longer selected: a selected one cannot be.
    ::SelectObject(memory_, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(ANSI_FIXED_FONT));
    if (font_) ::DeleteObject(font_);
    font_ = font;
    Measure();
    return font_ != nullptr;
  }

  void DeleteFont() override {}  // the font stays for drawing until another one replaces it

  FontMetrics MeasureFont() override { return metrics_; }

  // ---- the window ----

  bool OpenWindow(std::string_view title, Size outerSize) override {
    CloseWindow();
    const int width = std::max(outerSize.width, 1), height = std::max(outerSize.height, 1);
    if (!MakeImage(width, height)) return false;
    largest_ = {width, height};
    const Size outer = OuterSize(largest_);
    hwnd_ = ::CreateWindowExW(0, ClassName, Wide(title).c_str(), WindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.width,
                              outer.height, nullptr, nullptr, instance_, this);
    if (!hwnd_) return false;
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    focus_ = ::GetFocus() == hwnd_;
    TouchAll();
    return true;
  }

  void Maximize(Size outerSize) override {
    if (!hwnd_ || outerSize.width <= 0 || outerSize.height <= 0) return;
    if (outerSize.width > imageSize_.width || outerSize.height > imageSize_.height) {
      MakeImage(std::max(outerSize.width, imageSize_.width), std::max(outerSize.height, imageSize_.height));
    }
    largest_ = outerSize;
    ::ShowWindow(hwnd_, SW_SHOWMAXIMIZED);  // as large as the minmax answer allows
    TouchAll();
  }

  void CloseWindow() override {
    if (caret_.created) ::DestroyCaret();
    if (hwnd_) {
      HWND closing = std::exchange(hwnd_, nullptr);
      ::DestroyWindow(closing);
    }
    caret_ = CaretState{};
    dirty_ = RECT{};
  }

  void SetTitle(std::string_view cp1252) override {
    if (hwnd_) ::SetWindowTextW(hwnd_, Wide(cp1252).c_str());
  }
  bool IsActive() override { return focus_; }
  bool HasFocus() override { return focus_; }
  Rect WindowRect() override {
    RECT rect{};
    if (!hwnd_ || !::GetWindowRect(hwnd_, &rect)) return {};
    return {rect.left, rect.top, rect.right, rect.bottom};
  }

  // ---- drawing, into the memory bitmap ----

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    if (!image_ || cp1252.empty()) return;
    const std::wstring run = RunCharacters(cp1252);
    // Each character takes exactly one cell, whatever the face's own advances.
    advances_.assign(run.size(), metrics_.averageWidth);
    const RECT box{x, y, x + metrics_.averageWidth * static_cast<int>(run.size()), y + metrics_.height};
    ::SetTextColor(memory_, ToColour(foreground));
    ::SetBkColor(memory_, ToColour(background));
    ::ExtTextOutW(memory_, x, y, ETO_OPAQUE | ETO_CLIPPED, &box, run.c_str(), static_cast<UINT>(run.size()),
                  advances_.data());
    Touch(box);
  }

  void Fill(const Rect& rect, Rgb colour) override {
    if (!image_ || rect.Empty()) return;
    const RECT box{rect.left, rect.top, rect.right, rect.bottom};
    ::SetDCBrushColor(memory_, ToColour(colour));
    ::FillRect(memory_, &box, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
    Touch(box);
  }

  // GDI clips both rectangles to the bitmap and copies overlapping areas correctly.
  void Copy(const Rect& source, int destX, int destY) override {
    if (!image_ || source.Empty()) return;
    const int width = source.right - source.left, height = source.bottom - source.top;
    ::BitBlt(memory_, destX, destY, width, height, memory_, source.left, source.top, SRCCOPY);
    Touch(RECT{destX, destY, destX + width, destY + height});
  }

  bool CanMagnify() override { return true; }
  void Snapshot(Size size) override {
    FreeSnapshot();
    if (!image_) return;
    snapshotDc_ = ::CreateCompatibleDC(memory_);
    snapshot_ = ::CreateCompatibleBitmap(memory_, std::max(size.width, 1), std::max(size.height, 1));
    if (!snapshotDc_ || !snapshot_) {
      FreeSnapshot();
      return;
    }
    snapshotOld_ = ::SelectObject(snapshotDc_, snapshot_);
    ::PatBlt(snapshotDc_, 0, 0, size.width, size.height, BLACKNESS);
    ::BitBlt(snapshotDc_, 0, 0, size.width, size.height, memory_, 0, 0, SRCCOPY);
  }
  void Stretch(const Rect& source, const Rect& dest) override {
    if (!snapshot_ || !image_ || source.Empty() || dest.Empty()) return;
    ::StretchBlt(memory_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, snapshotDc_, source.left,
                 source.top, source.right - source.left, source.bottom - source.top, SRCCOPY);
    Touch(RECT{dest.left, dest.top, dest.right, dest.bottom});
  }
  void FreeSnapshot() override {
    if (snapshotDc_) {
      if (snapshotOld_) ::SelectObject(snapshotDc_, snapshotOld_);
      ::DeleteDC(snapshotDc_);
    }
    if (snapshot_) ::DeleteObject(snapshot_);
    snapshotDc_ = nullptr;
    snapshot_ = nullptr;
    snapshotOld_ = nullptr;
  }

  void Present(bool urgent) override {
    if (!NeedsShow()) return;
    if (!urgent && NowMs() < lastPresentMs_ + FrameMs) return;  // a later poll shows it
    Show();
  }

  // The system caret, over the window (never in the image): created again when its size
  // changes, hidden and shown as the console asks.
  void Caret(bool visible, int x, int y, int width, int height) override {
    if (!hwnd_) return;
    if (!visible) {
      if (caret_.shown) ::HideCaret(hwnd_);
      caret_.shown = false;
      return;
    }
    if (!caret_.created || caret_.width != width || caret_.height != height) {
      if (caret_.created) ::DestroyCaret();
      caret_ = CaretState{};
      caret_.created = ::CreateCaret(hwnd_, nullptr, width, height) != FALSE;
      caret_.width = width;
      caret_.height = height;
    }
    if (!caret_.created) return;
    ::SetCaretPos(x, y);
    if (!caret_.shown) caret_.shown = ::ShowCaret(hwnd_) != FALSE;
  }

  // ---- clipboard and sound ----

  bool ClipboardSet(std::string_view cp1252) override {
    if (!hwnd_) return Backend::ClipboardSet(cp1252);  // no owner window: the program's own
    const std::wstring text = Wide(cp1252);
    if (!::OpenClipboard(hwnd_)) return false;
    ::EmptyClipboard();
    bool handed = false;
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)) {
      if (void* at = ::GlobalLock(block)) {
        std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(at));
        ::GlobalUnlock(block);
        handed = ::SetClipboardData(CF_UNICODETEXT, block) != nullptr;
      }
      if (!handed) ::GlobalFree(block);
    }
    ::CloseClipboard();
    return handed;
  }
  std::optional<std::string> ClipboardGet() override {
    if (!hwnd_) return Backend::ClipboardGet();
    if (!::OpenClipboard(hwnd_)) return std::nullopt;
    std::optional<std::string> text;
    if (HANDLE block = ::GetClipboardData(CF_UNICODETEXT)) {
      if (const auto* at = static_cast<const wchar_t*>(::GlobalLock(block))) {
        // Up to the terminator, within the block even when a program left it out.
        const std::size_t length = ::wcsnlen(at, ::GlobalSize(block) / sizeof(wchar_t));
        text = text::Utf8ToCp1252(text::NarrowFileName(std::wstring_view(at, length)));
        ::GlobalUnlock(block);
      }
    }
    ::CloseClipboard();
    return text;
  }

  // The system's own wave-out device, reporting to the window; nothing (and 'error'
  // untouched) before the window opens.
  std::unique_ptr<WaveOutDevice> OpenSystemWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) {
    if (!hwnd_) return nullptr;
    WAVEFORMATEX wanted{};
    wanted.wFormatTag = WAVE_FORMAT_PCM;
    wanted.nChannels = format.channels;
    wanted.nSamplesPerSec = format.sampleRate;
    wanted.wBitsPerSample = format.bitsPerSample;
    wanted.nBlockAlign = static_cast<WORD>(format.BlockAlign());
    wanted.nAvgBytesPerSec = format.sampleRate * format.BlockAlign();
    HWAVEOUT device = nullptr;
    const MMRESULT opened =
        ::waveOutOpen(&device, WAVE_MAPPER, &wanted, reinterpret_cast<DWORD_PTR>(hwnd_), 0, CALLBACK_WINDOW);
    error = static_cast<int>(opened);  // the system's result codes are the program's
    if (opened != MMSYSERR_NOERROR) return nullptr;
    return std::make_unique<SystemWaveOut>(format, device, notifyWindow);
  }

  std::optional<Rgb> Pixel(int x, int y) const {
    if (!image_ || x < 0 || y < 0 || x >= imageSize_.width || y >= imageSize_.height) return std::nullopt;
    ::GdiFlush();
    const uint32_t pixel =
        bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(imageSize_.width) + static_cast<std::size_t>(x)];
    return Rgb{static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
  }

 private:
  struct CaretState {
    bool created = false, shown = false;
    int width = 0, height = 0;
  };

  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* backend = reinterpret_cast<GdiBackend*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (backend) {
      if (const std::optional<LRESULT> handled = backend->Handle(hwnd, message, wParam, lParam)) return *handled;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
  }

  void PostWaitingKey() {
    if (const std::optional<KeyEvent> key = keys_.Flush()) PostKey(*key);
  }

  // The system's messages for the window, turned into the program's; nothing leaves the
  // rest to the system's default processing.
  std::optional<LRESULT> Handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < WM_KEYDOWN || message > WM_SYSCHAR) PostWaitingKey();  // posted in the order they came
    switch (message) {
      // Every key goes to the program, none to the system: Alt and F10 alone would open the
      // window menu, where the game's keys go unheard. The program's own default
      // processing closes the window on Alt+F4.
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
      case WM_KEYUP:
      case WM_SYSKEYUP:
      case WM_CHAR:
      case WM_SYSCHAR:
        for (const KeyEvent& key : keys_.Translate(message, wParam, lParam, CurrentModifiers())) PostKey(key);
        return 0;
      case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;
        return std::nullopt;
      case WM_CLOSE:  // the close box: the program decides
        PostMessage(ConsoleWindowHandle, WM_CLOSE);
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        focus_ = message == WM_SETFOCUS;
        if (hwnd == hwnd_) PostMessage(ConsoleWindowHandle, message);
        return 0;
      case WM_RBUTTONDOWN:
        ::SetCapture(hwnd);  // the button's release comes even outside the window
        PostMessage(ConsoleWindowHandle, message, wParam, lParam);
        return 0;
      case WM_RBUTTONUP:
        ::ReleaseCapture();
        PostMessage(ConsoleWindowHandle, message, wParam, lParam);
        return 0;
      case WM_MOUSEMOVE: PostMessage(ConsoleWindowHandle, message, wParam, lParam); return 0;
      case WM_GETMINMAXINFO: {
        if (largest_.width <= 0) return std::nullopt;
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        const Size outer = OuterSize(largest_);
        limits->ptMaxSize = {outer.width, outer.height};
        limits->ptMaxTrackSize = limits->ptMaxSize;
        return 0;
      }
      case MM_WOM_DONE:
        if (SystemWaveOut* device = SystemWaveOut::Find(reinterpret_cast<HWAVEOUT>(wParam))) device->Collect();
        return 0;
      case WM_ERASEBKGND: return 1;  // the paint covers all of it
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        Blit(dc, paint.rcPaint);
        ::EndPaint(hwnd, &paint);
        return 0;
      }
      default: return std::nullopt;
    }
  }

  // The window's outer size for a client area of this size.
  static Size OuterSize(Size client) {
    RECT rect{0, 0, client.width, client.height};
    ::AdjustWindowRectEx(&rect, WindowStyle, FALSE, 0);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

  // A new client image of this size, keeping what the old one showed.
  bool MakeImage(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!image) return false;
    HDC old = ::CreateCompatibleDC(memory_);
    HGDIOBJ oldSelected = nullptr;
    if (image_ && old) oldSelected = ::SelectObject(old, image_);
    ::SelectObject(memory_, image);
    ::PatBlt(memory_, 0, 0, width, height, BLACKNESS);
    if (image_ && old) {
      ::BitBlt(memory_, 0, 0, imageSize_.width, imageSize_.height, old, 0, 0, SRCCOPY);
      ::SelectObject(old, oldSelected);
    }
    if (old) ::DeleteDC(old);
    if (image_) ::DeleteObject(image_);
    image_ = image;
    bits_ = static_cast<const uint32_t*>(bits);
    imageSize_ = {width, height};
    return true;
  }

  void Measure() {
    TEXTMETRICW text{};
    if (!::GetTextMetricsW(memory_, &text)) {
      metrics_ = {8, StockFontHeight, 0, 12, 0};
      return;
    }
    metrics_ = {std::max<int>(1, text.tmAveCharWidth), std::max<int>(1, text.tmHeight), text.tmExternalLeading,
                text.tmAscent, text.tmOverhang};
  }

  bool NeedsShow() const { return hwnd_ && !::IsRectEmpty(&dirty_); }

  void Touch(const RECT& rect) {
    const RECT bounds{0, 0, imageSize_.width, imageSize_.height};
    RECT clipped;
    if (!::IntersectRect(&clipped, &rect, &bounds)) return;
    ::UnionRect(&dirty_, &dirty_, &clipped);
  }
  void TouchAll() { Touch(RECT{0, 0, imageSize_.width, imageSize_.height}); }

  // Copies the changed part of the image to the window.
  void Show() {
    lastPresentMs_ = NowMs();
    if (!hwnd_) return;
    HDC dc = ::GetDC(hwnd_);
    if (!dc) return;
    const bool caretShown = caret_.shown;
    if (caretShown) ::HideCaret(hwnd_);  // drawing under the caret: the system puts it back
    Blit(dc, dirty_);
    if (caretShown) ::ShowCaret(hwnd_);
    ::ReleaseDC(hwnd_, dc);
    dirty_ = RECT{};
  }

  // The image's part of a window rectangle, black beyond the image.
  void Blit(HDC dc, const RECT& area) {
    ::BitBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, memory_, area.left, area.top,
             SRCCOPY);
    const RECT right{std::max<LONG>(area.left, imageSize_.width), area.top, area.right, area.bottom};
    const RECT below{area.left, std::max<LONG>(area.top, imageSize_.height), area.right, area.bottom};
    for (const RECT& beyond : {right, below}) {
      if (!::IsRectEmpty(&beyond)) ::FillRect(dc, &beyond, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    }
  }

  HINSTANCE instance_ = nullptr;
  HANDLE wake_ = nullptr;

  HWND hwnd_ = nullptr;
  Size largest_;  // the client area's largest size: the text's
  bool focus_ = false;
  KeyMessageTranslator keys_;  // a key-down waits here for its character
  CaretState caret_;

  HDC memory_ = nullptr;  // holds the image and the console font
  HBITMAP image_ = nullptr;
  const uint32_t* bits_ = nullptr;  // the image's pixels, 0x00RRGGBB, rows top-down
  Size imageSize_;
  RECT dirty_{};  // the part of the image changed since the last present
  uint64_t lastPresentMs_ = 0;
  HDC snapshotDc_ = nullptr;
  HBITMAP snapshot_ = nullptr;
  HGDIOBJ snapshotOld_ = nullptr;

  HFONT font_ = nullptr;
  FontMetrics metrics_{8, StockFontHeight, 0, 12, 0};
  std::vector<INT> advances_;
};

}  // namespace

// Speech and recorded sounds of the window: the system's own device, reporting to the
// window, once the window is open; before, and the tones always, the shared device's mixer.
class WindowSound final : public SharedDeviceSound {
 public:
  std::unique_ptr<WaveOutDevice> OpenWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) override {
    if (auto* window = HasBackend() ? dynamic_cast<GdiBackend*>(&CurrentBackend()) : nullptr) {
      if (auto device = window->OpenSystemWaveOut(format, notifyWindow, error)) return device;
      if (error != MMSYSERR_NOERROR) return nullptr;
    }
    return SharedDeviceSound::OpenWaveOut(format, notifyWindow, error);
  }
};

std::unique_ptr<SoundOutput> CreateWindowSoundOutput() { return std::make_unique<WindowSound>(); }

std::unique_ptr<Backend> CreateWindowBackend(std::string& error) {
  auto backend = std::make_unique<GdiBackend>();
  if (!backend->Start(error)) return nullptr;
  return backend;
}

std::optional<Rgb> WindowImagePixel(Backend& backend, int x, int y) {
  auto* window = dynamic_cast<GdiBackend*>(&backend);
  return window ? window->Pixel(x, y) : std::nullopt;
}

}  // namespace platform
