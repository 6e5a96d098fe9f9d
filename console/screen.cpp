// The character screen: the two buffers of 80 x 25 cells, the cursor and the current colour,
// writing and scrolling, clearing, and painting the cells with the console's palette.

#include "console/screen.h"

#include <algorithm>
#include <array>
#include <string>

#include "console/braille.h"
#include "console/console.h"
#include "console/console_internal.h"
#include "console/keyboard.h"
#include "platform/audio/sound_output.h"
#include "platform/core/win.h"
#include "text/cp1252.h"

namespace console {
namespace {

using detail::TheConsole;
using platform::Rgb;

constexpr std::array<Rgb, 16> ConsolePalette = {{
    {0, 0, 0},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {142, 0, 142},
    {68, 34, 34},
    {192, 192, 192},
    {128, 128, 128},
    {128, 128, 255},
    {128, 255, 128},
    {128, 255, 255},
    {255, 128, 128},
    {255, 128, 255},
    {255, 255, 0},
    {255, 255, 255},
}};

void PaintRowSpan(int from, int to, int row) {
  const detail::Console& console = TheConsole();
  if (to <= from || console.chars.empty() || row < 0 || row >= ScreenRows) return;
  from = std::max(from, 0);
  to = std::min(to, ScreenColumns);
  const auto& cells = console.cells;
  int runStart = from;
  while (runStart < to) {
    const std::size_t base = static_cast<std::size_t>(row * ScreenColumns);
    const uint8_t attr = console.attrs[base + static_cast<std::size_t>(runStart)];
    int runEnd = runStart + 1;
    while (runEnd < to && console.attrs[base + static_cast<std::size_t>(runEnd)] == attr) ++runEnd;
    const std::string_view text(reinterpret_cast<const char*>(console.chars.data() + base + runStart),
                                static_cast<std::size_t>(runEnd - runStart));
    platform::TextOut(runStart * cells.width + cells.overhang, row * cells.height, text,
                      detail::PaletteColour(attr & 15), detail::PaletteColour(attr >> 4));
    runStart = runEnd;
  }
}

void FlushSpan() {
  detail::Console& console = TheConsole();
  PaintRowSpan(console.spanFrom, console.spanTo, console.cursorY);
  console.spanFrom = console.spanTo = 0;
}

void WidenSpan(int column) {
  detail::Console& console = TheConsole();
  if (console.spanTo <= console.spanFrom) {
    console.spanFrom = column;
    console.spanTo = column + 1;
  } else {
    console.spanFrom = std::min(console.spanFrom, column);
    console.spanTo = std::max(console.spanTo, column + 1);
  }
}

void StoreCell(int column, int row, uint8_t ch) {
  detail::Console& console = TheConsole();
  const std::size_t at = static_cast<std::size_t>(row * ScreenColumns + column);
  console.chars[at] = ch;
  console.attrs[at] = console.attribute;
}

void NextRow() {
  FlushSpan();
  detail::Console& console = TheConsole();
  ++console.cursorY;
  if (console.cursorY < ScreenRows) return;
  console.cursorY = ScreenRows - 1;
  if (console.focusRow > 0) --console.focusRow;  // its text moved up with the rest
  detail::BrailleBeforeScroll();
  const auto rowBytes = static_cast<std::ptrdiff_t>(ScreenColumns);
  std::copy(console.chars.begin() + rowBytes, console.chars.end(), console.chars.begin());
  std::copy(console.attrs.begin() + rowBytes, console.attrs.end(), console.attrs.begin());
  std::fill(console.chars.end() - rowBytes, console.chars.end(), ' ');
  std::fill(console.attrs.end() - rowBytes, console.attrs.end(), console.attribute);

  const auto& cells = console.cells;
  const platform::Rect windowRect = platform::GetWindowRect(console.window);
  if (console.settings.blitScroll && platform::IsActiveWindow(console.window) &&
      windowRect.bottom < platform::GetScreenSize().height - 32) {
    platform::CopyClientRect({0, cells.height, ScreenColumns * cells.width, ScreenRows * cells.height}, 0, 0);
    platform::FillRect({0, (ScreenRows - 1) * cells.height, ScreenColumns * cells.width, ScreenRows * cells.height},
                       detail::PaletteColour(console.attribute >> 4));
  } else {
    platform::InvalidateRect(console.window, nullptr, false);
  }
  platform::UpdateWindow(console.window);
}

}  // namespace

namespace detail {

Rgb PaletteColour(int nibble) {
  const uint8_t entry = TheConsole().settings.colourMap[static_cast<std::size_t>(nibble & 15)];
  return entry > 15 ? Rgb{} : ConsolePalette[entry];
}

void PaintInvalid() {
  const Console& console = TheConsole();
  const platform::Rect invalid = platform::BeginPaint(console.window);
  const auto& cells = console.cells;
  const int firstColumn = std::max(0, invalid.left / cells.width);
  const int endColumn = std::min(ScreenColumns, (invalid.right + cells.width - 1) / cells.width);
  const int firstRow = std::max(0, invalid.top / cells.height);
  const int endRow = std::min(ScreenRows, (invalid.bottom + cells.height - 1) / cells.height);
  for (int row = firstRow; row < endRow; ++row) PaintRowSpan(firstColumn, endColumn, row);
  platform::EndPaint(console.window);
}

}  // namespace detail

// ---- writing ----

void WriteChars(std::string_view bytes) {
  EnsureConsoleWindow();
  detail::Console& console = TheConsole();
  if (!console.writingStory) detail::BrailleEditorDrawing();
  console.spanFrom = console.spanTo = console.cursorX;
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    switch (byte) {
      case 7: platform::MessageBeep(); break;
      case 8:
        if (console.cursorX > 0) {
          --console.cursorX;
          StoreCell(console.cursorX, console.cursorY, ' ');
          WidenSpan(console.cursorX);
          console.focusRow = console.cursorY;
        }
        break;
      case 10:
        detail::BrailleLineEnded();
        NextRow();
        console.cursorX = 0;
        break;
      case 13: console.cursorX = 0; break;
      default:
        if (byte < 32) break;  // other control codes are dropped
        if (console.cursorX >= ScreenColumns) {
          console.cursorX = 0;
          NextRow();
        }
        StoreCell(console.cursorX, console.cursorY, byte);
        WidenSpan(console.cursorX);
        console.focusRow = console.cursorY;
        ++console.cursorX;
        break;
    }
  }
  FlushSpan();
}

