// The console's cells as terminal output: what changed between two grids, as cursor moves,
// 24-bit colours and UTF-8 characters, and the notice shown in a terminal too small.
#include <algorithm>
#include <optional>
#include <string>

#include "platform/backends/terminal/terminal_backend.h"
#include "text/cp1252.h"

namespace platform {

// ---- drawing ----

namespace {

void AppendNumber(std::string& out, int value) { out += std::to_string(value); }

void AppendColour(std::string& out, int layer, Rgb colour) {
  out += "\x1b[";
  AppendNumber(out, layer);
  out += ";2;";
  AppendNumber(out, colour.red);
  out += ';';
  AppendNumber(out, colour.green);
  out += ';';
  AppendNumber(out, colour.blue);
  out += 'm';
}

void AppendCellCharacter(std::string& out, uint8_t character) {
  const char32_t codePoint = text::Cp1252ToCodePoint(character);
  // Control characters (and the undefined Windows-1252 bytes, which map to C1 controls)
  // would move the terminal's cursor; they show as blanks.
  if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) {
    out += ' ';
    return;
  }
  out += text::Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(&character), 1));
}

}  // namespace

std::string RenderGridDiff(const CellGrid* shown, const CellGrid& wanted, int visibleColumns, int visibleRows) {
  std::string out;
  const int columns = std::min(wanted.width, visibleColumns);
  const int rows = std::min(wanted.height, visibleRows);
  std::optional<Rgb> foreground, background;
  int cursorX = -1, cursorY = -1;  // unknown
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const GridCell& cell = wanted.At(x, y);
      if (shown && shown->At(x, y) == cell) continue;
      if (cursorX != x || cursorY != y) {
        out += "\x1b[";
        AppendNumber(out, y + 1);
        out += ';';
        AppendNumber(out, x + 1);
        out += 'H';
      }
      if (foreground != cell.foreground) AppendColour(out, 38, cell.foreground);
      if (background != cell.background) AppendColour(out, 48, cell.background);
      foreground = cell.foreground;
      background = cell.background;
      AppendCellCharacter(out, cell.character);
      // After the last column the cursor waits to wrap: its place is not to be trusted.
      cursorX = x + 1 < columns ? x + 1 : -1;
      cursorY = y;
    }
  }
  return out;
}

std::string SizeNoticeText(int columns, int rows) {
  return "Ilha de Quelvar precisa de um terminal de " + std::to_string(ConsoleColumns) + " colunas por " +
         std::to_string(ConsoleRows) + " linhas; este tem " + std::to_string(columns) + " colunas por " +
         std::to_string(rows) + " linhas. Aumente a janela do terminal.";
}

std::string RenderSizeNotice(int columns, int rows) {
  // Word-wrapped to the width there is, from the top left; what does not fit is cut.
  const std::string text = SizeNoticeText(columns, rows);
  const auto width = static_cast<std::size_t>(std::max(columns, 1));
  std::string out = "\x1b[0m\x1b[2J";
  std::size_t at = 0;
  for (int row = 1; row <= rows && at < text.size(); ++row) {
    std::size_t end = std::min(text.size(), at + width);
    if (end < text.size()) {
      const std::size_t blank = text.rfind(' ', end);
      if (blank != std::string::npos && blank > at) end = blank;
    }
    out += "\x1b[" + std::to_string(row) + ";1H" + text.substr(at, end - at);
    at = end;
    while (at < text.size() && text[at] == ' ') ++at;
  }
  return out;
}
}  // namespace platform
