#pragma once
// The headless backend: keys from a script, virtual time, the screen in memory, sound
// recorded as events. Used by tests and scripted runs.

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio/sound_output.h"
#include "platform/backends/shared/cell_grid.h"
#include "platform/braille/braille.h"
#include "platform/core/backend.h"

namespace platform {

// One step of a key script: a key to deliver, a Braille display's key, or a wait before
// the next key.
struct ScriptItem {
  KeyEvent key;
  uint32_t waitMs = 0;  // non-zero: a <Wait:MS> token
  bool isWait = false;
  std::optional<BrailleCommand> braille;  // <BrlRoute N>, <BrlPanLeft>, ...
  intptr_t brailleArgument = 0;
};

// Reads a UTF-8 key script (see --keys) a key at a time, from a file or from text, so that
// what it holds at once does not grow with the script: a window of the file, never a line
// or the whole script.
class KeyScriptReader {
 public:
  // Over text the caller keeps while the reader is used.
  explicit KeyScriptReader(std::string_view utf8) : text_(utf8) {}
  // Over a file of at most text::DataFileLimit bytes; nothing (with the reason) when it is
  // not such a file.
  static std::unique_ptr<KeyScriptReader> Open(const std::string& path, std::string& error);
  KeyScriptReader(const KeyScriptReader&) = delete;
  KeyScriptReader& operator=(const KeyScriptReader&) = delete;
  ~KeyScriptReader();

  // The next step; nothing at the end of the script, or at a bad key name (Error() then
  // says which and where).
  std::optional<ScriptItem> Next();
  const std::string& Error() const { return error_; }

 private:
  KeyScriptReader() = default;
  // At least n bytes ahead of the read position unless the script ends sooner.
  std::size_t Ahead(std::size_t n);
  char At(std::size_t offset) const { return text_[position_ + offset]; }
  // The script's line ends here: "\n", "\r\n" or the end, with a lone "\r" before the end.
  bool LineEndsAt(std::size_t offset);
  void SkipLine();
  std::optional<ScriptItem> Fail(const std::string& message);

  std::string_view text_;  // what is held of the script
  std::string window_;     // a file's bytes read and not yet taken
  std::FILE* file_ = nullptr;
  uint64_t fileBytes_ = 0;  // read from the file so far
  std::size_t position_ = 0;
  int lineNumber_ = 0;
  bool atLineStart_ = true;
  bool noEnter_ = false;  // the line ended in <NoEnter>
  std::string error_;
};

// Parses a whole UTF-8 key script; false and a message for a bad key name.
bool ParseKeyScript(std::string_view utf8, std::vector<ScriptItem>& items, std::string& error);

struct LoopEvent {
  uint64_t startMs = 0, stopMs = 0;  // stopMs 0 while playing
  std::vector<uint8_t> image;
};

// Sound for tests: beeps counted and looping tones kept (with the clock's times), wave-out
// on the null device.
class HeadlessSound : public SoundOutput {
 public:
  void Beep() override { ++beeps_; }
  void PlayLoop(std::span<const uint8_t> waveImage) override;
  void StopLoop() override;
  int Beeps() const { return beeps_; }
  const std::vector<LoopEvent>& Loops() const { return loops_; }

 private:
  int beeps_ = 0;
  std::vector<LoopEvent> loops_;
};

class HeadlessBackend : public Backend {
 public:
  HeadlessBackend();
  const char* Name() const override { return "headless"; }

  void SetScript(std::vector<ScriptItem> items);
  // A script read as it is played. A bad key name found on the way ends it, with a line on
  // standard error.
  void SetScript(std::unique_ptr<KeyScriptReader> reader);
  bool ScriptFinished() const { return !next_; }
  void SetWorkArea(Rect area) { workArea_ = area; }
  void SetFocus(bool focus) { focus_ = focus; }
  // Tests play a console that never sees a key released, as a terminal is.
  void SetKeyReleases(bool reported) { keyReleases_ = reported; }
  bool ReportsKeyReleases() override { return keyReleases_; }

  void PollEvents() override {}
  void WaitEvents(int timeoutMs) override;
  void Wake() override;
  uint64_t NowMs() override { return nowMs_; }
  void Sleep(uint32_t milliseconds) override { nowMs_ += milliseconds; }
  LocalTime Now() override;

  Rect WorkArea() override { return workArea_; }
  Size ScreenSize() override { return {workArea_.right, workArea_.bottom}; }
  SystemMetrics Metrics() override { return {}; }
  bool CreateFont(const FontRequest& request) override;
  FontMetrics MeasureFont() override { return {1, 1, 0, 0, 0}; }

  bool OpenWindow(std::string_view title, Size outerSize) override;
  void Maximize(Size outerSize) override;
  void CloseWindow() override { open_ = false; }
  void SetTitle(std::string_view cp1252) override { title_ = std::string(cp1252); }
  bool HasFocus() override { return focus_; }
  Rect WindowRect() override { return {0, 0, outerSize_.width, outerSize_.height}; }

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override;
  void Fill(const Rect& rect, Rgb colour) override;
  void Copy(const Rect& source, int destX, int destY) override;
  void Present(bool) override {}
  void Caret(bool visible, int x, int y, int width, int height) override;

  // What tests look at.
  const GridCell& CellAt(int x, int y) const { return grid_.At(x, y); }
  std::string Row(int y) const;  // the drawn characters of one row
  const FontRequest& LastFontRequest() const { return font_; }
  const std::string& Title() const { return title_; }
  bool WindowOpen() const { return open_; }
  bool Maximized() const { return maximized_; }
  Size OuterSize() const { return outerSize_; }
  bool CaretVisible() const { return caretVisible_; }
  int CaretX() const { return caretX_; }
  int CaretY() const { return caretY_; }
  int DrawCalls() const { return drawCalls_; }

  static constexpr int Columns = 80, Rows = 25;

 private:
  void DeliverNext();
  void ScheduleAfterWaits();
  void Advance() { next_ = nextItem_ ? nextItem_() : std::nullopt; }

  std::function<std::optional<ScriptItem>()> nextItem_;
  std::optional<ScriptItem> next_;  // the script's next step, read ahead
  int closeRequests_ = 0;
  bool keyScheduled_ = false;
  uint64_t nowMs_ = 0;
  Rect workArea_{0, 0, 1024, 734};
  bool focus_ = true;
  bool keyReleases_ = true;
  bool open_ = false, maximized_ = false;
  Size outerSize_;
  std::string title_;
  FontRequest font_;
  CellGrid grid_;
  bool caretVisible_ = false;
  int caretX_ = 0, caretY_ = 0;
  int drawCalls_ = 0;
  std::mutex wakeMutex_;
  std::condition_variable wakeSignal_;
  bool woken_ = false;  // guarded by wakeMutex_
};

}  // namespace platform
