#include "platform/backends/headless/headless.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "platform/services/process.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace platform {
namespace {

struct NamedKey {
  std::string_view name;
  int virtualKey;
};

constexpr NamedKey NamedKeys[] = {
    {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE}, {"Tab", VK_TAB},     {"BS", VK_BACK},
    {"Up", VK_UP},        {"Down", VK_DOWN},  {"Left", VK_LEFT},   {"Right", VK_RIGHT},
    {"Home", VK_HOME},    {"End", VK_END},    {"PgUp", VK_PRIOR},  {"PgDn", VK_NEXT},
    {"Ins", VK_INSERT},   {"Del", VK_DELETE}, {"Space", VK_SPACE}, {"Break", VK_CANCEL},
};

ScriptItem TypedCharacter(uint8_t ch) {
  ScriptItem item;
  item.key.virtualKey = VirtualKeyOfCharacter(ch);
  item.key.modifiers = (ch >= 'A' && ch <= 'Z') ? uint32_t{ModShift} : 0u;
  item.key.character = ch;
  return item;
}

// A Braille display's key: <BrlPanLeft>, <BrlPanRight>, <BrlLineUp>, <BrlLineDown>,
// <BrlRoute N> (cell N, from 1) and <BrlDots 1245> (the dots typed, any order).
bool ParseBrailleToken(std::string_view token, ScriptItem& item, std::string& error) {
  constexpr std::pair<std::string_view, BrailleCommand> Plain[] = {
      {"BrlPanLeft", BrailleCommand::PanLeft},
      {"BrlPanRight", BrailleCommand::PanRight},
      {"BrlLineUp", BrailleCommand::LineUp},
      {"BrlLineDown", BrailleCommand::LineDown},
  };
  for (const auto& [name, command] : Plain) {
    if (token == name) {
      item.braille = command;
      return true;
    }
  }
  const auto bad = [&] {
    error = "bad Braille key '" + std::string(token) + "' (<BrlRoute 1> to <BrlRoute 80>, <BrlDots 1245>)";
    return false;
  };
  if (token.rfind("BrlRoute ", 0) == 0) {
    const std::string_view digits = token.substr(9);
    int cell = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cell);
    if (ec != std::errc() || end != digits.data() + digits.size() || cell < 1 || cell > ConsoleColumns) return bad();
    item.braille = BrailleCommand::Route;
    item.brailleArgument = cell - 1;
    return true;
  }
  if (token.rfind("BrlDots ", 0) == 0) {
    const std::string_view dots = token.substr(8);
    if (dots.empty()) return bad();
    intptr_t bits = 0;
    for (const char dot : dots) {
      if (dot < '1' || dot > '8') return bad();
      bits |= intptr_t{1} << (dot - '1');
    }
    item.braille = BrailleCommand::Dots;
    item.brailleArgument = bits;
    return true;
  }
  return bad();
}

