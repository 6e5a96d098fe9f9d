// A terminal reports no key releases, so every key is posted as a press followed at once
// by its release: the Braille chord keyboard (keys held together) cannot work here, and
// neither can the magnifier, which needs a mouse and pixels.
#include "platform/terminal_backend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/audio_device.h"
#include "platform/real_time.h"
#include "platform/wave_out.h"
#include "text/cp1252.h"

namespace platform {
namespace {

constexpr char Escape = 0x1B;

// ---- keys ----

TerminalInput Key(int virtualKey, uint32_t modifiers, std::optional<uint8_t> character) {
  TerminalInput input;
  input.key.virtualKey = virtualKey;
  input.key.modifiers = modifiers;
  if (character) input.key.character = *character;
  return input;
}

// xterm's modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4, Meta 8).
uint32_t ModifiersOfParameter(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  uint32_t modifiers = 0;
  if (bits & 1) modifiers |= ModShift;
  if (bits & 2) modifiers |= ModAlt;
  if (bits & 4) modifiers |= ModCtrl;
  if (bits & 8) modifiers |= ModAlt;
  return modifiers;
}

// A key that carries a character: Alt keys make none, Ctrl keys make their control code.
void AppendCharacterKey(uint8_t ch, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const int virtualKey = VirtualKeyOfCharacter(ch);
  if (ch >= 'A' && ch <= 'Z') modifiers |= ModShift;
  std::optional<uint8_t> character = ch;
  if (modifiers & ModAlt)
    character.reset();
  else if (modifiers & ModCtrl)
    character = KeyCharacter(virtualKey, modifiers);
  if (virtualKey == 0 && !character) return;  // nothing the console could use
  out.push_back(Key(virtualKey, modifiers, character));
}

// A key named by its code point and modifiers, as the CSI u and modifyOtherKeys forms send it.
void AppendCodePointKey(char32_t codePoint, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const auto special = [&](int virtualKey) {
    std::optional<uint8_t> character = KeyCharacter(virtualKey, modifiers);
    if (modifiers & ModAlt) character.reset();
    out.push_back(Key(virtualKey, modifiers, character));
  };
  switch (codePoint) {
    case 13: return special(VK_RETURN);
    case 9: return special(VK_TAB);
    case 27: return special(VK_ESCAPE);
    case 8:
    case 127: return special(VK_BACK);
    default: break;
  }
  const auto byte = text::CodePointToCp1252(codePoint);
  if (!byte || *byte < 32) return;
  uint8_t ch = *byte;
  // With Ctrl the terminal may send the unshifted letter; the key is the same.
  if ((modifiers & ModCtrl) && ch >= 'A' && ch <= 'Z' && !(modifiers & ModShift)) ch = static_cast<uint8_t>(ch + 32);
  if ((modifiers & ModShift) && ch >= 'a' && ch <= 'z') ch = static_cast<uint8_t>(ch - 32);
  AppendCharacterKey(ch, modifiers, out);
}

// A single byte below 0x80 typed on its own (or after ESC, with Alt in 'modifiers').
void AppendByteKey(uint8_t byte, uint32_t modifiers, std::vector<TerminalInput>& out) {
  const bool alt = modifiers & ModAlt;
  const auto control = [&](int virtualKey, uint32_t extra, std::optional<uint8_t> character) {
    out.push_back(Key(virtualKey, modifiers | extra, alt ? std::nullopt : character));
  };
  switch (byte) {
    case 0x7F: return control(VK_BACK, 0, 8);
    case 0x08: return control(VK_BACK, ModCtrl, 8);  // Ctrl+Backspace on most terminals
    case 0x09: return control(VK_TAB, 0, 9);
    case 0x0D: return control(VK_RETURN, 0, 13);
    case 0x0A: return control('J', ModCtrl, 10);
    case 0x1B: return control(VK_ESCAPE, 0, 27);
    case 0x00: return control(VK_SPACE, ModCtrl, ' ');
    case 0x1C: return control(0xDC, ModCtrl, 28);
    case 0x1D: return control(0xDD, ModCtrl, 29);
    case 0x1E: return control('6', ModCtrl | ModShift, 30);
    case 0x1F: return control(0xBD, ModCtrl, 31);
    default: break;
  }
  if (byte < 0x20) return control('A' + byte - 1, ModCtrl, byte);
  AppendCharacterKey(byte, modifiers, out);
}

enum class Step { Done, NeedMore };

// Decodes the UTF-8 character (or stray byte) at bytes[at]; 'used' gets its length.
Step DecodeCharacter(std::string_view bytes, std::size_t at, bool atEnd, uint32_t modifiers, std::size_t& used,
                     std::vector<TerminalInput>& out) {
  const auto lead = static_cast<uint8_t>(bytes[at]);
  if (lead < 0x80) {
    used = 1;
    AppendByteKey(lead, modifiers, out);
    return Step::Done;
  }
  const std::size_t length = text::Utf8SequenceLength(lead);
  std::size_t have = 1;
  while (length > 0 && have < length && at + have < bytes.size() &&
         text::IsUtf8Continuation(static_cast<uint8_t>(bytes[at + have]))) {
    ++have;
  }
  if (length > 0 && have < length && at + have == bytes.size() && !atEnd) return Step::NeedMore;
  const text::Utf8Character character = text::DecodeUtf8At(bytes, at);
  if (character.length == 0) {
    used = 1;  // not UTF-8: the byte stands for itself
    AppendCharacterKey(lead, modifiers, out);
    return Step::Done;
  }
  used = character.length;
  // A character without a Windows-1252 byte types nothing.
  if (const auto byte = text::CodePointToCp1252(character.codePoint)) AppendCharacterKey(*byte, modifiers, out);
  return Step::Done;
}

struct Sequence {
  std::vector<int> parameters;
  bool privateMarker = false;
  char final = 0;
};

int Parameter(const Sequence& sequence, std::size_t index, int fallback) {
  return index < sequence.parameters.size() && sequence.parameters[index] >= 0 ? sequence.parameters[index] : fallback;
}

// Parses the parameters and final byte of a CSI or SS3 body starting at bytes[at].
// Returns the index after the final byte, 0 when the bytes end first, and sets 'broken'
// when a byte that cannot be in a sequence comes first (the sequence ends before it).
std::size_t ParseSequence(std::string_view bytes, std::size_t at, Sequence& sequence, bool& broken) {
  broken = false;
  int current = -1;
  bool inSubParameter = false;
  for (std::size_t i = at; i < bytes.size(); ++i) {
    const auto c = static_cast<uint8_t>(bytes[i]);
    if (c >= '0' && c <= '9') {
      if (!inSubParameter) current = std::min(std::max(current, 0) * 10 + (c - '0'), 100000);
    } else if (c == ';') {
      sequence.parameters.push_back(current);
      current = -1;
      inSubParameter = false;
    } else if (c == ':') {
      inSubParameter = true;  // kitty's sub-parameters (alternate keys): the first value counts
    } else if (c >= 0x3C && c <= 0x3F) {
      sequence.privateMarker = true;
    } else if (c >= 0x20 && c <= 0x2F) {
      // intermediate bytes: none of the keys we know use them
    } else if (c >= 0x40 && c <= 0x7E) {
      sequence.parameters.push_back(current);
      sequence.final = static_cast<char>(c);
      return i + 1;
    } else {
      broken = true;
      return i;
    }
  }
  return 0;
}

int FunctionKey(int number) { return VK_F1 + number - 1; }

// The virtual key of a final byte that CSI and SS3 sequences share (cursor keys, Home,
// End, F1-F4); 0 for any other.
int CursorOrFunctionKey(char final) {
  switch (final) {
    case 'A': return VK_UP;
    case 'B': return VK_DOWN;
    case 'C': return VK_RIGHT;
    case 'D': return VK_LEFT;
    case 'H': return VK_HOME;
    case 'F': return VK_END;
    case 'P': return VK_F1;
    case 'Q': return FunctionKey(2);
    case 'R': return FunctionKey(3);
    case 'S': return FunctionKey(4);
    default: return 0;
  }
}

// The key of a complete CSI sequence (nothing for sequences we do not know).
void AppendCsiKey(const Sequence& s, std::vector<TerminalInput>& out) {
  if (s.privateMarker) return;  // replies and mouse reports, not keys
  const uint32_t modifiers = ModifiersOfParameter(Parameter(s, 1, 1));
  const auto key = [&](int virtualKey) { out.push_back(Key(virtualKey, modifiers, std::nullopt)); };
  if (const int shared = CursorOrFunctionKey(s.final)) return key(shared);
  switch (s.final) {
    case 'Z': out.push_back(Key(VK_TAB, ModShift, 9)); return;
    case 'I':
      if (s.parameters.size() == 1 && s.parameters[0] < 0) out.push_back({TerminalInput::Kind::FocusIn, {}});
      return;
    case 'O':
      if (s.parameters.size() == 1 && s.parameters[0] < 0) out.push_back({TerminalInput::Kind::FocusOut, {}});
      return;
    case 'u': return AppendCodePointKey(static_cast<char32_t>(Parameter(s, 0, 0)), modifiers, out);
    case '~': break;
    default: return;
  }
  switch (Parameter(s, 0, 0)) {
    case 1:
    case 7: return key(VK_HOME);
    case 2: return key(VK_INSERT);
    case 3: return key(VK_DELETE);
    case 4:
    case 8: return key(VK_END);
    case 5: return key(VK_PRIOR);
    case 6: return key(VK_NEXT);
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: return key(FunctionKey(Parameter(s, 0, 0) - 10));
    case 17:
    case 18:
    case 19:
    case 20:
    case 21: return key(FunctionKey(Parameter(s, 0, 0) - 11));
    case 23:
    case 24: return key(FunctionKey(Parameter(s, 0, 0) - 12));
    case 27:  // xterm's modifyOtherKeys: CSI 27 ; modifiers ; code ~
      return AppendCodePointKey(static_cast<char32_t>(Parameter(s, 2, 0)), modifiers, out);
    default: return;
  }
}

// The key of a complete SS3 sequence (ESC O x): cursor keys in application mode, F1-F4.
void AppendSs3Key(const Sequence& s, std::vector<TerminalInput>& out) {
  const uint32_t modifiers = ModifiersOfParameter(Parameter(s, s.parameters.size() > 1 ? 1 : 0, 1));
  if (const int shared = CursorOrFunctionKey(s.final)) {
    out.push_back(Key(shared, modifiers, std::nullopt));
    return;
  }
  switch (s.final) {
    case 'M': out.push_back(Key(VK_RETURN, modifiers, KeyCharacter(VK_RETURN, modifiers))); return;
    default: return;
  }
}

// Decodes the escape sequence or Alt key at bytes[at] (an ESC).
Step DecodeEscape(std::string_view bytes, std::size_t at, bool atEnd, std::size_t& used,
                  std::vector<TerminalInput>& out) {
  if (at + 1 >= bytes.size()) {
    if (!atEnd) return Step::NeedMore;
    used = 1;
    AppendByteKey(Escape, 0, out);
    return Step::Done;
  }
  const char introducer = bytes[at + 1];
  if (introducer == Escape) {  // Esc pressed twice: the first is a plain Esc
    used = 1;
    AppendByteKey(Escape, 0, out);
    return Step::Done;
  }
  if (introducer == '[' || introducer == 'O') {
    if (at + 2 >= bytes.size()) {
      if (!atEnd) return Step::NeedMore;
      used = 2;
      if (introducer == 'O') AppendCharacterKey('O', ModAlt, out);  // Alt+Shift+O
      return Step::Done;
    }
    // The Linux console's F1-F5: ESC [ [ A..E.
    if (introducer == '[' && bytes[at + 2] == '[') {
      if (at + 3 >= bytes.size()) {
        if (!atEnd) return Step::NeedMore;
        used = 3;
        return Step::Done;
      }
      const char letter = bytes[at + 3];
      if (letter >= 'A' && letter <= 'E') out.push_back(Key(FunctionKey(letter - 'A' + 1), 0, std::nullopt));
      used = 4;
      return Step::Done;
    }
    Sequence sequence;
    bool broken = false;
    const std::size_t end = ParseSequence(bytes, at + 2, sequence, broken);
    if (broken) {
      used = end - at;  // drop what was read; the odd byte is decoded on its own
      return Step::Done;
    }
    if (end == 0) {
      if (!atEnd) return Step::NeedMore;
      used = bytes.size() - at;  // a sequence cut short for good
      return Step::Done;
    }
    used = end - at;
    if (introducer == '[')
      AppendCsiKey(sequence, out);
    else
      AppendSs3Key(sequence, out);
    return Step::Done;
  }
  std::size_t length = 0;
  if (DecodeCharacter(bytes, at + 1, atEnd, ModAlt, length, out) == Step::NeedMore) return Step::NeedMore;
  used = 1 + length;
  return Step::Done;
}

}  // namespace

std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t used = 0;
    const Step step = bytes[at] == Escape ? DecodeEscape(bytes, at, atEnd, used, out)
                                          : DecodeCharacter(bytes, at, atEnd, 0, used, out);
    if (step == Step::NeedMore) break;
    at += used;
  }
  return at;
}

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