void WriteCharacter(uint8_t byte) {
  const char c = static_cast<char>(byte);
  WriteChars(std::string_view(&c, 1));
}

void Write(std::string_view text) {
  if (text.empty()) return;
  EnsureConsoleWindow();
  detail::Console& console = TheConsole();
  detail::BrailleStoryWriting(text);
  console.writingStory = true;
  WriteChars(text);
  console.writingStory = false;
  TranscriptAppend(text);
  platform::NoteWrittenText(text);
  KeyAvailable();
}

void WriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  Write(line);
}

void ClearScreen() {
  EnsureConsoleWindow();
  detail::Console& console = TheConsole();
  detail::BrailleBeforeClear();
  std::fill(console.chars.begin(), console.chars.end(), ' ');
  std::fill(console.attrs.begin(), console.attrs.end(), console.attribute);
  console.cursorX = console.cursorY = console.focusRow = 0;
  platform::InvalidateRect(console.window, nullptr, false);
  platform::UpdateWindow(console.window);
}

void ClearToLineEnd() {
  EnsureConsoleWindow();
  const detail::Console& console = TheConsole();
  const int column = std::min(console.cursorX, ScreenColumns);
  for (int x = column; x < ScreenColumns; ++x) StoreCell(x, console.cursorY, ' ');
  PaintRowSpan(column, ScreenColumns, console.cursorY);
}

void MoveCursor(int column, int row) {
  detail::Console& console = TheConsole();
  console.cursorX = std::clamp(column - 1, 0, ScreenColumns - 1);
  console.cursorY = std::clamp(row - 1, 0, ScreenRows - 1);
  console.focusRow = console.cursorY;
}

int CursorColumn() { return TheConsole().cursorX + 1; }
int CursorRow() { return TheConsole().cursorY + 1; }

uint8_t TextAttribute() { return TheConsole().attribute; }
void SetTextAttribute(uint8_t attribute) { TheConsole().attribute = attribute; }

void SetBackgroundColour(int index) {
  EnsureConsoleWindow();
  detail::Console& console = TheConsole();
  if (console.settings.fixedColours) return;
  console.attribute = static_cast<uint8_t>(((console.attribute & 0x0F) | (index * 16)) & 0xFF);
}

uint8_t ScreenCharAt(int column, int row) {
  const detail::Console& console = TheConsole();
  if (console.chars.empty()) return ' ';
  return console.chars[static_cast<std::size_t>((row - 1) * ScreenColumns + (column - 1))];
}

uint8_t ScreenAttrAt(int column, int row) {
  const detail::Console& console = TheConsole();
  if (console.attrs.empty()) return console.attribute;
  return console.attrs[static_cast<std::size_t>((row - 1) * ScreenColumns + (column - 1))];
}

std::string ScreenText() {
  std::string text;
  for (int row = 1; row <= ScreenRows; ++row) {
    std::string line;
    for (int column = 1; column <= ScreenColumns; ++column) line += static_cast<char>(ScreenCharAt(column, row));
    text += text::Cp1252ToUtf8(line);
    text += '\n';
  }
  return text;
}

}  // namespace console
