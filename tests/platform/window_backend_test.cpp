// The window backend (SDL's dummy video driver on Linux, a GDI window under Wine): the
// font, drawing into the client image, pixel copies, the magnifier's stretch, the clipboard,
// waking the event wait, and wave-out blocks coming back done to the window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/wave_out.h"
#include "platform/backends/shared/window_backend.h"

namespace platform {
namespace {

constexpr Rgb Black{0, 0, 0}, Red{255, 0, 0}, Blue{0, 0, 255}, Yellow{255, 255, 0};

class WindowBackend : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
#endif
    std::string error;
    backend_ = CreateWindowBackend(error);
    ASSERT_TRUE(backend_) << error;
  }

  // A console-sized window for the font asked for; cell_ gets the cell size.
  void Open(const FontRequest& font = {"Lucida Console", 28, 13, 700}) {
    backend_->CreateFont(font);
    metrics_ = backend_->MeasureFont();
    cellWidth_ = metrics_.averageWidth;
    cellHeight_ = metrics_.height + metrics_.externalLeading;
    ASSERT_TRUE(backend_->OpenWindow("teste", {80 * cellWidth_, 25 * cellHeight_}));
    backend_->Fill({0, 0, 80 * cellWidth_, 25 * cellHeight_}, Black);
  }

  Rgb Pixel(int x, int y) { return WindowImagePixel(*backend_, x, y).value_or(Rgb{1, 2, 3}); }

  // How many pixels of a rectangle have exactly this colour.
  int Count(const Rect& rect, Rgb colour) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
      for (int x = rect.left; x < rect.right; ++x) count += Pixel(x, y) == colour;
    }
    return count;
  }
  Rect Cell(int column, int row) {
    return {column * cellWidth_, row * cellHeight_, (column + 1) * cellWidth_, (row + 1) * cellHeight_};
  }
  static int Area(const Rect& r) { return (r.right - r.left) * (r.bottom - r.top); }

  std::unique_ptr<Backend> backend_;
  FontMetrics metrics_;
  int cellWidth_ = 0, cellHeight_ = 0;
};

TEST_F(WindowBackend, FontOfTheRequestedCellSizeWithAMonospaceFallback) {
  // "Lucida Console" is not installed here: the fallback face takes the requested size.
  EXPECT_TRUE(backend_->CreateFont({"Lucida Console", 28, 13, 700}));
  const FontMetrics big = backend_->MeasureFont();
  EXPECT_EQ(big.averageWidth, 13);
  // The height asked for, or a little less (SDL_ttf's sizes step); GDI's font mapper may
  // also round a pixel up.
  EXPECT_LE(big.height, 28 + 1);
  EXPECT_GE(big.height, 24);
  EXPECT_GT(big.ascent, big.height / 2);
  EXPECT_LT(big.ascent, big.height);
  EXPECT_GE(big.externalLeading, 0);
  EXPECT_LE(big.externalLeading, 4);
  EXPECT_EQ(big.overhang, 0);

  EXPECT_TRUE(backend_->CreateFont({"", 16, 0, 400}));
  const FontMetrics small = backend_->MeasureFont();
  EXPECT_LE(small.height, 16 + 1);
  EXPECT_GE(small.height, 13);
  EXPECT_GE(small.averageWidth, 7);  // a monospace face's advance, about 0.6 em
  EXPECT_LE(small.averageWidth, 11);
}

TEST_F(WindowBackend, TextColoursOnlyItsOwnCell) {
  Open();
  backend_->DrawText(3 * cellWidth_, 2 * cellHeight_, "W", Yellow, Blue);
  const Rect cell = Cell(3, 2);
  const Rect textBox{cell.left, cell.top, cell.right, cell.top + metrics_.height};
  EXPECT_GT(Count(textBox, Yellow), Area(textBox) / 10);  // the glyph's solid strokes
  EXPECT_GT(Count(textBox, Blue), Area(textBox) / 4);     // the opaque background
  EXPECT_EQ(Count(textBox, Black), 0);
  for (const Rect& neighbour : {Cell(2, 2), Cell(4, 2), Cell(3, 1), Cell(3, 3)}) {
    EXPECT_EQ(Count(neighbour, Black), Area(neighbour));
  }
}

