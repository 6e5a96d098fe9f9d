#pragma once
// The terminal backend: the console drawn with ANSI sequences on a text terminal, one
// cell per client unit, and keys read raw from it. Its key decoder and screen renderer
// are pure functions, so tests can run them without a terminal.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

namespace platform {

// Nothing and a message when standard input or output is not a terminal.
std::unique_ptr<Backend> CreateTerminalBackend(std::string& error);

// One thing the terminal said: a key, or a change of focus (terminals that report it).
struct TerminalInput {
  enum class Kind { Key, FocusIn, FocusOut };
  Kind kind = Kind::Key;
  KeyEvent key;
};

// Decodes whole inputs from the front of 'bytes' into 'out' and returns how many bytes it
// used. Unless 'atEnd' is set, an unfinished input at the end (a lone ESC, a sequence cut
// short, part of a UTF-8 character) is left unread, to be completed by the next bytes;
// with 'atEnd' (nothing more came within the ESC timeout) a lone ESC is the Esc key and
// an unfinished sequence is dropped. ESC before a character is Alt with that character.
// Text is UTF-8; a character with no Windows-1252 byte is dropped, and a byte that is not
// UTF-8 is taken as a Windows-1252 byte.
std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out);

// What one character cell of the terminal shows.
struct TerminalCell {
  uint8_t character = ' ';  // Windows-1252
  Rgb foreground{192, 192, 192};
  Rgb background;
  bool operator==(const TerminalCell&) const = default;
};

struct TerminalGrid {
  int width = 0, height = 0;
  std::vector<TerminalCell> cells;  // row by row

  TerminalGrid() = default;
  TerminalGrid(int columns, int rows) : width(columns), height(rows), cells(static_cast<std::size_t>(columns * rows)) {}
  TerminalCell& At(int x, int y) { return cells[static_cast<std::size_t>(y * width + x)]; }
  const TerminalCell& At(int x, int y) const { return cells[static_cast<std::size_t>(y * width + x)]; }
};

// The bytes that make a terminal showing 'shown' show 'wanted' (same size): cursor
// positioning, colours as 24-bit SGR and characters as UTF-8, only for cells that differ;
// with 'shown' null every cell is written. Only the cells inside visibleColumns x
// visibleRows are written, so a small terminal does not scroll. The pen colours are set
// before the first character, whatever the terminal had before.
// What a terminal smaller than the console shows and says (Windows-1252: plain ASCII here),
// and the screen that shows it, wrapped to the columns there are.
std::string SizeNoticeText(int columns, int rows);
std::string RenderSizeNotice(int columns, int rows);

std::string RenderGridDiff(const TerminalGrid* shown, const TerminalGrid& wanted, int visibleColumns, int visibleRows);

}  // namespace platform
