#pragma once
// A grid of character cells, one cell per client unit, as the cell backends (terminal,
// page, headless) keep the console's window, and drawing into it: the text runs, fills
// and copies of the console's painting.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/core/win.h"

namespace platform {

// What one character cell shows.
struct GridCell {
  uint8_t character = ' ';  // Windows-1252
  Rgb foreground{192, 192, 192};
  Rgb background;
  bool operator==(const GridCell&) const = default;
};

struct CellGrid {
  int width = 0, height = 0;
  std::vector<GridCell> cells;  // row by row

  CellGrid() = default;
  CellGrid(int columns, int rows) : width(columns), height(rows), cells(static_cast<std::size_t>(columns * rows)) {}
  GridCell& At(int x, int y) { return cells[static_cast<std::size_t>(y * width + x)]; }
  // Nothing drawn yet: blank cells, black on black.
  void Clear() {
    for (GridCell& cell : cells) cell = GridCell{' ', {}, {}};
  }
  const GridCell& At(int x, int y) const { return cells[static_cast<std::size_t>(y * width + x)]; }
};

// Cells outside the grid are left out.
void DrawCells(CellGrid& grid, int x, int y, std::string_view cp1252, Rgb foreground, Rgb background);
void FillCells(CellGrid& grid, const Rect& rect, Rgb colour);
// Copies the cells of 'source' to the rectangle at (destX, destY), as they were before.
void CopyCells(CellGrid& grid, const Rect& source, int destX, int destY);

}  // namespace platform