TEST_F(WindowBackend, RunsDrawEachCharacterAndBlanksShowTheBackground) {
  Open();
  backend_->DrawText(0, 0, "a b\x80\x81", Red, Blue);
  const auto ink = [&](int column) { return Count(Cell(column, 0), Red); };
  EXPECT_GT(ink(0), 0);
  EXPECT_EQ(ink(1), 0);
  EXPECT_GT(ink(2), 0);
  EXPECT_GT(ink(3), 0);  // 0x80 is the euro sign in Windows-1252, not a control
  EXPECT_EQ(ink(4), 0);  // 0x81 has no character
  EXPECT_EQ(Count(Cell(5, 0), Black), Area(Cell(5, 0)));
}

TEST_F(WindowBackend, CopyMovesPixelsLikeAScrollInBothDirections) {
  Open();
  const int width = 80 * cellWidth_;
  for (int row = 0; row < 5; ++row) {
    backend_->Fill({0, row * 10, width, row * 10 + 10}, Rgb{static_cast<uint8_t>(40 * row + 40), 0, 0});
  }
  backend_->Copy({0, 10, width, 50}, 0, 0);  // up by one band
  for (int row = 0; row < 4; ++row) EXPECT_EQ(Pixel(5, row * 10 + 5).red, 40 * row + 80) << row;
  EXPECT_EQ(Pixel(5, 45).red, 200);

  backend_->Copy({0, 0, width, 40}, 0, 10);  // down by one band
  EXPECT_EQ(Pixel(5, 5).red, 80);
  for (int row = 1; row < 5; ++row) EXPECT_EQ(Pixel(width - 1, row * 10 + 5).red, 40 * row + 40) << row;

  backend_->Copy({0, 40, 10, 50}, 25, 7);  // a small block of the last band
  EXPECT_EQ(Pixel(25, 7).red, 200);
  EXPECT_EQ(Pixel(34, 16).red, 200);
  EXPECT_EQ(Pixel(35, 16).red, 80);
  EXPECT_EQ(Pixel(25, 6).red, 80);

  // Rectangles reaching outside the image are clipped, not written past its end.
  backend_->Copy({-20, -20, width + 50, 40}, width - 5, 25 * cellHeight_ - 3);
  backend_->Copy({width - 5, 0, width + 100, 10}, -3, -4);
  backend_->Fill({-5, -5, 1 << 20, 3}, Blue);
  EXPECT_EQ(Pixel(width - 1, 2), Blue);
}

// Cells are redrawn only when they change, and a row that moved up is copied from below:
// whatever the order of drawing, the image must be what drawing the screen afresh gives.
TEST_F(WindowBackend, RedrawnScreensLookAsIfDrawnAfresh) {
  Open();
  std::vector<std::string> rows;
  for (int r = 0; r < 26; ++r)
    rows.push_back(std::to_string(r * 7919) + " linha " + std::string(static_cast<std::size_t>(r % 9), 'x'));
  const auto colourOf = [](int r) { return r % 3 == 0 ? Yellow : Red; };
  const auto draw = [&](int first) {
    for (int r = 0; r < 25; ++r) {
      std::string text = rows[static_cast<std::size_t>(first + r)];
      text.resize(80, ' ');
      backend_->DrawText(0, r * cellHeight_, text, colourOf(first + r), r % 2 ? Blue : Black);
    }
  };
  const auto image = [&] {
    std::vector<Rgb> pixels;
    for (int y = 0; y < 25 * cellHeight_; y += 2) {
      for (int x = 0; x < 80 * cellWidth_; x += 3) pixels.push_back(Pixel(x, y));
    }
    return pixels;
  };
  draw(0);
  draw(1);  // the screen moved up a row; the backgrounds did not move with it
  const auto scrolled = image();
  backend_->Fill({0, 0, 80 * cellWidth_, 25 * cellHeight_}, Black);
  draw(1);
  EXPECT_TRUE(image() == scrolled);

  // Moved by a pixel copy, then painted over in part: the cells know what they show.
  backend_->Copy({0, cellHeight_, 80 * cellWidth_, 25 * cellHeight_}, 0, 0);
  backend_->Fill({5, 3 * cellHeight_ + 2, 40, 3 * cellHeight_ + 9}, Blue);
  draw(1);
  EXPECT_TRUE(image() == scrolled);
}

