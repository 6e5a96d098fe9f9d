// The web page's console: the 80x25 cells become rows of coloured text in the page
// (web/library.js draws them), keys come from the page's keydown and keyup, sound goes to
// the page's AudioWorklet (web_audio.cpp), and every wait of the program gives the browser
// back its thread through Asyncify until a page event or the time ends it.
//
// A game kept across a reload is played again from its keys: while it is replayed, sound
// is mixed and thrown away at once and waits and sleeps pass at once, as if their time had
// gone by; only a wait for a key waits for the page.

#include <emscripten.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/audio/sound_output.h"
#include "platform/backends/shared/cell_grid.h"
#include "platform/backends/shared/real_time.h"
#include "platform/backends/shared/story_lines.h"
#include "platform/backends/shared/window_backend.h"
#include "platform/backends/web/web_keys.h"
#include "platform/backends/web/web_page.h"
#include "text/cp1252.h"

// The page's side (web/library.js).
extern "C" {
// Whether the program runs in the page (false under Node).
int quelvar_web_in_page();
// Draws one row: 'columns' UTF-16 characters and, per cell, the foreground and the
// background colour as 0xRRGGBB.
void quelvar_web_draw_row(int row, const char16_t* characters, const uint32_t* colours, int columns);
void quelvar_web_caret(int visible, int column, int row);
void quelvar_web_title(const char* utf8);
// A line of story text for the page's live region.
void quelvar_web_announce(const char* utf8);
// Gives the browser its thread until a page event (a key, a finished sound block) or
// timeoutMs (-1: no limit). Resumes the program through Asyncify.
void quelvar_web_wait(int timeoutMs);
void quelvar_web_wake();
}

namespace platform {
namespace {

// The longest the program computes without giving the browser its thread: keys, sound
// and the page stay alive through a long stretch of synthesis.
constexpr double LongestRunMs = 8.0;

bool gReplaying = false;
std::string gLastWritten;  // UTF-8

}  // namespace

// web_audio.cpp: mixes what is queued and throws it away; false when nothing was queued.
bool DrainWebSound();

namespace {

class WebBackend final : public RealTimeBackend {
 public:
  WebBackend() : grid_(ConsoleColumns, ConsoleRows) {}

  const char* Name() const override { return "web"; }

  void PollEvents() override {
    // Keys and sound blocks arrive by themselves while the program waits; a program that
    // computes for long still lets them in now and then.
    if (emscripten_get_now() - lastYieldMs_ > LongestRunMs) Yield(0);
  }
  void WaitEvents(int timeoutMs) override {
    if (gReplaying && (DrainWebSound() || timeoutMs > 0)) {
      skippedMs_ += std::max(timeoutMs, 0);
      timeoutMs = 0;
    }
    Yield(timeoutMs);
  }
  void Wake() override { quelvar_web_wake(); }
  void Sleep(uint32_t milliseconds) override {
    if (gReplaying) {
      skippedMs_ += milliseconds;
      milliseconds = 0;
    }
    emscripten_sleep(milliseconds);
    lastYieldMs_ = emscripten_get_now();
  }
  uint64_t NowMs() override { return RealTimeBackend::NowMs() + skippedMs_; }

  // The console asks for a window as large as its text, in cells: the page scales it.
  Rect WorkArea() override { return {0, 0, ConsoleColumns, ConsoleRows}; }
  Size ScreenSize() override { return {ConsoleColumns, ConsoleRows}; }
  SystemMetrics Metrics() override { return {}; }
  bool CreateFont(const FontRequest&) override { return true; }
  FontMetrics MeasureFont() override { return {1, 1, 0, 0, 0}; }

