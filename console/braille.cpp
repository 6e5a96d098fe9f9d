#include "console/braille.h"

#include <algorithm>
#include <optional>

#include "console/console_internal.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/services/output_file.h"
#include "platform/services/process.h"
#include "text/cp1252.h"

namespace console {
namespace {

using platform::BrailleCells;
using platform::BrailleCommand;

// Said in the game when no display could be used (with --braille=on; standard error says
// why once the terminal is given back).
constexpr std::string_view NoDisplayNotice =
    "A linha Braille n\xE3o p\xF4"
    "de ser usada; o jogo tenta de novo a cada poucos segundos.";

// Rows of one reply kept past the screen; a reply longer than this loses its oldest rows.
constexpr std::size_t MostSavedRows = 2000;

using detail::BrailleView;
using detail::SavedRow;
using Mode = BrailleView::Mode;

// Where the display stands, and the log of what it showed: the console's owner keeps them.
BrailleView& View() { return detail::TheConsoleState().braille; }
platform::OutputFile& Log() { return detail::TheConsoleState().brailleLog; }

int DisplayWidth() {
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
    if (const int cells = display->Cells(); cells > 0) return cells;
  }
  return Log().IsOpen() ? LoggedBrailleCells : 0;
}

// ---- the page ----

int SavedCount() { return static_cast<int>(View().saved.size()); }
int LastLine() { return SavedCount() + ScreenRows - 1; }
int ScreenRowOf(int line) { return line - SavedCount(); }
int CursorLine() { return SavedCount() + detail::TheConsole().cursorY; }

uint8_t CharAt(int line, int column) {
  if (line < SavedCount()) return View().saved[static_cast<std::size_t>(line)].chars[static_cast<std::size_t>(column)];
  return ScreenCharAt(column + 1, ScreenRowOf(line) + 1);
}
uint8_t AttrAt(int line, int column) {
  if (line < SavedCount()) return View().saved[static_cast<std::size_t>(line)].attrs[static_cast<std::size_t>(column)];
  return ScreenAttrAt(column + 1, ScreenRowOf(line) + 1);
}

// What a cell shows: nothing for blanks and control codes.
std::optional<char32_t> Shown(uint8_t ch) {
  const char32_t codePoint = text::Cp1252ToCodePoint(ch);
  if (codePoint <= 0x20 || codePoint == 0xA0 || (codePoint >= 0x7F && codePoint < 0xA0)) return std::nullopt;
  return codePoint;
}

// The first and last non-blank columns of a line; nothing for a blank line.
std::optional<std::pair<int, int>> TextSpan(int line) {
  int from = 0, to = ScreenColumns - 1;
  while (from < ScreenColumns && !Shown(CharAt(line, from))) ++from;
  if (from == ScreenColumns) return std::nullopt;
  while (!Shown(CharAt(line, to))) --to;
  return std::pair{from, to};
}

// A line's windows start at its first non-blank column, so that text written far to the
// right is read without panning over blanks.
int LineStart(int line) {
  const auto span = TextSpan(line);
  return span ? span->first : 0;
}

int WindowHolding(int line, int column, int width) {
  column = std::clamp(column, 0, ScreenColumns - 1);
  const int start = LineStart(line);
  if (column < start) return column / width * width;
  return start + (column - start) / width * width;
}

bool WindowBlank(int line, int first, int width) {
  for (int column = first; column < std::min(first + width, ScreenColumns); ++column) {
    if (Shown(CharAt(line, column))) return false;
  }
  return true;
}

// ---- where the display stands ----

struct Place {
  int line = 0, first = 0;
};

// The prompt: the cursor's row, the window that holds the cursor.
Place PromptPlace(int width) {
  const int line = CursorLine();
  return {line, WindowHolding(line, detail::TheConsole().cursorX, width)};
}

// Where the display rests when the game waits: the reply's first non-blank line, or the
// prompt when the reply has no line of its own.
Place RestPlace(int width) {
  const int cursorLine = CursorLine();
  const BrailleView& view = View();
  for (int line = view.saved.empty() ? view.replyTop : 0; line < cursorLine; ++line) {
    if (TextSpan(line)) return {line, LineStart(line)};
  }
  return PromptPlace(width);
}

Place CurrentPlace(int width) {
  const BrailleView& view = View();
  if (view.mode == Mode::Reading) return {std::clamp(view.line, 0, LastLine()), view.first};
  if (detail::WaitingForKey()) return PromptPlace(width);
  // While the game writes: the line last ended, from its start.
  const int line = std::clamp(view.endedLine, 0, LastLine());
  return {line, LineStart(line)};
}

// Panning forward: the next window of the line that shows something, else the next line
// that shows something, from its start. The prompt is reached at the cursor's window.
std::optional<Place> NextPlace(Place from, int width) {
  const int cursorLine = CursorLine();
  const int start = LineStart(from.line);
  int next = from.first < start ? start : start + ((from.first - start) / width + 1) * width;
  for (; next < ScreenColumns; next += width) {
    if (!WindowBlank(from.line, next, width)) return Place{from.line, next};
  }
  for (int line = from.line + 1; line <= LastLine(); ++line) {
    if (line == cursorLine && detail::WaitingForKey()) return PromptPlace(width);
    if (TextSpan(line)) return Place{line, LineStart(line)};
  }
  return std::nullopt;
}

// Panning back: the reverse, to a line's last window that shows something.
std::optional<Place> PreviousPlace(Place from, int width) {
  const int start = LineStart(from.line);
  if (from.first > start) {
    for (int window = start + (from.first - start - 1) / width * width; window >= start; window -= width) {
      if (!WindowBlank(from.line, window, width)) return Place{from.line, window};
    }
  }
  for (int line = from.line - 1; line >= 0; --line) {
    if (const auto span = TextSpan(line))
      return Place{line, span->first + (span->second - span->first) / width * width};
  }
  return std::nullopt;
}

void ReadAt(Place place) {
  BrailleView& view = View();
  view.mode = Mode::Reading;
  view.line = place.line;
  view.first = place.first;
}

void Pan(int direction) {
  const int width = View().width;
  if (width <= 0) return;
  const Place from = CurrentPlace(width);
  const auto to = direction > 0 ? NextPlace(from, width) : PreviousPlace(from, width);
  ReadAt(to.value_or(from));
}

// Line up and down go row by row, blank rows too, keeping the column where the row shows
// something there.
void MoveLine(int direction) {
  const int width = View().width;
  if (width <= 0) return;
  const Place from = CurrentPlace(width);
  const int line = std::clamp(from.line + direction, 0, LastLine());
  int first = WindowHolding(line, from.first, width);
  if (WindowBlank(line, first, width)) first = LineStart(line);
  ReadAt({line, first});
}

// ---- the frame ----

BrailleCells Cells(Place place, int width) {
  BrailleCells cells;
  const auto size = static_cast<std::size_t>(width);
  cells.text.assign(size, U' ');
  cells.marked.assign(size, false);
  for (std::size_t cell = 0; cell < size; ++cell) {
    const int column = place.first + static_cast<int>(cell);
    if (column >= ScreenColumns) break;
    if (const auto shown = Shown(CharAt(place.line, column))) cells.text[cell] = *shown;
    cells.marked[cell] = (AttrAt(place.line, column) >> 4) == SelectionBackground;
  }
  const detail::Console& console = detail::TheConsole();
  if (ScreenRowOf(place.line) == console.cursorY && console.cursorX >= place.first &&
      console.cursorX < place.first + width) {
    cells.cursor = static_cast<std::size_t>(console.cursorX - place.first);
  }
  return cells;
}

// The row as the log tells it: the screen's rows from 1, saved rows of the reply from 0
// upwards (0 is the one just above the screen).
std::string LogLine(Place place, int width, const BrailleCells& cells) {
  std::string line = "row=" + std::to_string(ScreenRowOf(place.line) + 1) +
                     " columns=" + std::to_string(place.first + 1) + "-" + std::to_string(place.first + width);
  line += " cursor=" + (cells.cursor ? std::to_string(*cells.cursor + 1) : std::string("-"));
  std::string marked;
  for (std::size_t cell = 0; cell < cells.marked.size(); ++cell) {
    if (!cells.marked[cell] || (cell > 0 && cells.marked[cell - 1])) continue;
    std::size_t end = cell;
    while (end + 1 < cells.marked.size() && cells.marked[end + 1]) ++end;
    if (!marked.empty()) marked += ',';
    marked += std::to_string(cell + 1);
    if (end > cell) marked += "-" + std::to_string(end + 1);
  }
  if (!marked.empty()) line += " marked=" + marked;
  line += " |";
  for (const char32_t c : cells.text) text::AppendUtf8(line, c);
  line += "|\n";
  return line;
}

void Show() {
  BrailleView& view = View();
  const Place place = CurrentPlace(view.width);
  const BrailleCells cells = Cells(place, view.width);
  if (view.shown && *view.shown == cells && view.shownLine == place.line && view.shownFirst == place.first &&
      view.shownSaved == SavedCount()) {
    return;
  }
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay();
      display && display->Cells() == view.width) {
    display->Show(cells);
  }
  if (Log().Good()) Log().Write(LogLine(place, view.width, cells));
  view.shown = cells;
  view.shownLine = place.line;
  view.shownFirst = place.first;
  view.shownSaved = SavedCount();
}