TEST_F(WindowBackend, MagnifierStretchesTheSnapshotAndTheCaretStaysOutOfTheImage) {
  Open();
  backend_->Fill(Cell(0, 0), Red);
  backend_->Fill(Cell(1, 0), Blue);
  const Size size{80 * cellWidth_, 25 * cellHeight_};
  ASSERT_TRUE(backend_->CanMagnify());
  backend_->Snapshot(size);
  backend_->Fill({0, 0, size.width, size.height}, Black);
  backend_->Stretch({0, 0, size.width / 2, size.height / 2}, {0, 0, size.width, size.height});
  EXPECT_EQ(Pixel(2 * cellWidth_ - 2, 2 * cellHeight_ - 2), Red);
  EXPECT_EQ(Pixel(2 * cellWidth_ + 2, 5), Blue);
  EXPECT_EQ(Pixel(4 * cellWidth_ + 2, 5), Black);
  backend_->FreeSnapshot();

  backend_->Caret(true, 0, metrics_.ascent, cellWidth_, 2);
  backend_->Present(true);
  EXPECT_EQ(Pixel(1, metrics_.ascent), Red);
}

TEST_F(WindowBackend, ClipboardKeepsWindows1252Text) {
  Open();
  const std::string text = "a\xE7\xE3o \x80 \xC9";  // ação € É
  ASSERT_TRUE(backend_->ClipboardSet(text));
  EXPECT_EQ(backend_->ClipboardGet(), text);
}

TEST_F(WindowBackend, WakeFromAnotherThreadEndsTheWait) {
  Open();
  std::thread waker([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    backend_->Wake();
  });
  const auto start = std::chrono::steady_clock::now();
  backend_->WaitEvents(20000);
  waker.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));  // not the full wait
}

// The window's wave-out device plays in real time (SDL's mixer on Linux, the system's
// device reporting to the window on Windows) and hands each block back, in order, as
// MM_WOM_DONE; a reset hands back at once what had not played.
TEST_F(WindowBackend, WaveOutBlocksComeBackDoneInOrderAndAResetEndsThemAtOnce) {
  Open();
  // The wave-out calls and the message queue work on the installed backend, the device on
  // the window's sound output.
  Backend& backend = *backend_;
  SetBackend(std::move(backend_));
  SetSoundOutput(CreateWindowSoundOutput());
  const struct Uninstall {
    ~Uninstall() {
      SetSoundOutput(nullptr);
      SetBackend(nullptr);
    }
  } uninstall;
  const WaveFormat format{22050, 16, 1};
  int error = MMSYSERR_NOERROR;
  std::unique_ptr<WaveOutDevice> device = CurrentSoundOutput().OpenWaveOut(format, ConsoleWindowHandle, error);
  if (!device) GTEST_SKIP() << "no sound device here (error " << error << ")";

  std::vector<uint8_t> shortSound(2205 * 2), longSound(22050 * 2 * 20);  // 100 ms, 20 s of silence
  WaveHeader first{shortSound.data(), static_cast<uint32_t>(shortSound.size())};
  WaveHeader second{shortSound.data(), static_cast<uint32_t>(shortSound.size())};
  WaveHeader third{longSound.data(), static_cast<uint32_t>(longSound.size())};
  std::vector<WaveHeader*> done;
  const auto collect = [&](std::size_t wanted, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (done.size() < wanted && std::chrono::steady_clock::now() < until) {
      backend.WaitEvents(50);
      Message message;
      while (PeekMessage(message)) {
        if (message.message == MM_WOM_DONE) done.push_back(reinterpret_cast<WaveHeader*>(message.lParam));
      }
    }
  };
  for (WaveHeader* header : {&first, &second, &third}) {
    ASSERT_EQ(WaveOutPrepareHeader(device.get(), *header), MMSYSERR_NOERROR);
    ASSERT_EQ(WaveOutWrite(device.get(), *header), MMSYSERR_NOERROR);
  }
  collect(2, std::chrono::seconds(10));
  ASSERT_EQ(done, (std::vector<WaveHeader*>{&first, &second}));
  EXPECT_TRUE(first.flags & WHDR_DONE);
  EXPECT_FALSE(third.flags & WHDR_DONE);
  EXPECT_EQ(WaveOutClose(device), WAVERR_STILLPLAYING);

  const auto reset = std::chrono::steady_clock::now();
  EXPECT_EQ(WaveOutReset(device.get()), MMSYSERR_NOERROR);
  collect(3, std::chrono::seconds(10));
  EXPECT_LT(std::chrono::steady_clock::now() - reset, std::chrono::seconds(5));  // not the 20 s it holds
  ASSERT_EQ(done.size(), 3u);
  EXPECT_EQ(done[2], &third);
  EXPECT_TRUE(third.flags & WHDR_DONE);
  EXPECT_EQ(WaveOutUnprepareHeader(device.get(), third), MMSYSERR_NOERROR);
  EXPECT_EQ(WaveOutClose(device), MMSYSERR_NOERROR);
}

}  // namespace
}  // namespace platform
