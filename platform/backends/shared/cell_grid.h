#pragma once
// Drawing into a grid of character cells, one cell per client unit: the text runs, fills
// and copies of the console's painting, as the cell backends (the web page) take them.

#include <string_view>

#include "platform/backends/terminal/terminal_backend.h"

namespace platform {

// Cells outside the grid are left out.
void DrawCells(TerminalGrid& grid, int x, int y, std::string_view cp1252, Rgb foreground, Rgb background);
void FillCells(TerminalGrid& grid, const Rect& rect, Rgb colour);
// Copies the cells of 'source' to the rectangle at (destX, destY), as they were before.
void CopyCells(TerminalGrid& grid, const Rect& source, int destX, int destY);

}  // namespace platform