// False while there is nothing to show on.
bool TakeWidth() {
  const int width = DisplayWidth();
  if (width <= 0 || detail::TheConsole().window == 0) return false;
  BrailleView& view = View();
  if (width != view.width) {
    view.width = width;
    if (view.mode == Mode::Reading) view.first = WindowHolding(view.line, view.first, width);
    view.shown.reset();
  }
  return true;
}

// Lines shift up by one: the screen scrolled without keeping its top row.
void ShiftUp() {
  BrailleView& view = View();
  if (view.mode == Mode::Reading && view.line > 0 && view.line > SavedCount()) --view.line;
  if (view.endedLine >= SavedCount()) view.endedLine = view.endedLine > SavedCount() ? view.endedLine - 1 : -1;
}

}  // namespace

bool OpenBrailleLog(const std::string& path, std::string* reason) {
  return Log().Create(path, "the Braille log", reason);
}

void CloseBrailleLog() { Log().Close(); }

void RefreshBraille(BrailleMoment moment) {
  if (!TakeWidth()) return;
  BrailleView& view = View();
  switch (moment) {
    case BrailleMoment::Poll:
      if (view.editorDrawn) return;
      // Text just written shows once the program waits on it (speech): a line written in
      // parts shows whole when nothing is spoken.
      if (view.storyWritten) {
        view.storyWritten = false;
        return;
      }
      break;
    case BrailleMoment::Pause:
      if (view.editorDrawn) return;
      view.storyWritten = false;
      break;
    case BrailleMoment::KeyWait:
      view.editorDrawn = view.storyWritten = false;
      if (view.mode == Mode::Follow) {
        const Place rest = RestPlace(view.width);
        if (rest.line == CursorLine()) {
          view.mode = Mode::Prompt;
        } else {
          ReadAt(rest);
        }
      }
      break;
  }
  // Nothing ended yet while the game writes: nothing whole to follow.
  if (view.mode != Mode::Reading && !detail::WaitingForKey() && view.endedLine < 0) return;
  Show();
}