bool ParseToken(std::string_view token, ScriptItem& item, std::string& error) {
  if (token.rfind("Brl", 0) == 0) return ParseBrailleToken(token, item, error);
  if (token.rfind("Wait:", 0) == 0) {
    uint32_t ms = 0;
    const auto digits = token.substr(5);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), ms);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
      error = "bad wait '" + std::string(token) + "'";
      return false;
    }
    item.isWait = true;
    item.waitMs = ms;
    return true;
  }
  uint32_t modifiers = 0;
  for (;;) {
    const std::size_t plus = token.find('+');
    if (plus == std::string_view::npos || plus + 1 == token.size()) break;
    const auto modifier = token.substr(0, plus);
    if (modifier == "Ctrl")
      modifiers |= ModCtrl;
    else if (modifier == "Alt")
      modifiers |= ModAlt;
    else if (modifier == "Shift")
      modifiers |= ModShift;
    else {
      error = "unknown modifier '" + std::string(modifier) + "'";
      return false;
    }
    token.remove_prefix(plus + 1);
  }
  item.key.modifiers = modifiers;
  if (token == "lt") token = "<";
  for (const auto& named : NamedKeys) {
    if (token == named.name) {
      item.key.virtualKey = named.virtualKey;
      item.key.character =
          named.virtualKey == VK_SPACE ? std::optional<uint8_t>(' ') : KeyCharacter(named.virtualKey, modifiers);
      if (modifiers & ModAlt) item.key.character.reset();
      return true;
    }
  }
  if (token.size() >= 2 && token.size() <= 3 && token[0] == 'F') {
    int number = 0;
    const auto [end, ec] = std::from_chars(token.data() + 1, token.data() + token.size(), number);
    if (ec == std::errc() && end == token.data() + token.size() && number >= 1 && number <= 12) {
      item.key.virtualKey = VK_F1 + number - 1;
      return true;
    }
  }
  const std::string bytes = text::Utf8ToCp1252(token);
  if (bytes.size() == 1) {
    const uint8_t ch = static_cast<uint8_t>(bytes[0]);
    item.key.virtualKey = VirtualKeyOfCharacter(ch);
    if (item.key.virtualKey == 0 && !(modifiers & (ModCtrl | ModAlt))) {
      item.key.character = ch;
      return true;
    }
    if (item.key.virtualKey == 0) {
      error = "no key for '" + std::string(token) + "' with modifiers";
      return false;
    }
    if (modifiers & ModAlt) return true;  // Alt keys make no character message here
    item.key.character =
        (modifiers & ModCtrl) ? KeyCharacter(item.key.virtualKey, modifiers) : std::optional<uint8_t>(ch);
    return true;
  }
  error = "unknown key '" + std::string(token) + "'";
  return false;
}

constexpr std::size_t ScriptChunkBytes = 64 * 1024;
// The longest key name looked for between '<' and '>'.
constexpr std::size_t MostKeyNameBytes = 256;

ScriptItem EnterKey() {
  ScriptItem item;
  item.key.virtualKey = VK_RETURN;
  item.key.character = 13;
  return item;
}

}  // namespace

std::unique_ptr<KeyScriptReader> KeyScriptReader::Open(const std::string& path, std::string& error) {
  text::FileRefusal refusal = text::FileRefusal::None;
  std::FILE* file = text::OpenDataFile(path, text::DataFileLimit, &refusal);
  if (!file) {
    error = "it " + text::RefusalText(refusal);
    return nullptr;
  }
  std::unique_ptr<KeyScriptReader> reader(new KeyScriptReader());
  reader->file_ = file;
  return reader;
}

KeyScriptReader::~KeyScriptReader() {
  if (file_) std::fclose(file_);
}

std::size_t KeyScriptReader::Ahead(std::size_t n) {
  while (file_ && text_.size() - position_ < n) {
    window_.erase(0, position_);
    position_ = 0;
    // A file that grows while it is read is still read no further than the limit.
    const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(
        ScriptChunkBytes, text::DataFileLimit - std::min<uint64_t>(fileBytes_, text::DataFileLimit)));
    const std::size_t before = window_.size();
    window_.resize(before + wanted);
    const std::size_t got = wanted == 0 ? 0 : std::fread(window_.data() + before, 1, wanted, file_);
    window_.resize(before + got);
    fileBytes_ += got;
    text_ = window_;
    if (got == 0) {
      std::fclose(file_);
      file_ = nullptr;
    }
  }
  return std::min(n, text_.size() - position_);
}

bool KeyScriptReader::LineEndsAt(std::size_t offset) {
  const std::size_t ahead = Ahead(offset + 2);
  if (ahead <= offset) return true;
  if (At(offset) == '\n') return true;
  return At(offset) == '\r' && (ahead == offset + 1 || At(offset + 1) == '\n');
}

void KeyScriptReader::SkipLine() {
  while (Ahead(1) > 0) {
    if (At(0) == '\n') {
      ++position_;
      return;
    }
    ++position_;
  }
}

std::optional<ScriptItem> KeyScriptReader::Fail(const std::string& message) {
  error_ = "line " + std::to_string(lineNumber_) + ": " + message;
  return std::nullopt;
}

