#include "platform/backends/shared/window_backend.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/audio/sound_output.h"
#include "platform/backends/sdl/sdl_fonts.h"
#include "platform/backends/sdl/sdl_keys.h"
#include "platform/backends/shared/real_time.h"
#include "text/cp1252.h"

namespace platform {
namespace {

using namespace sdl;

constexpr uint64_t FrameMs = 16;  // presents that need not be at once: at most about 60 a second
constexpr int StockFontHeight = 16;
constexpr const char* StockFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

SDL_Rect ToSdl(const Rect& rect) { return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}; }

bool IsRealVideoDriver(const char* driver) {
  if (!driver) return false;
  const std::string_view name = driver;
  if (name != "offscreen" && name != "dummy") return true;
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  return asked && std::string_view(asked).find(name) != std::string_view::npos;
}

class SdlBackend : public RealTimeBackend {
 public:
  SdlBackend() = default;
  ~SdlBackend() override {
    CloseWindow();
    if (font_) TTF_CloseFont(font_);
    if (TTF_WasInit()) TTF_Quit();
    if (fontconfigStarted_) FcFini();
    SDL_Quit();
  }

  bool Start(std::string& error) {
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      error = std::string("cannot open a window: ") + SDL_GetError();
      return false;
    }
    // With no display SDL falls back to drivers that draw nowhere; a window there could
    // neither be seen nor typed to. They count only when SDL_VIDEODRIVER asks for them.
    if (const char* driver = SDL_GetCurrentVideoDriver(); !IsRealVideoDriver(driver)) {
      error = std::string("no display to open a window on (SDL found only its '") + (driver ? driver : "") +
              "' video driver)";
      return false;
    }
    if (TTF_Init() != 0) {
      error = std::string("cannot start SDL_ttf: ") + TTF_GetError();
      return false;
    }
    fontconfigStarted_ = FcInit();
    wakeEvent_ = SDL_RegisterEvents(1);
    SDL_EventState(SDL_DROPFILE, SDL_DISABLE);
    SDL_EventState(SDL_DROPTEXT, SDL_DISABLE);
    return true;
  }

  const char* Name() const override { return "window"; }

  // ---- events ----

  void PollEvents() override {
    SDL_Event event;
    while (SDL_PollEvent(&event)) Translate(event);
    FinishBatch();
    if (NeedsShow() && NowMs() >= lastPresentMs_ + FrameMs) Show();
  }