void HandleBrailleCommand(BrailleCommand command, intptr_t argument) {
  BrailleView& view = View();
  switch (command) {
    case BrailleCommand::Resized: view.shown.reset(); break;
    case BrailleCommand::Failed:
      if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
        if (const auto failure = display->TakeFailure()) {
          platform::TellUser(*failure);
          SpeakNotice(NoDisplayNotice);
        }
      }
      return;
    case BrailleCommand::PanLeft: Pan(-1); break;
    case BrailleCommand::PanRight: Pan(1); break;
    case BrailleCommand::LineUp: MoveLine(-1); break;
    case BrailleCommand::LineDown: MoveLine(1); break;
    case BrailleCommand::Route:
      if (view.width > 0 && argument >= 0 && argument < view.width) {
        const Place place = CurrentPlace(view.width);
        const int row = ScreenRowOf(place.line), column = place.first + static_cast<int>(argument);
        // A routing key over a saved row (off the screen) only brings the prompt back.
        if (row >= 0 && column < ScreenColumns) {
          detail::QueueBrailleRoute({row + 1, column + 1});
        } else {
          detail::BrailleKeyTyped();
        }
      }
      break;
    // Dots from a key script (no brltty to ask): the Braille keyboard's own table.
    case BrailleCommand::Dots:
      detail::QueueTypedCharacter(detail::BrailleDotsCharacter(static_cast<uint8_t>(argument)));
      break;
    case BrailleCommand::Character: detail::QueueTypedCharacter(static_cast<uint8_t>(argument)); break;
    case BrailleCommand::Key:
      detail::QueueVirtualKey(static_cast<int>(argument & 0xFFFF), (argument & platform::BrailleKeyCtrl) != 0);
      break;
  }
  if (TakeWidth() && !view.editorDrawn) Show();
}