std::optional<ScriptItem> KeyScriptReader::Next() {
  while (error_.empty()) {
    if (atLineStart_) {
      if (Ahead(2) == 0) return std::nullopt;
      ++lineNumber_;
      atLineStart_ = false;
      noEnter_ = false;
      if (Ahead(2) == 2 && At(0) == '#' && At(1) == '#') {
        SkipLine();
        atLineStart_ = true;
        continue;
      }
    }
    if (LineEndsAt(0)) {
      // "\r\n", "\n", a last "\r", or nothing at the end of the script.
      if (Ahead(1) > 0) position_ += At(0) == '\r' && Ahead(2) == 2 ? 2 : 1;
      atLineStart_ = true;
      if (noEnter_) continue;
      return EnterKey();
    }
    if (At(0) == '<') {
      const std::size_t ahead = Ahead(MostKeyNameBytes + 2);
      std::size_t close = 0;
      for (std::size_t i = 1; i < ahead && At(i) != '\n'; ++i) {
        if (At(i) == '>') {
          close = i;
          break;
        }
      }
      if (close == 0) return Fail("'<' without '>' (write <lt> for a '<')");
      const std::string token(text_.substr(position_ + 1, close - 1));
      position_ += close + 1;
      // Only at the end of its line does <NoEnter> keep the Enter back.
      if (token == "NoEnter" && LineEndsAt(0)) {
        noEnter_ = true;
        continue;
      }
      ScriptItem item;
      std::string why;
      if (!ParseToken(token, item, why)) return Fail(why);
      return item;
    }
    // A typed character. A line end or '<' is no part of a UTF-8 sequence, so decoding
    // stops before them by itself; bytes that are not UTF-8 are typed as they are.
    const std::size_t ahead = Ahead(4);
    const text::Utf8Character character = text::DecodeUtf8At(text_.substr(position_, ahead), 0);
    if (character.length == 0) return TypedCharacter(static_cast<uint8_t>(text_[position_++]));
    position_ += character.length;
    // A character without a key of its own is dropped.
    if (const auto byte = text::CodePointToCp1252(character.codePoint)) return TypedCharacter(*byte);
  }
  return std::nullopt;
}

bool ParseKeyScript(std::string_view utf8, std::vector<ScriptItem>& items, std::string& error) {
  KeyScriptReader reader(utf8);
  while (const auto item = reader.Next()) items.push_back(*item);
  error = reader.Error();
  return error.empty();
}

HeadlessBackend::HeadlessBackend() : grid_(Columns, Rows) { grid_.Clear(); }

void HeadlessBackend::SetScript(std::vector<ScriptItem> items) {
  auto script = std::make_shared<std::vector<ScriptItem>>(std::move(items));
  nextItem_ = [script, at = std::size_t{0}]() mutable -> std::optional<ScriptItem> {
    if (at >= script->size()) return std::nullopt;
    return (*script)[at++];
  };
  Advance();
  ScheduleAfterWaits();
}

void HeadlessBackend::SetScript(std::unique_ptr<KeyScriptReader> reader) {
  std::shared_ptr<KeyScriptReader> shared = std::move(reader);
  nextItem_ = [shared]() -> std::optional<ScriptItem> {
    if (!shared) return std::nullopt;
    auto item = shared->Next();
    if (!item && !shared->Error().empty()) TellUser("quelvar: the key script ends here: " + shared->Error());
    return item;
  };
  Advance();
  ScheduleAfterWaits();
}

void HeadlessBackend::DeliverNext() {
  if (next_->braille)
    PostBrailleCommand(*next_->braille, next_->brailleArgument);
  else
    PostKeyEvent(next_->key, true);
  Advance();
  ScheduleAfterWaits();
}

// When waits come next, the key after them arrives that much later, whatever the
// program is doing then.
void HeadlessBackend::ScheduleAfterWaits() {
  uint64_t waitMs = 0;
  bool waited = false;
  while (next_ && next_->isWait) {
    waitMs += next_->waitMs;
    waited = true;
    Advance();
  }
  if (!waited || !next_) return;
  keyScheduled_ = true;
  ScheduleCallback(nowMs_ + waitMs, [this] {
    keyScheduled_ = false;
    DeliverNext();
  });
}

