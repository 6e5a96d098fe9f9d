#include "console/braille.h"

#include <algorithm>
#include <optional>

#include "console/console_internal.h"
#include "console/screen.h"
#include "platform/output_file.h"
#include "text/cp1252.h"

namespace console {
namespace {

using platform::BrailleCells;
using platform::BrailleCommand;

// The part of the screen the display shows, and what it showed last.
struct BrailleView {
  int width = 0;
  int row = 0, first = 0;  // 0-based
  // Moved by the display's keys: it stays where the player put it until the cursor moves
  // or a key is typed.
  bool free = false;
  int followedRow = -1, cursorX = -1, cursorY = -1;
  std::optional<BrailleCells> shown;
  int shownRow = -1, shownFirst = -1;
  platform::OutputFile log;
};

BrailleView gView;

int DisplayWidth() {
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
    if (const int cells = display->Cells(); cells > 0) return cells;
  }
  return gView.log.IsOpen() ? LoggedBrailleCells : 0;
}

// The first column of the display's window that holds this column.
int WindowHolding(int column, int width) { return std::clamp(column, 0, ScreenColumns - 1) / width * width; }
// The first column of a row's last window.
int LastWindow(int width) { return WindowHolding(ScreenColumns - 1, width); }

BrailleCells Cells(const BrailleView& view) {
  BrailleCells cells;
  const auto width = static_cast<std::size_t>(view.width);
  cells.text.assign(width, U' ');
  cells.marked.assign(width, false);
  for (std::size_t cell = 0; cell < width; ++cell) {
    const int column = view.first + static_cast<int>(cell);
    if (column >= ScreenColumns) break;
    const uint8_t ch = ScreenCharAt(column + 1, view.row + 1);
    const char32_t codePoint = text::Cp1252ToCodePoint(ch);
    if (codePoint >= 0x20 && !(codePoint >= 0x7F && codePoint < 0xA0)) cells.text[cell] = codePoint;
    cells.marked[cell] = (ScreenAttrAt(column + 1, view.row + 1) >> 4) == SelectionBackground;
  }
  const int cursorX = detail::TheConsole().cursorX, cursorY = detail::TheConsole().cursorY;
  if (cursorY == view.row && cursorX >= view.first && cursorX < view.first + view.width) {
    cells.cursor = static_cast<std::size_t>(cursorX - view.first);
  }
  return cells;
}

std::string LogLine(const BrailleView& view, const BrailleCells& cells) {
  std::string line = "row=" + std::to_string(view.row + 1) + " columns=" + std::to_string(view.first + 1) + "-" +
                     std::to_string(view.first + view.width);
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

// A row newly written shows from its start, so that it is read from its start. While the
// console waits for a key (the editor, the review) the display also keeps the cursor in
// view.
void Follow(BrailleView& view) {
  const detail::Console& console = detail::TheConsole();
  const int cursorX = console.cursorX, cursorY = console.cursorY, focus = console.focusRow;
  if (view.free && (cursorX != view.cursorX || cursorY != view.cursorY)) view.free = false;
  if (!view.free) {
    if (focus != view.followedRow || view.row != focus) view.first = 0;
    view.row = focus;
    if (detail::WaitingForKey() && cursorY == focus &&
        (cursorX < view.first || cursorX >= view.first + view.width)) {
      view.first = WindowHolding(cursorX, view.width);
    }
  }
  view.followedRow = focus;
  view.cursorX = cursorX;
  view.cursorY = cursorY;
}

void Pan(int direction) {
  BrailleView& view = gView;
  if (view.width <= 0) return;
  view.free = true;
  if (direction > 0) {
    if (view.first + view.width < ScreenColumns) {
      view.first += view.width;
    } else if (view.row + 1 < ScreenRows) {  // on along the text, to the next row's start
      ++view.row;
      view.first = 0;
    }
  } else if (view.first > 0) {
    view.first = std::max(0, view.first - view.width);
  } else if (view.row > 0) {
    --view.row;
    view.first = LastWindow(view.width);
  }
}

}  // namespace

bool OpenBrailleLog(const std::string& path, std::string* reason) {
  return gView.log.Create(path, "the Braille log", reason);
}

void CloseBrailleLog() { gView.log.Close(); }

void RefreshBraille() {
  const int width = DisplayWidth();
  if (width <= 0 || detail::TheConsole().window == 0) return;
  BrailleView& view = gView;
  if (width != view.width) {
    view.width = width;
    view.first = WindowHolding(view.first, width);
    view.shown.reset();
  }
  Follow(view);
  const BrailleCells cells = Cells(view);
  if (view.shown && *view.shown == cells && view.shownRow == view.row && view.shownFirst == view.first) return;
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay(); display && display->Cells() == width) {
    display->Show(cells);
  }
  if (view.log.Good()) view.log.Write(LogLine(view, cells));
  view.shown = cells;
  view.shownRow = view.row;
  view.shownFirst = view.first;
}

void HandleBrailleCommand(BrailleCommand command, intptr_t argument) {
  BrailleView& view = gView;
  switch (command) {
    case BrailleCommand::Resized: view.shown.reset(); break;
    case BrailleCommand::Failed:
      if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
        if (const auto failure = display->TakeFailure()) platform::TellUser(*failure);
      }
      return;
    case BrailleCommand::PanLeft: Pan(-1); break;
    case BrailleCommand::PanRight: Pan(1); break;
    case BrailleCommand::LineUp:
    case BrailleCommand::LineDown:
      view.free = true;
      view.row = std::clamp(view.row + (command == BrailleCommand::LineUp ? -1 : 1), 0, ScreenRows - 1);
      break;
    case BrailleCommand::Route:
      if (view.width > 0 && argument >= 0 && argument < view.width && view.first + argument < ScreenColumns) {
        detail::QueueBrailleRoute({view.row + 1, view.first + static_cast<int>(argument) + 1});
      }
      break;
    case BrailleCommand::Dots: detail::QueueTypedCharacter(detail::BrailleDotsCharacter(static_cast<uint8_t>(argument))); break;
    case BrailleCommand::Character: detail::QueueTypedCharacter(static_cast<uint8_t>(argument)); break;
    case BrailleCommand::Key:
      detail::QueueVirtualKey(static_cast<int>(argument & 0xFFFF), (argument & platform::BrailleKeyCtrl) != 0);
      break;
  }
  RefreshBraille();
}

namespace detail {

void ResetBraille() {
  gView.width = 0;
  gView.row = gView.first = 0;
  gView.free = false;
  gView.followedRow = gView.cursorX = gView.cursorY = -1;
  gView.shown.reset();
}

void BrailleKeyTyped() { gView.free = false; }

}  // namespace detail

}  // namespace console
