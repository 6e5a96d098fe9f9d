#include "console/screen.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <memory>
#include <vector>

#include "console/braille.h"
#include "console/console.h"
#include "console/console_internal.h"
#include "console/keyboard.h"
#include "platform/backend.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "text/cp1252.h"
#include "text/files.h"

namespace console {

uint8_t TextAttribute = 0x0F;

namespace {

using platform::Hwnd;
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

struct Settings {
  std::array<uint8_t, 16> colourMap{};
  bool fixedColours = false;
  bool blitScroll = false;
  bool maximized = false;
  int magnifierFactor = 2;
  int brailleMode = 0;
  platform::FontRequest font;
};

struct ConsoleState {
  Hwnd window = 0;
  std::vector<uint8_t> chars, attrs;  // allocated by the creation message
  int cursorX = 0, cursorY = 0;
  int focusRow = 0;  // what a Braille display follows (detail::FocusRow)
  Settings settings;
  detail::CellMetrics cells;
  int spanFrom = 0, spanTo = 0;  // the changed span of the cursor's row, end excluded
  bool magnifierActive = false;
  platform::Size clientSize;
  WaveDoneProc waveDone = nullptr;
  bool waveDoneEnabled = false;
  std::string caption;
  platform::OutputFile transcript;
};

ConsoleState gConsole;

constexpr std::string_view IniFile = "TAMIRE.INI";

std::array<uint8_t, 16> IdentityMap() {
  std::array<uint8_t, 16> map{};
  for (std::size_t i = 0; i < map.size(); ++i) map[i] = static_cast<uint8_t>(i);
  return map;
}

// A decimal integer with an optional sign and blanks around it; nothing when invalid.
std::optional<long> ParseDecimal(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string ReadKey(std::string_view section, std::string_view key, std::string_view defaultValue,
                    std::size_t bufferSize = 80) {
  return platform::GetPrivateProfileString(section, key, defaultValue, IniFile, bufferSize);
}

bool StartsWithS(std::string_view value) { return !value.empty() && (value[0] == 'S' || value[0] == 's'); }

Rgb PaletteColour(int nibble) {
  const uint8_t entry = gConsole.settings.colourMap[static_cast<std::size_t>(nibble & 15)];
  return entry > 15 ? Rgb{} : ConsolePalette[entry];
}

void PaintRowSpan(int from, int to, int row) {
  if (to <= from || gConsole.chars.empty() || row < 0 || row >= ScreenRows) return;
  from = std::max(from, 0);
  to = std::min(to, ScreenColumns);
  const auto& cells = gConsole.cells;
  int runStart = from;
  while (runStart < to) {
    const std::size_t base = static_cast<std::size_t>(row * ScreenColumns);
    const uint8_t attr = gConsole.attrs[base + static_cast<std::size_t>(runStart)];
    int runEnd = runStart + 1;
    while (runEnd < to && gConsole.attrs[base + static_cast<std::size_t>(runEnd)] == attr) ++runEnd;
    const std::string_view text(reinterpret_cast<const char*>(gConsole.chars.data() + base + runStart),
                                static_cast<std::size_t>(runEnd - runStart));
    platform::TextOut(runStart * cells.width + cells.overhang, row * cells.height, text, PaletteColour(attr & 15),
                      PaletteColour(attr >> 4));
    runStart = runEnd;
  }
}

void Paint() {
  const platform::Rect invalid = platform::BeginPaint(gConsole.window);
  const auto& cells = gConsole.cells;
  const int firstColumn = std::max(0, invalid.left / cells.width);
  const int endColumn = std::min(ScreenColumns, (invalid.right + cells.width - 1) / cells.width);
  const int firstRow = std::max(0, invalid.top / cells.height);
  const int endRow = std::min(ScreenRows, (invalid.bottom + cells.height - 1) / cells.height);
  for (int row = firstRow; row < endRow; ++row) PaintRowSpan(firstColumn, endColumn, row);
  platform::EndPaint(gConsole.window);
}

void FlushSpan() {
  PaintRowSpan(gConsole.spanFrom, gConsole.spanTo, gConsole.cursorY);
  gConsole.spanFrom = gConsole.spanTo = 0;
}

void WidenSpan(int column) {
  if (gConsole.spanTo <= gConsole.spanFrom) {
    gConsole.spanFrom = column;
    gConsole.spanTo = column + 1;
  } else {
    gConsole.spanFrom = std::min(gConsole.spanFrom, column);
    gConsole.spanTo = std::max(gConsole.spanTo, column + 1);
  }
}

void StoreCell(int column, int row, uint8_t ch) {
  const std::size_t at = static_cast<std::size_t>(row * ScreenColumns + column);
  gConsole.chars[at] = ch;
  gConsole.attrs[at] = TextAttribute;
}

void NextRow() {
  FlushSpan();
  ++gConsole.cursorY;
  if (gConsole.cursorY < ScreenRows) return;
  gConsole.cursorY = ScreenRows - 1;
  if (gConsole.focusRow > 0) --gConsole.focusRow;  // its text moved up with the rest
  const auto rowBytes = static_cast<std::ptrdiff_t>(ScreenColumns);
  std::copy(gConsole.chars.begin() + rowBytes, gConsole.chars.end(), gConsole.chars.begin());
  std::copy(gConsole.attrs.begin() + rowBytes, gConsole.attrs.end(), gConsole.attrs.begin());
  std::fill(gConsole.chars.end() - rowBytes, gConsole.chars.end(), ' ');
  std::fill(gConsole.attrs.end() - rowBytes, gConsole.attrs.end(), TextAttribute);

  const auto& cells = gConsole.cells;
  const platform::Rect windowRect = platform::GetWindowRect(gConsole.window);
  if (gConsole.settings.blitScroll && platform::IsActiveWindow(gConsole.window) &&
      windowRect.bottom < platform::GetScreenSize().height - 32) {
    platform::CopyClientRect({0, cells.height, ScreenColumns * cells.width, ScreenRows * cells.height}, 0, 0);
    platform::FillRect({0, (ScreenRows - 1) * cells.height, ScreenColumns * cells.width, ScreenRows * cells.height},
                       PaletteColour(TextAttribute >> 4));
  } else {
    platform::InvalidateRect(gConsole.window, nullptr, false);
  }
  platform::UpdateWindow(gConsole.window);
}

void DrawZoom(int x, int y) {
  const int f = std::max(1, gConsole.settings.magnifierFactor);
  const int width = gConsole.clientSize.width, height = gConsole.clientSize.height;
  const int left = std::max(0, x - x / f), top = std::max(0, y - y / f);
  platform::StretchSnapshot({left, top, left + width / f, top + height / f}, {0, 0, width, height});
}

void EndOfProgramStep() {
  if (gConsole.window == 0 || !platform::IsWindow(gConsole.window)) return;
  platform::SetWindowText(gConsole.window, "Programa terminado");
  platform::EnableCloseCommand(gConsole.window);
  detail::SetBreakCheck(false);
  platform::SetWindowProc(gConsole.window, nullptr);
}

intptr_t ConsoleWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  using namespace platform;
  intptr_t result = 0;
  if (detail::HandleKeyboardMessage(message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_CREATE:
      gConsole.chars.assign(ScreenColumns * ScreenRows, ' ');
      gConsole.attrs.assign(ScreenColumns * ScreenRows, TextAttribute);
      gConsole.window = hwnd;
      detail::ResetBraille();
      return 0;
    case WM_DESTROY:
      gConsole.chars.clear();
      gConsole.attrs.clear();
      gConsole.cursorX = gConsole.cursorY = gConsole.focusRow = 0;
      PostQuitMessage(0);
      gConsole.window = 0;
      return 0;
    case WM_PAINT: Paint(); return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MinMaxInfo*>(lParam);
      const FontMetrics font = GetFontMetrics();
      const int cellWidth = font.averageWidth, cellHeight = font.height + font.externalLeading;
      const SystemMetrics metrics = GetSystemMetrics();
      const Size screen = GetScreenSize();
      info->maxSize = {
          std::min(ScreenColumns * cellWidth, screen.width) + 2 * metrics.frameWidth,
          std::min(metrics.captionHeight + ScreenRows * cellHeight, screen.height) + 2 * metrics.frameHeight};
      info->maxTrackSize = info->maxSize;
      info->minTrackSize = {2 * metrics.frameWidth + 16 * cellWidth,
                            2 * metrics.frameHeight + 4 * cellHeight + metrics.captionHeight};
      return 0;
    }
    case WM_RBUTTONDOWN:
      if (!gConsole.magnifierActive && CanMagnify()) {
        gConsole.magnifierActive = true;
        SnapshotClient(gConsole.clientSize);
        DrawZoom(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      }
      return 0;
    case WM_MOUSEMOVE:
      if (gConsole.magnifierActive) {
        DrawZoom(static_cast<int>(lParam & 0xFFFF), static_cast<int>((lParam >> 16) & 0xFFFF));
      }
      return 0;
    case WM_RBUTTONUP:
      if (gConsole.magnifierActive) {
        gConsole.magnifierActive = false;
        FreeSnapshot();
        InvalidateRect(hwnd, nullptr, true);
      }
      return 0;
    case WM_CLOSE: CloseConsole();
    case platform::WM_APP_BRAILLE:
      HandleBrailleCommand(static_cast<platform::BrailleCommand>(wParam), lParam);
      return 0;
    case WM_APP_NOTICE:
      while (const auto notice = TakeNotice()) SpeakNotice(*notice);
      return 0;
    case MM_WOM_DONE:
      if (gConsole.waveDoneEnabled && gConsole.waveDone) {
        gConsole.waveDone(wParam, lParam);
        return 0;
      }
      return DefWindowProc(hwnd, message, wParam, lParam);
    default: return DefWindowProc(hwnd, message, wParam, lParam);
  }
}

void LoadConsoleSettings() {
  Settings s;
  s.colourMap = IdentityMap();
  int background = 0, foreground = 7;

  if (const std::string v = ReadKey("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"); !v.empty()) {
    std::string rest = v + ",";
    for (std::size_t entry = 0; entry < s.colourMap.size(); ++entry) {
      const std::size_t comma = rest.find(',');
      if (comma == std::string::npos) break;
      const auto value = ParseDecimal(std::string_view(rest).substr(0, comma));
      if (!value) break;
      s.colourMap[entry] = static_cast<uint8_t>(*value & 0xFF);
      rest.erase(0, comma + 1);
    }
  }
  if (const std::string v = ReadKey("VIDEO", "CORESFIXAS", "N"); !v.empty()) s.fixedColours = StartsWithS(v);
  if (const std::string v = ReadKey("VIDEO", "LENTO", "N"); !v.empty()) s.blitScroll = StartsWithS(v);
  // A value that is not a number counts as its default, so a damaged file still shows text.
  if (const std::string v = ReadKey("VIDEO", "CORFUNDO", "0"); !v.empty()) {
    background = static_cast<int>(ParseDecimal(v).value_or(0));
  }
  if (const std::string v = ReadKey("VIDEO", "CORLETRA", "15"); !v.empty()) {
    foreground = static_cast<int>(ParseDecimal(v).value_or(15));
  }
  // Kept to 8 bits in unsigned arithmetic, which cannot overflow for any value read.
  TextAttribute =
      static_cast<uint8_t>((static_cast<unsigned>(background) * 16u + static_cast<unsigned>(foreground)) & 0xFFu);
  if (const std::string v = ReadKey("BRAILLE", "MODO", "0"); !v.empty()) {
    s.brailleMode = static_cast<uint8_t>(v[0]) & 3;
  }
  if (const std::string v = ReadKey("VIDEO", "AMPLIF", "2", 2); !v.empty()) {
    s.magnifierFactor = static_cast<uint8_t>(v[0]) & 7;
  }
  if (const std::string v = ReadKey("VIDEO", "FONTE", "Lucida Console"); !v.empty()) s.font.face = v;

  const platform::Rect workArea = platform::GetWorkArea();
  const auto computedWidth = static_cast<int>(static_cast<double>(workArea.right - workArea.left) / 1024.0 * 13.0);
  const auto computedHeight = static_cast<int>(static_cast<double>(workArea.bottom - workArea.top) / 734.0 * 28.0);
  s.font.width = static_cast<int>(ParseDecimal(ReadKey("VIDEO", "LARGURALETRA", "")).value_or(computedWidth));
  s.font.height = static_cast<int>(ParseDecimal(ReadKey("VIDEO", "ALTURALETRA", "")).value_or(computedHeight));
  if (s.font.width < 0 || s.font.width > 1000) s.font.width = computedWidth;
  if (s.font.height < 0 || s.font.height > 1000) s.font.height = computedHeight;
  if (const std::string v = ReadKey("VIDEO", "PESOLETRA", "700"); !v.empty()) {
    s.font.weight = static_cast<int>(ParseDecimal(v).value_or(700));
  }
  if (const std::string v = ReadKey("VIDEO", "CANTOTELA", "SIM"); !v.empty()) s.maximized = !StartsWithS(v);
  gConsole.settings = s;
}

}  // namespace

// ---- start-up and the window ----

void InitConsole(std::string_view programPath) {
  gConsole.caption = std::string(programPath.substr(0, 79));
  gConsole.settings = Settings{};
  gConsole.settings.colourMap = IdentityMap();
  platform::AddExitStep(EndOfProgramStep);
}

void EnsureConsoleWindow() {
  if (gConsole.window != 0) return;
  LoadConsoleSettings();
  platform::CreateConsoleFont(gConsole.settings.font);
  const platform::FontMetrics font = platform::GetFontMetrics();
  gConsole.cells = {std::max(1, font.averageWidth), std::max(1, font.height + font.externalLeading), font.ascent,
                    font.overhang};
  const platform::SystemMetrics metrics = platform::GetSystemMetrics();
  const platform::Size outer{2 * metrics.frameWidth + ScreenColumns * gConsole.cells.width,
                             2 * metrics.frameHeight + ScreenRows * gConsole.cells.height + metrics.captionHeight};
  gConsole.clientSize = {ScreenColumns * gConsole.cells.width, ScreenRows * gConsole.cells.height};
  if (platform::CreateAppWindow(ConsoleWindowProc, gConsole.caption, outer) == 0) {
    std::fputs("quelvar: the console window cannot be created\n", stderr);
    platform::ExitProgram(1);
  }
  platform::ShowWindow(gConsole.window, gConsole.settings.maximized);
  platform::UpdateWindow(gConsole.window);
  if (platform::BrailleDisplay* display = platform::CurrentBrailleDisplay()) {
    display->Attach(platform::CurrentBackend().NativeWindowId());
  }
  SetStartingBrailleMode(gConsole.settings.brailleMode);
}

// ---- writing ----

void WriteChars(std::string_view bytes) {
  EnsureConsoleWindow();
  gConsole.spanFrom = gConsole.spanTo = gConsole.cursorX;
  for (const char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    switch (byte) {
      case 7: platform::MessageBeep(); break;
      case 8:
        if (gConsole.cursorX > 0) {
          --gConsole.cursorX;
          StoreCell(gConsole.cursorX, gConsole.cursorY, ' ');
          WidenSpan(gConsole.cursorX);
          gConsole.focusRow = gConsole.cursorY;
        }
        break;
      case 10:
        NextRow();
        gConsole.cursorX = 0;
        break;
      case 13: gConsole.cursorX = 0; break;
      default:
        if (byte < 32) break;  // other control codes are dropped
        if (gConsole.cursorX >= ScreenColumns) {
          gConsole.cursorX = 0;
          NextRow();
        }
        StoreCell(gConsole.cursorX, gConsole.cursorY, byte);
        WidenSpan(gConsole.cursorX);
        gConsole.focusRow = gConsole.cursorY;
        ++gConsole.cursorX;
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
  WriteChars(text);
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
  std::fill(gConsole.chars.begin(), gConsole.chars.end(), ' ');
  std::fill(gConsole.attrs.begin(), gConsole.attrs.end(), TextAttribute);
  gConsole.cursorX = gConsole.cursorY = gConsole.focusRow = 0;
  platform::InvalidateRect(gConsole.window, nullptr, false);
  platform::UpdateWindow(gConsole.window);
}

void ClearToLineEnd() {
  EnsureConsoleWindow();
  const int column = std::min(gConsole.cursorX, ScreenColumns);
  for (int x = column; x < ScreenColumns; ++x) StoreCell(x, gConsole.cursorY, ' ');
  PaintRowSpan(column, ScreenColumns, gConsole.cursorY);
}

void MoveCursor(int column, int row) {
  gConsole.cursorX = std::clamp(column - 1, 0, ScreenColumns - 1);
  gConsole.cursorY = std::clamp(row - 1, 0, ScreenRows - 1);
  gConsole.focusRow = gConsole.cursorY;
}

int CursorColumn() { return gConsole.cursorX + 1; }
int CursorRow() { return gConsole.cursorY + 1; }

void SetBackgroundColour(int index) {
  EnsureConsoleWindow();
  if (gConsole.settings.fixedColours) return;
  TextAttribute = static_cast<uint8_t>(((TextAttribute & 0x0F) | (index * 16)) & 0xFF);
}

uint8_t ScreenCharAt(int column, int row) {
  if (gConsole.chars.empty()) return ' ';
  return gConsole.chars[static_cast<std::size_t>((row - 1) * ScreenColumns + (column - 1))];
}

uint8_t ScreenAttrAt(int column, int row) {
  if (gConsole.attrs.empty()) return TextAttribute;
  return gConsole.attrs[static_cast<std::size_t>((row - 1) * ScreenColumns + (column - 1))];
}

// ---- clipboard ----

void CopyToClipboard(std::string_view text) {
  if (!platform::ClipboardAvailable()) return;
  const std::size_t terminator = text.find('\0');
  platform::ClipboardSetText(text.substr(0, terminator));
}

void PasteFromClipboard(char* buffer, std::size_t size) {
  if (size == 0 || !platform::ClipboardAvailable()) return;
  const auto text = platform::ClipboardGetText();
  if (!text) {
    buffer[0] = '\0';
    return;
  }
  const std::size_t copied = std::min(size, text->size() + 1);
  std::copy_n(text->data(), std::min(copied, text->size()), buffer);
  buffer[copied - 1] = '\0';
}

// ---- the end ----

void SetWindowTitle(std::string_view title) {
  gConsole.caption = std::string(title);
  if (gConsole.window != 0) platform::SetWindowText(gConsole.window, title);
}

void CloseConsole(int exitCode) {
  if (gConsole.window != 0) {
    while (KeyAvailable()) WaitKey();
    platform::DeleteConsoleFont();
    platform::SetWindowProc(gConsole.window, nullptr);
    platform::DestroyWindow(gConsole.window);
    gConsole.window = 0;
  }
  platform::ExitProgram(exitCode);
}

Date CurrentDate() {
  const platform::LocalTime t = platform::GetLocalTime();
  return {static_cast<uint16_t>(t.year), static_cast<uint16_t>(t.month), static_cast<uint16_t>(t.day),
          static_cast<uint16_t>(t.weekday)};
}

Time CurrentTime() {
  const platform::LocalTime t = platform::GetLocalTime();
  return {static_cast<uint16_t>(t.hour), static_cast<uint16_t>(t.minute), static_cast<uint16_t>(t.second),
          static_cast<uint16_t>(t.millisecond / 10)};
}

void SetWaveDoneHandler(WaveDoneProc handler, bool enabled) {
  gConsole.waveDone = handler;
  gConsole.waveDoneEnabled = enabled;
}

// ---- transcript and screen dump ----

bool OpenTranscript(const std::string& path, std::string* reason) {
  return gConsole.transcript.Create(path, "the transcript", reason);
}

void CloseTranscript() { gConsole.transcript.Close(); }

void TranscriptAppend(std::string_view text) {
  if (!gConsole.transcript.Good()) return;
  std::string bytes;
  bytes.reserve(text.size());
  for (const char c : text) {
    if (c != '\r') bytes += c;
  }
  gConsole.transcript.Write(text::Cp1252ToUtf8(bytes));
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

namespace detail {

platform::Hwnd ConsoleWindow() { return gConsole.window; }
const CellMetrics& Cells() { return gConsole.cells; }
int CursorX() { return gConsole.cursorX; }
int CursorY() { return gConsole.cursorY; }
int FocusRow() { return gConsole.focusRow; }
int ConfiguredBrailleMode() { return gConsole.settings.brailleMode; }

}  // namespace detail

void ResetConsoleForTests() {
  if (gConsole.window != 0) {
    platform::SetWindowProc(gConsole.window, nullptr);
    platform::DestroyWindow(gConsole.window);
  }
  gConsole.window = 0;
  gConsole.chars.clear();
  gConsole.attrs.clear();
  gConsole.cursorX = gConsole.cursorY = gConsole.focusRow = 0;
  gConsole.magnifierActive = false;
  gConsole.settings = Settings{};
  gConsole.settings.colourMap = IdentityMap();
  gConsole.waveDone = nullptr;
  gConsole.waveDoneEnabled = false;
  TextAttribute = 0x0F;
  detail::ResetKeyboard();
  detail::ResetBraille();
}

const std::array<uint8_t, 16>& CurrentColourMap() { return gConsole.settings.colourMap; }
bool FixedColours() { return gConsole.settings.fixedColours; }
int MagnifierFactor() { return gConsole.settings.magnifierFactor; }

}  // namespace console