namespace detail {

void ResetBraille() { View() = BrailleView{}; }

void BrailleKeyTyped() { View().mode = Mode::Prompt; }

void BrailleKeyTaken() { View().replyPending = true; }

void BrailleEditorDrawing() { View().editorDrawn = true; }

void BrailleStoryWriting(std::string_view text) {
  BrailleView& view = View();
  view.editorDrawn = false;
  view.storyWritten = true;
  const std::size_t printable =
      std::find_if(text.begin(), text.end(), [](char c) { return static_cast<uint8_t>(c) >= 32; }) - text.begin();
  if (!view.replyPending || printable == text.size()) return;
  // The reply starts on the row of the first story text written after the key.
  view.replyPending = false;
  const auto lineEnds = std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(printable), '\n');
  if (view.mode == Mode::Reading) view.line = std::max(0, view.line - SavedCount());
  view.endedLine = std::max(-1, view.endedLine - SavedCount());
  view.saved.clear();
  view.replyTop = std::min(TheConsole().cursorY + static_cast<int>(lineEnds), ScreenRows - 1);
  if (view.mode != Mode::Reading) view.mode = Mode::Follow;
}

void BrailleBeforeScroll() {
  BrailleView& view = View();
  const Console& console = TheConsole();
  if (console.chars.empty()) return;
  if (view.replyPending || view.replyTop > 0) {
    if (view.replyTop > 0) --view.replyTop;
    ShiftUp();
    return;
  }
  // The reply's top row leaves the screen: it is kept, and every line keeps its number.
  if (view.saved.size() == MostSavedRows) {
    view.saved.pop_front();
    if (view.mode == Mode::Reading && view.line > 0) --view.line;
    if (view.endedLine >= 0) --view.endedLine;
  }
  SavedRow row;
  std::copy_n(console.chars.begin(), ScreenColumns, row.chars.begin());
  std::copy_n(console.attrs.begin(), ScreenColumns, row.attrs.begin());
  view.saved.push_back(row);
}

void BrailleLineEnded() {
  const int line = CursorLine();
  if (!TheConsole().chars.empty() && TextSpan(line)) View().endedLine = line;
}

void BrailleBeforeClear() {
  BrailleView& view = View();
  const Console& console = TheConsole();
  if (console.chars.empty() || view.replyPending) {
    view.endedLine = -1;
    return;
  }
  // What the reply wrote on the screen so far stays readable.
  const int firstRow = view.saved.empty() ? view.replyTop : 0;
  const int endedRow = view.endedLine - SavedCount();
  view.endedLine = endedRow >= firstRow && endedRow <= console.cursorY ? SavedCount() + endedRow - firstRow : -1;
  for (int row = firstRow; row <= console.cursorY; ++row) {
    if (view.saved.size() == MostSavedRows) view.saved.pop_front();
    SavedRow saved;
    const auto at = static_cast<std::ptrdiff_t>(row * ScreenColumns);
    std::copy_n(console.chars.begin() + at, ScreenColumns, saved.chars.begin());
    std::copy_n(console.attrs.begin() + at, ScreenColumns, saved.attrs.begin());
    view.saved.push_back(saved);
  }
  view.replyTop = 0;
  if (view.mode == Mode::Reading) view.line = std::min(view.line, SavedCount() - 1);
}

}  // namespace detail

}  // namespace console
