#pragma once
// What a backend (window, terminal, page, headless) provides under the Windows stand-in:
// input (native events turned into posted messages), one window's drawing surface with its
// caret and the window system's clipboard, and the clock. Sound goes elsewhere
// (platform/audio/sound_output.h), chosen apart from the backend.

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/win.h"

namespace platform {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;

  // Turns waiting native events into posted messages (keys through PostKey).
  virtual void PollEvents() = 0;
  // Blocks until a native event may be there or timeoutMs passed (-1: no limit). Another
  // thread's PostMessage calls Wake to end the wait early.
  virtual void WaitEvents(int timeoutMs) = 0;
  virtual void Wake() {}

  virtual uint64_t NowMs() = 0;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual LocalTime Now() = 0;

  virtual Rect WorkArea() = 0;
  virtual Size ScreenSize() = 0;
  virtual SystemMetrics Metrics() = 0;
  virtual bool CreateFont(const FontRequest& request) = 0;
  virtual void DeleteFont() {}
  virtual FontMetrics MeasureFont() = 0;

  virtual bool OpenWindow(std::string_view title, Size outerSize) = 0;
  // Shows the window maximized at this outer size (the program's own maximum).
  virtual void Maximize(Size outerSize) { (void)outerSize; }
  virtual void CloseWindow() = 0;
  virtual void SetTitle(std::string_view cp1252) = 0;
  virtual bool IsActive() { return true; }
  // The window system's id of the window (an X window), for a Braille display's focus.
  virtual std::optional<unsigned long> NativeWindowId() { return std::nullopt; }
  virtual bool HasFocus() { return true; }
  virtual Rect WindowRect() = 0;

  virtual void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) = 0;
  virtual void Fill(const Rect& rect, Rgb colour) = 0;
  virtual void Copy(const Rect& source, int destX, int destY) = 0;
  virtual bool CanMagnify() { return false; }
  // False where key releases never arrive (a terminal), so chords cannot be read.
  virtual bool ReportsKeyReleases() { return true; }
  virtual void Snapshot(Size) {}
  virtual void Stretch(const Rect&, const Rect&) {}
  virtual void FreeSnapshot() {}
  // Shows what was drawn; 'urgent' when the program is about to block.
  virtual void Present(bool urgent) = 0;
  virtual void Caret(bool visible, int x, int y, int width, int height) = 0;
  // The program's text output as it is written (Windows-1252), for a page that hands the
  // story to the player's screen reader.
  virtual void WrittenText(std::string_view cp1252) { (void)cp1252; }

  // The surface's own bell (a terminal's), for a beep where no sound device opened.
  virtual void Bell() {}

  virtual bool ClipboardSet(std::string_view cp1252);
  virtual std::optional<std::string> ClipboardGet();

 private:
  std::optional<std::string> clipboard_;  // the in-process clipboard
};

// Installs the backend used by every platform call; the platform owns it from then on.
void SetBackend(std::unique_ptr<Backend> backend);
Backend& CurrentBackend();
bool HasBackend();

// A key as a backend saw it (platform/core/keys.h), posted to the console window as it is:
// a press (with its character, if any) or a release.
void PostKey(const KeyEvent& key);
// A key typed at once: its press and, when 'release' is set, its release.
void PostKeyEvent(const KeyEvent& key, bool release);
// A Braille display's key or news.
void PostBrailleCommand(BrailleCommand command, intptr_t argument = 0);

}  // namespace platform