// Another thread's news (a posted message, finished background work) ends a wait for it.
void HeadlessBackend::Wake() {
  std::lock_guard lock(wakeMutex_);
  woken_ = true;
  wakeSignal_.notify_all();
}

void HeadlessBackend::WaitEvents(int timeoutMs) {
  if (BackgroundWorkPending()) {
    // A worker runs in real time: wait for its news without moving the virtual clock on.
    std::unique_lock lock(wakeMutex_);
    wakeSignal_.wait_for(lock, std::chrono::seconds(1), [this] { return woken_; });
    woken_ = false;
    return;
  }
  if (timeoutMs >= 0) {
    nowMs_ += static_cast<uint64_t>(timeoutMs);
    return;
  }
  if (keyScheduled_) return;
  if (next_) {
    DeliverNext();
    return;
  }
  // The script is over: ask the window to close, then insist.
  ++closeRequests_;
  if (closeRequests_ == 1) {
    PostMessage(ConsoleWindowHandle, WM_CLOSE);
  } else if (closeRequests_ == 2) {
    PostQuitMessage(255);
  } else {
    ExitProgram(255);
  }
}

LocalTime HeadlessBackend::Now() {
  // A fixed Monday morning plus the virtual time, so that runs repeat exactly.
  const uint64_t seconds = nowMs_ / 1000;
  LocalTime t{2001, 1, 1, 1, 9, 0, 0, static_cast<int>(nowMs_ % 1000)};
  const uint64_t totalMinutes = 9 * 60 + seconds / 60;
  t.second = static_cast<int>(seconds % 60);
  t.minute = static_cast<int>(totalMinutes % 60);
  t.hour = static_cast<int>((totalMinutes / 60) % 24);
  const uint64_t days = totalMinutes / (24 * 60);
  t.day = 1 + static_cast<int>(days % 28);
  t.weekday = static_cast<int>((1 + days) % 7);
  return t;
}

bool HeadlessBackend::CreateFont(const FontRequest& request) {
  font_ = request;
  return true;
}

bool HeadlessBackend::OpenWindow(std::string_view title, Size outerSize) {
  open_ = true;
  maximized_ = false;
  title_ = std::string(title);
  outerSize_ = outerSize;
  grid_.Clear();
  return true;
}

void HeadlessBackend::Maximize(Size outerSize) {
  maximized_ = true;
  outerSize_ = outerSize;
}

void HeadlessBackend::DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) {
  ++drawCalls_;
  DrawCells(grid_, x, y, cp1252, foreground, background);
}
void HeadlessBackend::Fill(const Rect& rect, Rgb colour) { FillCells(grid_, rect, colour); }
void HeadlessBackend::Copy(const Rect& source, int destX, int destY) { CopyCells(grid_, source, destX, destY); }

void HeadlessBackend::Caret(bool visible, int x, int y, int, int) {
  caretVisible_ = visible;
  caretX_ = x;
  caretY_ = y;
}

void HeadlessSound::PlayLoop(std::span<const uint8_t> waveImage) {
  StopLoop();
  // Only the latest loops are kept for a look afterwards: a long run must not grow.
  constexpr std::size_t KeptLoops = 256;
  if (loops_.size() >= KeptLoops) loops_.erase(loops_.begin(), loops_.begin() + KeptLoops / 2);
  loops_.push_back({NowMs(), 0, std::vector<uint8_t>(waveImage.begin(), waveImage.end())});
}

void HeadlessSound::StopLoop() {
  if (!loops_.empty() && loops_.back().stopMs == 0) loops_.back().stopMs = std::max<uint64_t>(NowMs(), 1);
}

std::string HeadlessBackend::Row(int y) const {
  std::string row;
  for (int x = 0; x < Columns; ++x) row += static_cast<char>(CellAt(x, y).character);
  return row;
}

}  // namespace platform
