// What the web page's backend is built from, tested where it runs on Linux too: the cell
// grid it draws into and the story lines its live region receives.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/backends/headless/headless.h"
#include "platform/backends/shared/cell_grid.h"
#include "platform/backends/shared/story_lines.h"

namespace platform {
namespace {

constexpr Rgb White{255, 255, 255}, Black{}, Silver{192, 192, 192};

std::string RowText(const CellGrid& grid, int y) {
  std::string row;
  for (int x = 0; x < grid.width; ++x) row += static_cast<char>(grid.At(x, y).character);
  return row;
}

TEST(CellGrid, TextRunsAreCutAtTheGridsEdges) {
  CellGrid grid(6, 2);
  DrawCells(grid, -2, 0, "abcdef", White, Black);
  DrawCells(grid, 4, 1, "xyz", Silver, Black);
  DrawCells(grid, 0, 2, "below", White, Black);
  DrawCells(grid, 0, -1, "above", White, Black);
  EXPECT_EQ(RowText(grid, 0), "cdef  ");
  EXPECT_EQ(RowText(grid, 1), "    xy");
  EXPECT_EQ(grid.At(5, 1).foreground, Silver);
}

TEST(CellGrid, FillBlanksTheRectangleInItsColour) {
  CellGrid grid(4, 3);
  DrawCells(grid, 0, 1, "abcd", White, Black);
  FillCells(grid, {1, 0, 10, 2}, Silver);
  EXPECT_EQ(RowText(grid, 1), "a   ");
  EXPECT_EQ(grid.At(3, 0).background, Silver);
  EXPECT_EQ(grid.At(0, 1).background, Black);
}

// The console scrolls by copying the rows below one row up: each cell must come from the
// grid as it was, not from a row already moved.
TEST(CellGrid, CopyScrollsUpFromTheGridAsItWas) {
  CellGrid grid(3, 3);
  DrawCells(grid, 0, 0, "aaa", White, Black);
  DrawCells(grid, 0, 1, "bbb", Silver, Black);
  DrawCells(grid, 0, 2, "ccc", White, Black);
  CopyCells(grid, {0, 1, 3, 3}, 0, 0);
  EXPECT_EQ(RowText(grid, 0), "bbb");
  EXPECT_EQ(RowText(grid, 1), "ccc");
  EXPECT_EQ(grid.At(0, 0).foreground, Silver);
  CopyCells(grid, {0, 0, 3, 2}, 0, 1);  // and down, overlapping
  EXPECT_EQ(RowText(grid, 1), "bbb");
  EXPECT_EQ(RowText(grid, 2), "ccc");
}

TEST(StoryLines, WrittenTextIsHeardLineByLineWithoutBlankLines) {
  StoryLines story;
  EXPECT_EQ(story.Add("Sua cab"), std::vector<std::string>{});
  EXPECT_EQ(story.Add("ine\r\n\r\n  \r\nScore: 0\r\nVoc"), (std::vector<std::string>{"Sua cabine", "Score: 0"}));
  EXPECT_EQ(story.Add("\xea est\xe1\n"), std::vector<std::string>{"Voc\xea est\xe1"});
}

TEST(StoryLines, AnOpenLineIsHeardWhenAKeyIsAwaitedUnlessItIsThePrompt) {
  StoryLines story;
  story.Add("Qual \xe9 a longitude? ");
  EXPECT_EQ(story.TakeOpenLine(), std::vector<std::string>{"Qual \xe9 a longitude? "});
  story.Add("\r\n> ");
  EXPECT_EQ(story.TakeOpenLine(), std::vector<std::string>{});
  // The prompt was taken: the command's line end that follows starts nothing new.
  EXPECT_EQ(story.Add("\r\n"), std::vector<std::string>{});
  EXPECT_EQ(story.TakeOpenLine(), std::vector<std::string>{});
}

// The program's text output reaches the backend as it is written.
TEST(StoryLines, TheProgramsTextOutputReachesTheBackend) {
  struct Listening : HeadlessBackend {
    std::string written;
    void WrittenText(std::string_view cp1252) override { written += cp1252; }
  };
  auto backend = std::make_unique<Listening>();
  Listening* listening = backend.get();
  SetBackend(std::move(backend));
  NoteWrittenText("Boa sorte, marujo!\r\n");
  EXPECT_EQ(listening->written, "Boa sorte, marujo!\r\n");
  SetBackend(nullptr);
}

}  // namespace
}  // namespace platform
