#include "platform/backends/shared/cell_grid.h"

#include <algorithm>

namespace platform {

void DrawCells(CellGrid& grid, int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) {
  if (y < 0 || y >= grid.height) return;
  for (std::size_t i = 0; i < cp1252.size(); ++i) {
    const int column = x + static_cast<int>(i);
    if (column >= 0 && column < grid.width) {
      grid.At(column, y) = {static_cast<uint8_t>(cp1252[i]), foreground, background};
    }
  }
}

void FillCells(CellGrid& grid, const Rect& rect, Rgb colour) {
  for (int y = std::max(0, rect.top); y < std::min(grid.height, rect.bottom); ++y) {
    for (int x = std::max(0, rect.left); x < std::min(grid.width, rect.right); ++x)
      grid.At(x, y) = {' ', colour, colour};
  }
}

void CopyCells(CellGrid& grid, const Rect& source, int destX, int destY) {
  const CellGrid before = grid;
  const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < grid.width && y < grid.height; };
  for (int y = source.top; y < source.bottom; ++y) {
    for (int x = source.left; x < source.right; ++x) {
      const int toX = destX + (x - source.left), toY = destY + (y - source.top);
      if (inside(x, y) && inside(toX, toY)) grid.At(toX, toY) = before.At(x, y);
    }
  }
}

}  // namespace platform