  void WaitEvents(int timeoutMs) override {
    if (NeedsShow()) Show();
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, timeoutMs < 0 ? -1 : timeoutMs)) Translate(event);
    PollEvents();
  }

  void Wake() override {
    // One wake event in flight is enough; SDL_PushEvent is safe from any thread.
    if (wakeEvent_ == static_cast<Uint32>(-1) || wakePending_.exchange(true)) return;
    SDL_Event event{};
    event.type = wakeEvent_;
    if (SDL_PushEvent(&event) <= 0) wakePending_ = false;
  }

  // ---- screen and font ----

  Rect WorkArea() override {
    SDL_Rect area{0, 0, 1024, 734};
    SDL_GetDisplayUsableBounds(DisplayIndex(), &area);
    return {area.x, area.y, area.x + area.w, area.y + area.h};
  }
  Size ScreenSize() override {
    SDL_Rect bounds{0, 0, 1024, 768};
    SDL_GetDisplayBounds(DisplayIndex(), &bounds);
    return {bounds.w, bounds.h};
  }
  // SDL windows are sized by their client area: no frame, no caption in the sums.
  SystemMetrics Metrics() override { return {}; }

  bool CreateFont(const FontRequest& request) override {
    const bool bold = request.weight >= 600;
    std::optional<FontFile> file;
    if (!request.face.empty()) file = MatchFont(request.face, bold, true);
    if (!file) file = MatchFont("DejaVu Sans Mono", bold, true);
    if (!file) file = MatchFont("monospace", bold, false);
    const bool loaded =
        file && LoadFont(*file, request.height > 0 ? request.height : StockFontHeight, request.width, bold);
    if (!loaded) LoadStockFont();
    return loaded;
  }

  void DeleteFont() override {}  // the font stays for drawing until another one replaces it

  FontMetrics MeasureFont() override {
    if (!font_) LoadStockFont();
    return metrics_;
  }

  // ---- the window ----

  bool OpenWindow(std::string_view title, Size outerSize) override {
    CloseWindow();
    if (!font_) LoadStockFont();
    // The window is drawn through SDL's software framebuffer, never through a renderer:
    // an OpenGL stack (software-rendered on many machines) costs a hundred megabytes and
    // milliseconds a frame for an 80x25 character screen.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    const int width = std::max(outerSize.width, 1), height = std::max(outerSize.height, 1);
    window_ = SDL_CreateWindow(text::Cp1252ToUtf8(title).c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!window_) return false;
    SDL_SetWindowMaximumSize(window_, width, height);
    if (!MakeImage(width, height)) {
      CloseWindow();
      return false;
    }
    SDL_StartTextInput();
    focus_ = (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0;
    TouchAll();
    return true;
  }

  void Maximize(Size outerSize) override {
    if (!window_ || outerSize.width <= 0 || outerSize.height <= 0) return;
    if (outerSize.width > image_->w || outerSize.height > image_->h) {
      MakeImage(std::max(outerSize.width, image_->w), std::max(outerSize.height, image_->h));
    }
    SDL_SetWindowMaximumSize(window_, outerSize.width, outerSize.height);
    SDL_SetWindowSize(window_, outerSize.width, outerSize.height);
    const Rect area = WorkArea();
    SDL_SetWindowPosition(window_, area.left, area.top);
    TouchAll();
  }

  void CloseWindow() override {
    FreeSnapshot();
    if (image_) SDL_FreeSurface(image_);
    if (window_) SDL_DestroyWindow(window_);  // its surface goes with it
    image_ = nullptr;
    uploadArea_ = Rect{};
    imageDirty_ = false;
    shownSurface_ = nullptr;
    window_ = nullptr;
  }

  void SetTitle(std::string_view cp1252) override {
    if (window_) SDL_SetWindowTitle(window_, text::Cp1252ToUtf8(cp1252).c_str());
  }
  bool IsActive() override { return focus_; }
  bool HasFocus() override { return focus_; }
  std::optional<unsigned long> NativeWindowId() override {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window_ || !SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11) return std::nullopt;
    return static_cast<unsigned long>(info.info.x11.window);
  }
  Rect WindowRect() override {
    if (!window_) return {};
    int x = 0, y = 0, width = 0, height = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &width, &height);
    return {x, y, x + width, y + height};
  }

  // ---- drawing ----

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    if (!image_) return;
    if (!font_) LoadStockFont();
    const int cellWidth = metrics_.averageWidth, cellHeight = metrics_.height;
    const auto length = static_cast<int>(cp1252.size());
    if (cellWidth <= 0 || cellHeight <= 0 || length == 0) return;
    const Uint32* shade = ShadeTable(foreground, background);
    // On the cell grid, each cell is drawn only when it changes; a cell that shows what the
    // one below it showed (the screen moved up a row) is copied from it.
    const int pitch = RowPitch();
    const bool onGrid =
        x >= 0 && y >= 0 && x % cellWidth == 0 && y % pitch == 0 && y + cellHeight <= image_->h && !drawn_.empty();
    if (!onGrid) {
      ForgetDrawn({x, y, x + cellWidth * length, y + cellHeight});
      for (int i = 0; i < length; ++i) DrawCell(x + i * cellWidth, y, static_cast<uint8_t>(cp1252[i]), shade);
      Touch({x, y, x + cellWidth * length, y + cellHeight});
      return;
    }
    const int column = x / cellWidth, row = y / pitch;
    int changedFrom = length, changedTo = -1;
    for (int i = 0; i < length; ++i) {
      const DrawnCell wanted{static_cast<uint8_t>(cp1252[i]), foreground, background, true};
      const int left = x + i * cellWidth;
      if (left >= image_->w) break;
      if (column + i >= drawnColumns_) {
        // Only partly inside the image: drawn, clipped, every time.
        DrawCell(left, y, wanted.ch, shade);
        changedFrom = std::min(changedFrom, i);
        changedTo = i;
        continue;
      }
      DrawnCell& cell = DrawnAt(column + i, row);
      if (cell == wanted) continue;
      if (row + 1 < drawnRows_ && DrawnAt(column + i, row + 1) == wanted) {
        CopyCell(left, y + pitch, left, y);
      } else {
        DrawCell(left, y, wanted.ch, shade);
      }
      cell = wanted;
      changedFrom = std::min(changedFrom, i);
      changedTo = i;
    }
    if (changedTo >= 0) Touch({x + changedFrom * cellWidth, y, x + (changedTo + 1) * cellWidth, y + cellHeight});
  }

  void Fill(const Rect& rect, Rgb colour) override {
    if (!image_) return;
    const Rect clipped = Clip(rect);
    if (clipped.Empty()) return;
    ForgetDrawn(clipped);
    const SDL_Rect area = ToSdl(clipped);
    SDL_FillRect(image_, &area, SDL_MapRGB(image_->format, colour.red, colour.green, colour.blue));
    Touch(clipped);
  }

  void Copy(const Rect& source, int destX, int destY) override {
    if (!image_) return;
    // Clip the source to the image, then the destination, moving the source with it.
    Rect from = Clip(source);
    destX += from.left - source.left;
    destY += from.top - source.top;
    const int shiftX = std::max(0, -destX), shiftY = std::max(0, -destY);
    from.left += shiftX;
    from.top += shiftY;
    destX += shiftX;
    destY += shiftY;
    from.right = std::min(from.right, from.left + (image_->w - destX));
    from.bottom = std::min(from.bottom, from.top + (image_->h - destY));
    if (from.Empty()) return;
    const std::size_t rowBytes = static_cast<std::size_t>(from.right - from.left) * 4;
    auto* pixels = static_cast<uint8_t*>(image_->pixels);
    const auto rowAt = [&](int x, int y) { return pixels + y * image_->pitch + x * 4; };
    const int rows = from.bottom - from.top;
    // Overlapping rows: copy in the order that reads each row before it is overwritten.
    for (int i = 0; i < rows; ++i) {
      const int r = destY > from.top ? rows - 1 - i : i;
      std::memmove(rowAt(destX, destY + r), rowAt(from.left, from.top + r), rowBytes);
    }
    MoveDrawn(from, destX, destY);
    Touch({destX, destY, destX + (from.right - from.left), destY + rows});
  }

  bool CanMagnify() override { return true; }
  void Snapshot(Size size) override {
    FreeSnapshot();
    if (!image_) return;
    snapshot_ = SDL_CreateRGBSurfaceWithFormat(0, std::max(size.width, 1), std::max(size.height, 1), 32,
                                               SDL_PIXELFORMAT_XRGB8888);
    if (!snapshot_) return;
    SDL_SetSurfaceBlendMode(snapshot_, SDL_BLENDMODE_NONE);
    SDL_FillRect(snapshot_, nullptr, 0);
    SDL_BlitSurface(image_, nullptr, snapshot_, nullptr);
  }
  void Stretch(const Rect& source, const Rect& dest) override {
    if (!snapshot_ || !image_ || source.Empty() || dest.Empty()) return;
    SDL_Rect from = ToSdl(source), to = ToSdl(dest);
    SDL_BlitScaled(snapshot_, &from, image_, &to);
    ForgetDrawn(dest);
    Touch(dest);
  }
  void FreeSnapshot() override {
    if (snapshot_) SDL_FreeSurface(snapshot_);
    snapshot_ = nullptr;
  }

  void Present(bool urgent) override {
    if (!NeedsShow()) return;
    if (!urgent && NowMs() < lastPresentMs_ + FrameMs) return;  // a later poll shows it
    Show();
  }

  void Caret(bool visible, int x, int y, int width, int height) override {
    const SDL_Rect caret = visible ? SDL_Rect{x, y, width, height} : SDL_Rect{};
    if (caret.x == caret_.x && caret.y == caret_.y && caret.w == caret_.w && caret.h == caret_.h) return;
    // The caret goes into the uploaded copy only: both places are uploaded again.
    if (image_) Touch(FromSdl(CaretArea()));
    caret_ = caret;
    if (image_) Touch(FromSdl(CaretArea()));
  }

  // ---- clipboard and sound ----

  bool ClipboardSet(std::string_view cp1252) override {
    return SDL_SetClipboardText(text::Cp1252ToUtf8(cp1252).c_str()) == 0;
  }
  std::optional<std::string> ClipboardGet() override {
    if (!SDL_HasClipboardText()) return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text) return std::nullopt;
    std::string bytes = text::Utf8ToCp1252(text);
    SDL_free(text);
    return bytes;
  }

  std::optional<Rgb> Pixel(int x, int y) const {
    if (!image_ || x < 0 || y < 0 || x >= image_->w || y >= image_->h) return std::nullopt;
    const auto* row = reinterpret_cast<const Uint32*>(static_cast<const uint8_t*>(image_->pixels) + y * image_->pitch);
    Rgb colour;
    SDL_GetRGB(row[x], image_->format, &colour.red, &colour.green, &colour.blue);
    return colour;
  }

 private:
  int DisplayIndex() const {
    const int index = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
    return index < 0 ? 0 : index;
  }

  Rect Clip(const Rect& rect) const {
    return {std::max(rect.left, 0), std::max(rect.top, 0), std::min(rect.right, image_->w),
            std::min(rect.bottom, image_->h)};
  }

  // A new client image of this size, keeping what the old one showed.
  bool MakeImage(int width, int height) {
    SDL_Surface* image = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_XRGB8888);
    if (!image) return false;
    SDL_SetSurfaceBlendMode(image, SDL_BLENDMODE_NONE);
    SDL_FillRect(image, nullptr, SDL_MapRGB(image->format, 0, 0, 0));
    if (image_) {
      SDL_BlitSurface(image_, nullptr, image, nullptr);
      SDL_FreeSurface(image_);
    }
    image_ = image;
    shownSurface_ = nullptr;  // everything goes to the window again
    ResetDrawn();
    return true;
  }

  // ---- what the cells show ----

  struct DrawnCell {
    uint8_t ch = 0;
    Rgb foreground, background;
    bool known = false;
    bool operator==(const DrawnCell&) const = default;
  };

  // Text rows lie a line's height apart: the glyphs' height and the font's leading.
  int RowPitch() const { return std::max(1, metrics_.height + metrics_.externalLeading); }

  // The grid of whole cells of the image, all unknown. A cell is the glyph area at the
  // top of its row's pitch.
  void ResetDrawn() {
    const int cellWidth = metrics_.averageWidth, cellHeight = RowPitch();
    drawnColumns_ = image_ && cellWidth > 0 ? image_->w / cellWidth : 0;
    drawnRows_ = image_ && image_->h >= metrics_.height ? (image_->h - metrics_.height) / cellHeight + 1 : 0;
    drawn_.assign(static_cast<std::size_t>(drawnColumns_ * drawnRows_), DrawnCell{});
  }
  DrawnCell& DrawnAt(int column, int row) { return drawn_[static_cast<std::size_t>(row * drawnColumns_ + column)]; }

  // The cells that touch a rectangle of pixels no longer show what was drawn in them.
  void ForgetDrawn(const Rect& rect) {
    const int cellWidth = metrics_.averageWidth, cellHeight = RowPitch();
    if (drawn_.empty() || cellWidth <= 0 || cellHeight <= 0 || rect.Empty()) return;
    const int left = std::max(0, rect.left / cellWidth),
              right = std::min(drawnColumns_ - 1, (rect.right - 1) / cellWidth);
    const int top = std::max(0, rect.top / cellHeight),
              bottom = std::min(drawnRows_ - 1, (rect.bottom - 1) / cellHeight);
    for (int r = top; r <= bottom; ++r) {
      for (int c = left; c <= right; ++c) DrawnAt(c, r) = DrawnCell{};
    }
  }

  // Pixels moved from 'from' to (destX, destY): whole cells moved on the grid keep what
  // they show; everything else at the destination is unknown.
  void MoveDrawn(const Rect& from, int destX, int destY) {
    const int cellWidth = metrics_.averageWidth, cellHeight = RowPitch();
    const Rect to{destX, destY, destX + (from.right - from.left), destY + (from.bottom - from.top)};
    if (drawn_.empty() || cellWidth <= 0 || cellHeight <= 0) return;
    const bool aligned =
        from.left % cellWidth == 0 && from.top % cellHeight == 0 && destX % cellWidth == 0 && destY % cellHeight == 0;
    if (!aligned) {
      ForgetDrawn(to);
      return;
    }
    std::vector<DrawnCell> moved;
    const int columns = (from.right - from.left) / cellWidth, rows = (from.bottom - from.top) / cellHeight;
    const int c0 = from.left / cellWidth, r0 = from.top / cellHeight;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        const bool inside = c0 + c < drawnColumns_ && r0 + r < drawnRows_;
        moved.push_back(inside ? DrawnAt(c0 + c, r0 + r) : DrawnCell{});
      }
    }
    ForgetDrawn(to);
    const int d0 = destX / cellWidth, e0 = destY / cellHeight;
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        if (d0 + c < drawnColumns_ && e0 + r < drawnRows_)
          DrawnAt(d0 + c, e0 + r) = moved[static_cast<std::size_t>(r * columns + c)];
      }
    }
  }

  // Pixel values for each coverage level, from the background to the foreground; kept for
  // the last pair of colours.
  const Uint32* ShadeTable(Rgb foreground, Rgb background) {
    if (shadeKnown_ && shadeForeground_ == foreground && shadeBackground_ == background &&
        shadeFormat_ == image_->format) {
      return shade_.data();
    }
    for (int level = 0; level < 256; ++level) {
      const auto mix = [level](uint8_t from, uint8_t to) {
        return static_cast<Uint8>((from * (255 - level) + to * level + 127) / 255);
      };
      shade_[static_cast<std::size_t>(level)] =
          SDL_MapRGB(image_->format, mix(background.red, foreground.red), mix(background.green, foreground.green),
                     mix(background.blue, foreground.blue));
    }
    shadeKnown_ = true;
    shadeForeground_ = foreground;
    shadeBackground_ = background;
    shadeFormat_ = image_->format;
    return shade_.data();
  }

  // One character cell: its background, then the glyph's coverage over it (clipped).
  void DrawCell(int left, int y, uint8_t ch, const Uint32* shade) {
    const int cellWidth = metrics_.averageWidth, cellHeight = metrics_.height;
    const Rect cell = Clip({left, y, left + cellWidth, y + cellHeight});
    if (cell.Empty()) return;
    const SDL_Rect area = ToSdl(cell);
    SDL_FillRect(image_, &area, shade[0]);
    const Coverage& glyph = glyphs_[ch];
    if (glyph.empty()) return;
    for (int py = cell.top; py < cell.bottom; ++py) {
      auto* row = reinterpret_cast<Uint32*>(static_cast<uint8_t*>(image_->pixels) + py * image_->pitch);
      const uint8_t* coverage = &glyph[static_cast<std::size_t>((py - y) * cellWidth)];
      for (int px = cell.left; px < cell.right; ++px) {
        const uint8_t level = coverage[px - left];
        if (level != 0) row[px] = shade[level];
      }
    }
  }

  // Copies one whole cell's pixels (both cells lie inside the image).
  void CopyCell(int fromX, int fromY, int toX, int toY) {
    const int cellWidth = metrics_.averageWidth, cellHeight = metrics_.height;
    auto* pixels = static_cast<uint8_t*>(image_->pixels);
    for (int r = 0; r < cellHeight; ++r) {
      std::memcpy(pixels + (toY + r) * image_->pitch + toX * 4, pixels + (fromY + r) * image_->pitch + fromX * 4,
                  static_cast<std::size_t>(cellWidth) * 4);
    }
  }

  bool NeedsShow() const { return window_ && imageDirty_; }

  static Rect FromSdl(const SDL_Rect& r) { return {r.x, r.y, r.x + r.w, r.y + r.h}; }

  // Marks a changed part of the image, to be uploaded by the next present.
  void Touch(const Rect& rect) {
    const Rect clipped = Clip(rect);
    if (clipped.Empty()) return;
    if (uploadArea_.Empty()) {
      uploadArea_ = clipped;
    } else {
      uploadArea_ = {std::min(uploadArea_.left, clipped.left), std::min(uploadArea_.top, clipped.top),
                     std::max(uploadArea_.right, clipped.right), std::max(uploadArea_.bottom, clipped.bottom)};
    }
    imageDirty_ = true;
  }
  void TouchAll() {
    if (image_) Touch({0, 0, image_->w, image_->h});
    imageDirty_ = true;
  }

  // Copies the changed part of the image, with the caret inverted, to the window's own
  // surface and shows that part. The window surface is SDL's software framebuffer (shared
  // memory with the X server where it can): no OpenGL stack is loaded for it.
  void Show() {
    lastPresentMs_ = NowMs();
    if (!window_ || !image_) return;
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) return;
    if (surface != shownSurface_ || surface->w != shownSize_.width || surface->h != shownSize_.height) {
      // A new or resized window surface: all of it, black beyond the image.
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      shownSurface_ = surface;
      shownSize_ = {surface->w, surface->h};
      uploadArea_ = {0, 0, image_->w, image_->h};
      fullShow_ = true;
    }
    SDL_Rect area = ToSdl(uploadArea_);
    if (!uploadArea_.Empty()) {
      const SDL_Rect caret = CaretArea();
      InvertArea(caret);
      SDL_Rect to = area;
      SDL_BlitSurface(image_, &area, surface, &to);
      InvertArea(caret);
      uploadArea_ = Rect{};
    }
    imageDirty_ = false;
    if (fullShow_) {
      SDL_UpdateWindowSurface(window_);
      fullShow_ = false;
      return;
    }
    const SDL_Rect bounds{0, 0, surface->w, surface->h};
    SDL_Rect shown{};
    if (SDL_IntersectRect(&area, &bounds, &shown)) SDL_UpdateWindowSurfaceRects(window_, &shown, 1);
  }

  SDL_Rect CaretArea() const {
    SDL_Rect area{};
    const SDL_Rect bounds{0, 0, image_->w, image_->h};
    if (caret_.w > 0 && caret_.h > 0 && SDL_IntersectRect(&caret_, &bounds, &area)) return area;
    return SDL_Rect{};
  }

  void InvertArea(const SDL_Rect& area) {
    for (int y = area.y; y < area.y + area.h; ++y) {
      auto* row = reinterpret_cast<Uint32*>(static_cast<uint8_t*>(image_->pixels) + y * image_->pitch);
      for (int x = area.x; x < area.x + area.w; ++x) row[x] ^= 0x00FFFFFF;
    }
  }

  // ---- fonts ----

  bool LoadFont(const FontFile& file, int pixelHeight, int pixelWidth, bool bold) {
    TTF_Font* font = TTF_OpenFontIndex(file.path.c_str(), pixelHeight, file.index);
    if (!font) return false;
    // The largest point size whose line height (Windows' cell height) fits the request.
    int low = 1, high = pixelHeight * 2;
    while (low < high) {
      const int middle = (low + high + 1) / 2;
      if (TTF_SetFontSize(font, middle) == 0 && TTF_FontHeight(font) <= pixelHeight)
        low = middle;
      else
        high = middle - 1;
    }
    TTF_SetFontSize(font, low);
    TTF_SetFontHinting(font, TTF_HINTING_LIGHT);
    if (bold && file.weight < FC_WEIGHT_DEMIBOLD) TTF_SetFontStyle(font, TTF_STYLE_BOLD);
    if (font_) TTF_CloseFont(font_);
    font_ = font;
    BuildAtlas(pixelWidth);
    if (image_) ResetDrawn();
    return true;
  }

  void LoadStockFont() {
    std::optional<FontFile> file = MatchFont("DejaVu Sans Mono", false, true);
    if (!file) file = MatchFont("monospace", false, false);
    if (file && LoadFont(*file, StockFontHeight, 0, false)) return;
    if (LoadFont({StockFontFile, 0, FC_WEIGHT_REGULAR}, StockFontHeight, 0, false)) return;
    // No font at all: text shows as its background only, in cells of a usual size.
    metrics_ = {8, StockFontHeight, 0, 12, 0};
    for (auto& glyph : glyphs_) glyph.clear();
    if (image_) ResetDrawn();
  }

  // Draws the 256 Windows-1252 characters once, as coverage images of one cell each.
  void BuildAtlas(int requestedWidth) {
    int advance = 0, minX = 0, maxX = 0, minY = 0, maxY = 0;
    if (TTF_GlyphMetrics32(font_, '0', &minX, &maxX, &minY, &maxY, &advance) != 0 || advance <= 0) advance = 8;
    const int height = TTF_FontHeight(font_);
    const int cellWidth = requestedWidth > 0 ? requestedWidth : advance;
    metrics_ = {cellWidth, height, std::max(0, TTF_FontLineSkip(font_) - height), TTF_FontAscent(font_), 0};
    const SDL_Color white{255, 255, 255, 255};
    for (int byte = 0; byte < 256; ++byte) {
      Coverage& glyph = glyphs_[static_cast<std::size_t>(byte)];
      glyph.clear();
      const char32_t codePoint = text::Cp1252ToCodePoint(static_cast<uint8_t>(byte));
      if (codePoint <= 0x20 || (codePoint >= 0x7F && codePoint < 0xA0) || !TTF_GlyphIsProvided32(font_, codePoint)) {
        continue;  // blanks, controls, and characters the face lacks show as background
      }
      SDL_Surface* rendered = TTF_RenderGlyph32_Blended(font_, codePoint, white);
      if (!rendered) continue;
      SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
      SDL_FreeSurface(rendered);
      if (!argb) continue;
      // The glyph at its pen position in a cell of the natural advance, then fitted to the cell.
      int glyphMinX = 0;
      TTF_GlyphMetrics32(font_, codePoint, &glyphMinX, nullptr, nullptr, nullptr, nullptr);
      const int offset = std::min(glyphMinX, 0);
      Coverage natural(static_cast<std::size_t>(advance * height), 0);
      SDL_LockSurface(argb);
      for (int y = 0; y < std::min(height, argb->h); ++y) {
        const auto* row = reinterpret_cast<const Uint32*>(static_cast<const uint8_t*>(argb->pixels) + y * argb->pitch);
        for (int x = 0; x < argb->w; ++x) {
          const int cellX = x + offset;
          if (cellX < 0 || cellX >= advance) continue;
          natural[static_cast<std::size_t>(y * advance + cellX)] = static_cast<uint8_t>(row[x] >> 24);
        }
      }
      SDL_UnlockSurface(argb);
      SDL_FreeSurface(argb);
      glyph = cellWidth == advance ? std::move(natural) : ScaleColumns(natural, advance, height, cellWidth);
    }
  }

  // ---- event translation ----

  void Translate(const SDL_Event& event) {
    if (event.type == wakeEvent_) {
      wakePending_ = false;
      return;
    }
    switch (event.type) {
      case SDL_QUIT:  // the close box, or SIGINT/SIGTERM through SDL
        PostMessage(ConsoleWindowHandle, WM_CLOSE);
        break;
      case SDL_WINDOWEVENT: TranslateWindowEvent(event.window); break;
      case SDL_KEYDOWN: KeyDown(event.key.keysym); break;
      case SDL_KEYUP: {
        PostPendingKey();
        const int virtualKey = VirtualKeyOf(event.key.keysym);
        if (virtualKey != 0) PostKey({virtualKey, ModifiersOf(event.key.keysym.mod), std::nullopt, KeyAction::Release});
        break;
      }
      case SDL_TEXTINPUT: Text(event.text.text); break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_RIGHT) {
          PostMotion();
          PostMessage(ConsoleWindowHandle, event.type == SDL_MOUSEBUTTONDOWN ? WM_RBUTTONDOWN : WM_RBUTTONUP,
                      event.type == SDL_MOUSEBUTTONDOWN ? MkRightButton : 0,
                      PointParameter(event.button.x, event.button.y));
        }
        break;
      case SDL_MOUSEMOTION:
        // Only the last position of a batch matters: each one makes the magnifier redraw.
        motion_ = PointParameter(event.motion.x, event.motion.y);
        motionButtons_ = (event.motion.state & SDL_BUTTON_RMASK) ? MkRightButton : 0;
        break;
      default: break;
    }
  }

  void TranslateWindowEvent(const SDL_WindowEvent& event) {
    switch (event.event) {
      case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (!focus_) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
        focus_ = true;
        break;
      case SDL_WINDOWEVENT_FOCUS_LOST:
        if (focus_) PostMessage(ConsoleWindowHandle, WM_KILLFOCUS);
        focus_ = false;
        break;
      case SDL_WINDOWEVENT_EXPOSED:
      case SDL_WINDOWEVENT_SIZE_CHANGED:
      case SDL_WINDOWEVENT_RESTORED: imageDirty_ = true; break;
      default: break;
    }
  }

  // Printable keys wait for the text that SDL sends right after them, so that the key-down
  // and its character are posted together, as Windows does; keys with Ctrl or Alt, and
  // keys that are not characters, are posted at once with the character they make.
  void KeyDown(const SDL_Keysym& keysym) {
    PostPendingKey();
    const int virtualKey = VirtualKeyOf(keysym);
    const uint32_t modifiers = ModifiersOf(keysym.mod);
    if (IsNonTextKey(virtualKey) || (modifiers & (ModCtrl | ModAlt))) {
      if (virtualKey == 0) return;
      KeyEvent key{virtualKey, modifiers, std::nullopt};
      if (!(modifiers & ModAlt)) key.character = KeyCharacter(virtualKey, modifiers);
      PostKey(key);
      return;
    }
    pending_ = KeyEvent{virtualKey, modifiers, std::nullopt};
  }

  void Text(const char* utf8) {
    // Text typed with Ctrl or the left Alt held is not text for the console.
    if (ModifiersOf(static_cast<uint16_t>(SDL_GetModState())) & (ModCtrl | ModAlt)) return;
    for (const char c : text::Utf8ToCp1252(utf8)) {
      const auto byte = static_cast<uint8_t>(c);
      if (byte < 0x20 || byte == 0x7F) continue;
      if (pending_) {
        pending_->character = byte;
        PostKey(*pending_);
        pending_.reset();
      } else {
        PostKey({VirtualKeyOfCharacter(byte), ModifiersOf(static_cast<uint16_t>(SDL_GetModState())), byte});
      }
    }
  }

  // A printable key for which no text came (a dead key, or a key the layout leaves empty).
  void PostPendingKey() {
    if (pending_ && pending_->virtualKey != 0) PostKey(*pending_);
    pending_.reset();
  }

  void PostMotion() {
    if (motion_) PostMessage(ConsoleWindowHandle, WM_MOUSEMOVE, motionButtons_, *motion_);
    motion_.reset();
  }

  void FinishBatch() {
    PostPendingKey();
    PostMotion();
  }

  static intptr_t PointParameter(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16));
  }
  static constexpr uintptr_t MkRightButton = 0x0002;

  bool fontconfigStarted_ = false;
  Uint32 wakeEvent_ = static_cast<Uint32>(-1);
  std::atomic<bool> wakePending_{false};

  SDL_Window* window_ = nullptr;
  std::vector<DrawnCell> drawn_;  // by row, then column
  int drawnColumns_ = 0, drawnRows_ = 0;
  std::array<Uint32, 256> shade_{};
  bool shadeKnown_ = false;
  Rgb shadeForeground_, shadeBackground_;
  const SDL_PixelFormat* shadeFormat_ = nullptr;
  SDL_Surface* shownSurface_ = nullptr;  // the window surface last drawn to (owned by SDL)
  Size shownSize_;
  bool fullShow_ = false;
  SDL_Surface* image_ = nullptr;
  SDL_Surface* snapshot_ = nullptr;
  bool imageDirty_ = false;  // a present is due
  Rect uploadArea_;          // the part of the image changed since the last upload
  uint64_t lastPresentMs_ = 0;
  SDL_Rect caret_{};
  bool focus_ = false;

  TTF_Font* font_ = nullptr;
  FontMetrics metrics_;
  std::array<Coverage, 256> glyphs_;

  std::optional<KeyEvent> pending_;
  std::optional<intptr_t> motion_;
  uintptr_t motionButtons_ = 0;
};

}  // namespace

std::unique_ptr<SoundOutput> CreateWindowSoundOutput() { return std::make_unique<SharedDeviceSound>(); }

std::unique_ptr<Backend> CreateWindowBackend(std::string& error) {
  auto backend = std::make_unique<SdlBackend>();
  if (!backend->Start(error)) return nullptr;
  return backend;
}

std::optional<Rgb> WindowImagePixel(Backend& backend, int x, int y) {
  auto* window = dynamic_cast<SdlBackend*>(&backend);
  return window ? window->Pixel(x, y) : std::nullopt;
}

}  // namespace platform