std::string RenderGridDiff(const TerminalGrid* shown, const TerminalGrid& wanted, int visibleColumns, int visibleRows) {
  std::string out;
  const int columns = std::min(wanted.width, visibleColumns);
  const int rows = std::min(wanted.height, visibleRows);
  std::optional<Rgb> foreground, background;
  int cursorX = -1, cursorY = -1;  // unknown
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < columns; ++x) {
      const TerminalCell& cell = wanted.At(x, y);
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

// ---- the backend ----

namespace {

// What the signal handlers need to put the terminal back; set while raw mode is on.
// The restore string is written with write(2) and the settings with tcsetattr(3), both
// safe inside a signal handler.
constexpr char RestoreSequence[] =
    "\x1b[>4;0m"       // modifyOtherKeys off
    "\x1b[?1004l"      // no focus reports
    "\x1b[0m\x1b[0 q"  // plain colours, the user's cursor shape
    "\x1b[?7h"         // line wrap back on
    "\x1b[?25h"        // cursor visible
    "\x1b[?1049l"      // back to the normal screen
    "\x1b[23;0t";      // the title the terminal had before
volatile sig_atomic_t gRawActive = 0;
int gTerminalFd = -1;
struct termios gSavedSettings;
volatile sig_atomic_t gResized = 0;
int gWakeWriteFd = -1;

void RestoreTerminal() {
  if (!gRawActive) return;
  gRawActive = 0;
  ssize_t ignored = write(STDOUT_FILENO, RestoreSequence, sizeof RestoreSequence - 1);
  (void)ignored;
  tcsetattr(gTerminalFd, TCSAFLUSH, &gSavedSettings);
}

void OnFatalSignal(int signal) {
  RestoreTerminal();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void OnResize(int) {
  gResized = 1;
  if (gWakeWriteFd >= 0) {
    const char byte = 0;
    ssize_t ignored = write(gWakeWriteFd, &byte, 1);
    (void)ignored;
  }
}

constexpr int EscapeTimeoutMs = 50;
constexpr uint64_t FrameMs = 16;  // presents that need not be at once: at most about 60 a second

class TerminalBackend : public RealTimeBackend {
 public:
  TerminalBackend() : grid_(ConsoleColumns, ConsoleRows) {}
  ~TerminalBackend() override {
    RestoreTerminal();
    std::signal(SIGWINCH, SIG_DFL);
    gWakeWriteFd = -1;
    for (const int fd : wakePipe_) {
      if (fd >= 0) close(fd);
    }
    CloseSharedAudio();
  }

  bool Start(std::string& error) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
      error = "standard input and output must be a terminal";
      return false;
    }
    // Sound first: audio libraries may complain on standard error, which then lands on the
    // user's own screen rather than inside the console's.
    OpenSound();
    if (tcgetattr(STDIN_FILENO, &gSavedSettings) != 0) {
      error = std::string("cannot read the terminal settings: ") + std::strerror(errno);
      return false;
    }
    if (pipe(wakePipe_) != 0) {
      error = std::string("cannot make a pipe: ") + std::strerror(errno);
      return false;
    }
    for (const int fd : wakePipe_) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    gWakeWriteFd = wakePipe_[1];
    gTerminalFd = STDIN_FILENO;

    struct termios raw = gSavedSettings;
    raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INLCR | IGNCR | ISTRIP | IXON | INPCK | PARMRK);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::signal(signal, OnFatalSignal);
    std::signal(SIGWINCH, OnResize);
    gRawActive = 1;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) {
      gRawActive = 0;
      error = std::string("cannot put the terminal in raw mode: ") + std::strerror(errno);
      return false;
    }
    AddExitStep(RestoreTerminal);

    std::string setup =
        "\x1b[22;0t"   // keep the terminal's title, to give it back at the end
        "\x1b[?1049h"  // the alternate screen: the user's scrollback stays as it was
        "\x1b[?7l"     // no line wrap: the bottom-right cell must not scroll the screen
        "\x1b[?25l"    // the cursor shows only as the caret
        "\x1b[4 q"     // an underline cursor, like the console's caret
        "\x1b[?1004h"  // focus reports, where the terminal has them
        "\x1b[0m\x1b[2J";
    const char* term = std::getenv("TERM");
    if (term && (std::strstr(term, "xterm") || std::strstr(term, "tmux") || std::strstr(term, "screen") ||
                 std::strstr(term, "kitty") || std::strstr(term, "foot"))) {
      setup += "\x1b[>4;1m";  // modifyOtherKeys: tells Ctrl+Enter from Enter
    }
    Write(setup);
    QuerySize();
    return true;
  }

  const char* Name() const override { return "terminal"; }
  bool ReportsKeyReleases() override { return false; }

  void PollEvents() override {
    ReadInput(0);
    FinishPendingEscape();
    if (gResized) {
      gResized = 0;
      QuerySize();
      fullRedraw_ = true;
      dirty_ = true;
    }
    if (dirty_ && NowMs() >= lastPresentMs_ + FrameMs) Show();
  }

  void WaitEvents(int timeoutMs) override {
    if (dirty_) Show();
    int wait = timeoutMs;
    if (!pending_.empty()) {
      const auto left = static_cast<int>(std::max<int64_t>(
          0, static_cast<int64_t>(pendingSinceMs_ + EscapeTimeoutMs) - static_cast<int64_t>(NowMs())));
      wait = wait < 0 ? left : std::min(wait, left);
    }
    ReadInput(wait);
    PollEvents();
  }

  void Wake() override {
    const char byte = 0;
    ssize_t ignored = write(wakePipe_[1], &byte, 1);
    (void)ignored;
  }

  // The console asks for a window as large as its text; a smaller terminal still gets
  // the whole screen drawn into its visible part.
  Rect WorkArea() override { return {0, 0, std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  Size ScreenSize() override { return {std::max(columns_, ConsoleColumns), std::max(rows_, ConsoleRows)}; }
  SystemMetrics Metrics() override { return {}; }
  bool CreateFont(const FontRequest&) override { return true; }
  FontMetrics MeasureFont() override { return {1, 1, 0, 0, 0}; }

  bool OpenWindow(std::string_view title, Size) override {
    grid_ = TerminalGrid(ConsoleColumns, ConsoleRows);
    for (auto& cell : grid_.cells) cell = TerminalCell{' ', {}, {}};
    fullRedraw_ = dirty_ = true;
    SetTitle(title);
    return true;
  }
  void CloseWindow() override {}
  void SetTitle(std::string_view cp1252) override {
    std::string title;
    for (const char c : cp1252) {
      const auto byte = static_cast<uint8_t>(c);
      if (byte >= 0x20 && byte != 0x7F) title += c;  // no control bytes inside the OSC
    }
    Write("\x1b]0;" + text::Cp1252ToUtf8(title) + "\x07");
  }
  bool IsActive() override { return focus_; }
  bool HasFocus() override { return focus_; }
  Rect WindowRect() override { return {0, 0, ConsoleColumns, ConsoleRows}; }

  void DrawText(int x, int y, std::string_view cp1252, Rgb foreground, Rgb background) override {
    if (y < 0 || y >= grid_.height) return;
    for (std::size_t i = 0; i < cp1252.size(); ++i) {
      const int column = x + static_cast<int>(i);
      if (column < 0 || column >= grid_.width) continue;
      grid_.At(column, y) = {static_cast<uint8_t>(cp1252[i]), foreground, background};
    }
    dirty_ = true;
  }
  void Fill(const Rect& rect, Rgb colour) override {
    for (int y = std::max(0, rect.top); y < std::min(grid_.height, rect.bottom); ++y) {
      for (int x = std::max(0, rect.left); x < std::min(grid_.width, rect.right); ++x)
        grid_.At(x, y) = {' ', colour, colour};
    }
    dirty_ = true;
  }
  void Copy(const Rect& source, int destX, int destY) override {
    const TerminalGrid before = grid_;
    for (int y = source.top; y < source.bottom; ++y) {
      for (int x = source.left; x < source.right; ++x) {
        const int tx = destX + (x - source.left), ty = destY + (y - source.top);
        if (x < 0 || y < 0 || x >= grid_.width || y >= grid_.height || tx < 0 || ty < 0 || tx >= grid_.width ||
            ty >= grid_.height) {
          continue;
        }
        grid_.At(tx, ty) = before.At(x, y);
      }
    }
    dirty_ = true;
  }
  void Present(bool urgent) override {
    if (!dirty_) return;
    if (!urgent && NowMs() < lastPresentMs_ + FrameMs) return;  // shown by a later poll
    Show();
  }
  void Caret(bool visible, int x, int y, int, int) override {
    if (visible == caretVisible_ && x == caretX_ && y == caretY_) return;
    caretVisible_ = visible;
    caretX_ = x;
    caretY_ = y;
    dirty_ = true;
  }

  // Without a sound device the terminal's own bell.
  void Beep() override {
    if (HasSound())
      RealTimeBackend::Beep();
    else
      Write("\x07");
  }

 private:
  void Write(std::string_view bytes) {
    // Once the terminal is given back (an exit step, or a signal) nothing more is drawn:
    // it would land on the user's own screen.
    if (!gRawActive) return;
    while (!bytes.empty()) {
      const ssize_t written = write(STDOUT_FILENO, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;  // the terminal is gone; reading will notice and close
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }

  void QuerySize() {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
      columns_ = size.ws_col;
      rows_ = size.ws_row;
    }
  }

  void Show() {
    // A terminal smaller than the console shows what it needs instead of a cut screen, and
    // says it once each time it becomes too small.
    if (columns_ < ConsoleColumns || rows_ < ConsoleRows) {
      if (!tooSmall_ || fullRedraw_) Write("\x1b[?25l" + RenderSizeNotice(columns_, rows_));
      if (!tooSmall_) PostNotice(SizeNoticeText(columns_, rows_));
      tooSmall_ = true;
      fullRedraw_ = dirty_ = false;
      lastPresentMs_ = NowMs();
      return;
    }
    if (tooSmall_) {
      tooSmall_ = false;
      fullRedraw_ = true;
    }
    std::string out = "\x1b[?25l";
    if (fullRedraw_) out += "\x1b[0m\x1b[2J";
    out += RenderGridDiff(fullRedraw_ ? nullptr : &shown_, grid_, columns_, rows_);
    if (caretVisible_ && caretX_ >= 0 && caretY_ >= 0 && caretX_ < std::min(columns_, ConsoleColumns) &&
        caretY_ < std::min(rows_, ConsoleRows)) {
      out += "\x1b[" + std::to_string(caretY_ + 1) + ";" + std::to_string(caretX_ + 1) + "H\x1b[?25h";
    }
    Write(out);
    shown_ = grid_;
    fullRedraw_ = false;
    dirty_ = false;
    lastPresentMs_ = NowMs();
  }

  // Reads what the terminal sent, waiting up to timeoutMs (-1: no limit) for the first byte.
  void ReadInput(int timeoutMs) {
    // Once the terminal has gone, only the wake pipe is watched (poll skips a negative fd).
    struct pollfd fds[2] = {{gone_ ? -1 : STDIN_FILENO, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int wait = timeoutMs;
    for (;;) {
      const int ready = poll(fds, 2, wait);
      if (ready <= 0) return;
      if (fds[1].revents & POLLIN) {
        char drain[64];
        while (read(wakePipe_[0], drain, sizeof drain) > 0) {
        }
      }
      if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
          if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
          TerminalGone();
          return;
        }
        if (pending_.empty()) pendingSinceMs_ = NowMs();
        pending_.append(buffer, static_cast<std::size_t>(got));
        Decode(false);
      }
      wait = 0;  // take whatever else is there, without waiting again
      if (!(fds[0].revents & POLLIN)) return;
    }
  }

  void FinishPendingEscape() {
    if (!pending_.empty() && NowMs() >= pendingSinceMs_ + EscapeTimeoutMs) Decode(true);
  }

  void Decode(bool atEnd) {
    std::vector<TerminalInput> inputs;
    const std::size_t used = DecodeTerminalInput(pending_, atEnd, inputs);
    pending_.erase(0, used);
    if (!pending_.empty()) pendingSinceMs_ = NowMs();
    for (const TerminalInput& input : inputs) {
      switch (input.kind) {
        case TerminalInput::Kind::Key: PostKeyEvent(input.key, true); break;
        case TerminalInput::Kind::FocusIn:
          if (!focus_) PostMessage(ConsoleWindowHandle, WM_SETFOCUS);
          focus_ = true;
          break;
        case TerminalInput::Kind::FocusOut:
          if (focus_) PostMessage(ConsoleWindowHandle, WM_KILLFOCUS);
          focus_ = false;
          break;
      }
    }
  }

  void TerminalGone() {
    if (gone_) return;
    gone_ = true;
    PostMessage(ConsoleWindowHandle, WM_CLOSE);
  }

  TerminalGrid grid_, shown_;
  bool dirty_ = false, fullRedraw_ = true;
  bool tooSmall_ = false;  // the size notice is on the screen instead of the console
  bool caretVisible_ = false;
  int caretX_ = 0, caretY_ = 0;
  int columns_ = ConsoleColumns, rows_ = ConsoleRows;
  bool focus_ = true, gone_ = false;
  std::string pending_;  // input bytes not decoded yet
  uint64_t pendingSinceMs_ = 0;
  uint64_t lastPresentMs_ = 0;
  int wakePipe_[2] = {-1, -1};
};

}  // namespace

std::unique_ptr<Backend> CreateTerminalBackend(std::string& error) {
  auto backend = std::make_unique<TerminalBackend>();
  if (!backend->Start(error)) return nullptr;
  return backend;
}

}  // namespace platform