  bool OpenWindow(std::string_view title, Size) override {
    grid_ = CellGrid(ConsoleColumns, ConsoleRows);
    grid_.Clear();
    dirtyRows_.fill(true);
    SetTitle(title);
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(std::string_view cp1252) override { quelvar_web_title(text::Cp1252ToUtf8(cp1252).c_str()); }
  Rect WindowRect() override { return {0, 0, ConsoleColumns, ConsoleRows}; }

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    DrawCells(grid_, x, y, cp1252, foreground, background);
    MarkRows(y, y + 1);
  }
  void Fill(const Rect& rect, Rgb colour) override {
    FillCells(grid_, rect, colour);
    MarkRows(rect.top, rect.bottom);
  }
  void Copy(const Rect& source, int destX, int destY) override {
    CopyCells(grid_, source, destX, destY);
    MarkRows(destY, destY + (source.bottom - source.top));
  }
  void Present(bool) override {
    for (int row = 0; row < ConsoleRows; ++row) {
      if (dirtyRows_[static_cast<std::size_t>(row)]) DrawRow(row);
    }
    dirtyRows_.fill(false);
  }
  void Caret(bool visible, int x, int y, int, int) override {
    quelvar_web_caret(visible ? 1 : 0, x, y);
    // A program that waits for a key has said all it will say for now.
    if (visible) Announce(story_.TakeOpenLine());
  }

  void WrittenText(std::string_view cp1252) override {
    gLastWritten = text::Cp1252ToUtf8(cp1252);
    Announce(story_.Add(cp1252));
  }

 private:
  void Yield(int timeoutMs) {
    quelvar_web_wait(timeoutMs);
    lastYieldMs_ = emscripten_get_now();
  }

  void MarkRows(int from, int to) {
    for (int row = std::max(0, from); row < std::min(ConsoleRows, to); ++row) {
      dirtyRows_[static_cast<std::size_t>(row)] = true;
    }
  }

  void DrawRow(int row) {
    std::array<char16_t, ConsoleColumns> characters{};
    std::array<uint32_t, 2 * ConsoleColumns> colours{};
    for (int x = 0; x < ConsoleColumns; ++x) {
      const GridCell& cell = grid_.At(x, row);
      const auto i = static_cast<std::size_t>(x);
      characters[i] = static_cast<char16_t>(text::Cp1252ToCodePoint(cell.character));
      colours[2 * i] = PackedColour(cell.foreground);
      colours[2 * i + 1] = PackedColour(cell.background);
    }
    quelvar_web_draw_row(row, characters.data(), colours.data(), ConsoleColumns);
  }

  static uint32_t PackedColour(Rgb colour) {
    return (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
  }

  static void Announce(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) quelvar_web_announce(text::Cp1252ToUtf8(line).c_str());
  }

  CellGrid grid_;
  std::array<bool, ConsoleRows> dirtyRows_{};
  StoryLines story_;
  double lastYieldMs_ = 0;
  uint64_t skippedMs_ = 0;  // the time that passed at once while a game was replayed
};

}  // namespace

std::unique_ptr<SoundOutput> CreateWindowSoundOutput() { return std::make_unique<SharedDeviceSound>(); }

std::unique_ptr<Backend> CreateWindowBackend(std::string& error) {
  if (!quelvar_web_in_page()) {
    error = "there is no web page here; use --console=headless with --keys";
    return nullptr;
  }
  return std::make_unique<WebBackend>();
}

std::optional<Rgb> WindowImagePixel(Backend&, int, int) { return std::nullopt; }

bool WebJustWrote(std::string_view utf8) {
  const bool same = !utf8.empty() && utf8 == gLastWritten;
  gLastWritten.clear();
  return same;
}

}  // namespace platform

// Keys from the page: a key going down (with the character it types, or -1) or up.
extern "C" EMSCRIPTEN_KEEPALIVE void quelvar_web_key(int down, int virtualKey, int modifiers, int character) {
  if (!platform::HasBackend()) return;
  platform::PostKey(platform::WebKeyEvent(down != 0, virtualKey, modifiers, character));
}

// The page replays a kept game (1) or has given its last kept key (0).
extern "C" EMSCRIPTEN_KEEPALIVE void quelvar_web_replay(int on) {
  platform::gReplaying = on != 0;
  if (platform::HasBackend()) platform::CurrentBackend().Wake();
}
