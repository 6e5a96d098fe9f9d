#include "console/keyboard.h"

#include <array>
#include <deque>
#include <vector>

#include "console/braille.h"
#include "console/console_internal.h"
#include "console/key_codes.h"
#include "console/screen.h"
#include "platform/backend.h"
#include "text/wave.h"

namespace console {
namespace {

using namespace platform;
namespace ext = keycode::ext;

struct ExtendedKey {
  int virtualKey;
  uint8_t code;
  uint8_t ctrlCode;
};

constexpr std::array<ExtendedKey, 22> ExtendedKeyTable = {{
    {VK_F1, ext::F1, ext::CtrlF1},          {VK_F1 + 1, ext::F2, ext::CtrlF2},     {VK_F1 + 2, ext::F3, ext::CtrlF3},
    {VK_F1 + 3, ext::F4, ext::CtrlF4},      {VK_F1 + 4, ext::F5, ext::CtrlF5},     {VK_F1 + 5, ext::F6, ext::CtrlF6},
    {VK_F1 + 6, ext::F7, ext::CtrlF7},      {VK_F1 + 7, ext::F8, ext::CtrlF8},     {VK_F1 + 8, ext::F9, ext::CtrlF9},
    {VK_F10, ext::F10, ext::CtrlF10},       {VK_F11, ext::F11, ext::CtrlF11},      {VK_F12, ext::F12, ext::CtrlF12},
    {VK_INSERT, ext::Insert, ext::Copy},    {VK_DELETE, ext::Delete, ext::Delete}, {VK_HOME, ext::Home, ext::CtrlHome},
    {VK_END, ext::End, ext::CtrlEnd},       {VK_PRIOR, ext::PgUp, ext::CtrlPgUp},  {VK_NEXT, ext::PgDn, ext::CtrlPgDn},
    {VK_UP, ext::Up, ext::CtrlUp},          {VK_DOWN, ext::Down, ext::CtrlDown},   {VK_LEFT, ext::Left, ext::CtrlLeft},
    {VK_RIGHT, ext::Right, ext::CtrlRight},
}};

// Second codes of Alt+A .. Alt+Z and Alt+0 .. Alt+9.
constexpr std::array<uint8_t, 26> AltLetterCodes = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                                    49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
constexpr std::array<uint8_t, 10> AltDigitCodes = {129, 120, 121, 122, 123, 124, 125, 126, 127, 128};

// Characters of the six-dot patterns, bit 0 = dot 1 ... bit 5 = dot 6.
constexpr std::array<uint8_t, 64> BrailleTable = {
    ' ',  'a',  ',',  'b',  '\'', 'k', ';',  'l',   //
    '^',  'c',  'i',  'f',  0xED, 'm', 's',  'p',   //
    '~',  'e',  ':',  'h',  '*',  'o', '!',  'r',   //
    0xAC, 'd',  'j',  'g',  0xE3, 'n', 't',  'q',   //
    0xFD, 0xE2, '?',  0xEA, '-',  'u', '"',  'v',   //
    '{',  0xEE, 0xF5, 0xE0, 0xF3, 'x', 0xE8, 0xE7,  //
    '$',  0xFB, 0xFF, 0xFC, '}',  'z', '=',  0xE1,  //
    '_',  0xF4, 'w',  0xEF, '#',  'y', 0xFA, 0xE9,  //
};

constexpr uint8_t NoCharacter = 254;

struct KeyboardState {
  std::array<uint8_t, KeyQueueSize> queue{};
  int count = 0;
  bool breakCheck = true;
  bool waiting = false;
  bool caretShown = false;
  int brailleMode = 0;
  int heldBackMode = 0;  // the configured mode, until the console learns of key releases
  uint8_t chord = 0, held = 0;
  bool capitalNext = false, capsLock = false, numberMode = false;
  std::vector<uint8_t> tone;
  std::deque<ScreenPlace> routes;  // one for each BrailleRoute code in the queue
  bool extendedGiven = false;      // WaitKey last gave the Extended code
};

KeyboardState gKeys;
NoticeSpeaker gNoticeSpeaker = nullptr;
std::vector<std::string> gPendingNotices;  // said once a speaker is installed

bool QueueCode(uint8_t code) {
  if (gKeys.count >= KeyQueueSize) return false;
  gKeys.queue[static_cast<std::size_t>(gKeys.count++)] = code;
  detail::BrailleKeyTyped();
  return true;
}

// The two codes of an extended key (both or neither).
void QueueExtended(uint8_t second) {
  if (gKeys.count > KeyQueueSize - 2) return;
  QueueCode(keycode::Extended);
  QueueCode(second);
}

bool CtrlHeld() { return GetKeyState(VK_CONTROL) < 0; }
bool AltHeld() { return GetKeyState(VK_MENU) < 0; }
bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }

// The dot bit of a Braille key (F D S J K L and Space), 0 for any other key.
uint8_t DotBit(int virtualKey) {
  switch (virtualKey) {
    case 'F': return 1;
    case 'D': return 2;
    case 'S': return 4;
    case 'J': return 8;
    case 'K': return 16;
    case 'L': return 32;
    case VK_SPACE: return 64;
    default: return 0;
  }
}

void ShowCaretAtCursor() {
  const auto& cells = detail::Cells();
  CreateCaret(detail::ConsoleWindow(), cells.width, 2);
  SetCaretPos(detail::CursorX() * cells.width, detail::CursorY() * cells.height + cells.ascent);
  ShowCaret(detail::ConsoleWindow());
  gKeys.caretShown = true;
}

void HideCaret() {
  if (!gKeys.caretShown) return;
  DestroyCaret();
  gKeys.caretShown = false;
}

void PlayModeTone(int frequencyHz) {
  StartTone(frequencyHz);
  Pause(200);
  StopTone();
}

void OnCharacter(uint8_t ch) {
  if (gKeys.brailleMode != 0 && (ch == ' ' || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'))) return;
  if (gKeys.count >= KeyQueueSize) return;
  if (ch == keycode::Backspace)
    ch = CtrlHeld() ? keycode::CtrlBackspace : keycode::Backspace;
  else if (ch == keycode::Enter)
    ch = CtrlHeld() ? keycode::CtrlEnter : keycode::Enter;
  QueueCode(ch);
}

void OnKeyDown(int virtualKey) {
  if (gKeys.breakCheck && virtualKey == VK_CANCEL) {
    HideCaret();
    ExitProgram(255);
  }
  const bool ctrl = CtrlHeld();
  // Ctrl+Shift stands beside Ctrl+Alt for the Braille switches: desktops keep Ctrl+Alt+Fn
  // for changing virtual terminals, so those chords may never arrive.
  if (ctrl && (AltHeld() || ShiftHeld()) && (virtualKey == VK_F11 || virtualKey == VK_F12)) {
    if (!ReportsKeyReleases()) {
      SpeakNotice(BrailleUnavailableNotice);
      return;
    }
    SetBrailleMode(virtualKey == VK_F12 ? 0 : gKeys.brailleMode + 1);
    return;
  }
  if (AltHeld()) {
    const bool digit = virtualKey >= '0' && virtualKey <= '9';
    const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
    if (digit || letter) {
      if (gKeys.count <= KeyQueueSize - 2) {
        QueueCode(keycode::Extended);
        QueueCode(digit ? AltDigitCodes[static_cast<std::size_t>(virtualKey - '0')]
                        : AltLetterCodes[static_cast<std::size_t>(virtualKey - 'A')]);
      }
      return;
    }
  }
  if (!ctrl && gKeys.brailleMode != 0 && DotBit(virtualKey) != 0) {
    gKeys.chord |= DotBit(virtualKey);
    gKeys.held |= DotBit(virtualKey);
    return;
  }
  if (gKeys.count > KeyQueueSize - 2) return;
  for (const auto& key : ExtendedKeyTable) {
    if (key.virtualKey != virtualKey) continue;
    QueueCode(keycode::Extended);
    if (ctrl)
      QueueCode(key.ctrlCode);
    else if (virtualKey == VK_INSERT && ShiftHeld())
      QueueCode(ext::Paste);
    else
      QueueCode(key.code);
    return;
  }
}

// Mode 2's capital and number signs applied to a chord's character.
uint8_t ApplySigns(uint8_t ch) {
  if (gKeys.numberMode) {
    if (ch == '\'')
      ch = '.';
    else if (ch >= 'a' && ch <= 'i')
      ch = static_cast<uint8_t>('1' + (ch - 'a'));
    else if (ch == 'j')
      ch = '0';
    else if (ch == '~')
      gKeys.numberMode = false;
  }
  if ((gKeys.capitalNext || gKeys.capsLock) && ch >= 'a' && ch <= 'z') ch = static_cast<uint8_t>(ch - 32);
  if (ch == '#') {
    gKeys.numberMode = true;
    return NoCharacter;
  }
  if (ch == '{') {
    if (gKeys.capitalNext) gKeys.capsLock = true;
    gKeys.capitalNext = true;
    return NoCharacter;
  }
  gKeys.capitalNext = false;
  return ch;
}

// False when the message goes to default processing.
bool OnBrailleKeyUp(int virtualKey) {
  const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
  if (CtrlHeld() || !(virtualKey == VK_SPACE || letter)) {
    gKeys.numberMode = gKeys.capitalNext = gKeys.capsLock = false;
    return false;
  }
  gKeys.held = static_cast<uint8_t>(gKeys.held & ~DotBit(virtualKey));
  if (gKeys.held != 0) return true;
  uint8_t result = NoCharacter;
  if (gKeys.chord >= 64) {
    gKeys.capitalNext = gKeys.capsLock = gKeys.numberMode = false;
    result = gKeys.chord == 64 ? ' ' : static_cast<uint8_t>(BrailleTable[gKeys.chord & 63] & 31);
  } else {
    result = BrailleTable[gKeys.chord];
    if (gKeys.brailleMode == 2) result = ApplySigns(result);
  }
  if (result != NoCharacter && gKeys.count <= KeyQueueSize - 1) QueueCode(result);
  gKeys.chord = 0;
  return true;
}

}  // namespace

namespace detail {

bool HandleKeyboardMessage(uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t& result) {
  result = 0;
  const int virtualKey = static_cast<int>(wParam);
  switch (message) {
    case WM_CHAR: OnCharacter(static_cast<uint8_t>(wParam)); return true;
    case WM_SYSKEYDOWN:
      if (gKeys.breakCheck && virtualKey != VK_LEFT && virtualKey != VK_RIGHT) {
        result = DefWindowProc(ConsoleWindow(), message, wParam, lParam);
        return true;
      }
      OnKeyDown(virtualKey);
      return true;
    case WM_KEYDOWN: OnKeyDown(virtualKey); return true;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      if (gKeys.brailleMode == 0 || !OnBrailleKeyUp(virtualKey)) {
        result = DefWindowProc(ConsoleWindow(), message, wParam, lParam);
      }
      return true;
    case WM_SETFOCUS:
      if (gKeys.waiting) ShowCaretAtCursor();
      return true;
    case WM_KILLFOCUS:
      if (gKeys.waiting) HideCaret();
      return true;
    case WM_APP_KEYRELEASES:
      // A terminal that answered late: the Braille keyboard can now start as configured.
      if (gKeys.heldBackMode != 0 && gKeys.brailleMode == 0) SetBrailleMode(gKeys.heldBackMode);
      gKeys.heldBackMode = 0;
      return true;
    default: return false;
  }
}

void SetBreakCheck(bool on) { gKeys.breakCheck = on; }
bool WaitingForKey() { return gKeys.waiting; }
void DestroyCaretIfShown() { HideCaret(); }

void ResetKeyboard() {
  StopTone();
  gKeys = KeyboardState{};
}

void QueueTypedCharacter(uint8_t character) {
  if (character == NoCharacter) return;
  QueueCode(character);
}

void QueueVirtualKey(int virtualKey, bool ctrl) {
  switch (virtualKey) {
    case VK_RETURN: QueueCode(ctrl ? keycode::CtrlEnter : keycode::Enter); return;
    case VK_BACK: QueueCode(ctrl ? keycode::CtrlBackspace : keycode::Backspace); return;
    case VK_TAB: QueueCode(keycode::Tab); return;
    case VK_ESCAPE: QueueCode(keycode::Esc); return;
    default: break;
  }
  for (const auto& key : ExtendedKeyTable) {
    if (key.virtualKey == virtualKey) {
      QueueExtended(ctrl ? key.ctrlCode : key.code);
      return;
    }
  }
}

void QueueBrailleRoute(int row, int column) {
  if (gKeys.count > KeyQueueSize - 2) return;
  QueueExtended(keycode::ext::BrailleRoute);
  gKeys.routes.push_back({row, column});
}

uint8_t BrailleDotsCharacter(uint8_t dots) { return BrailleTable[dots & 63]; }

}  // namespace detail

// ---- queue ----

void PumpMessages(PumpScope scope) {
  Message message;
  const Hwnd filter = scope == PumpScope::ConsoleWindow ? detail::ConsoleWindow() : 0;
  if (scope == PumpScope::ConsoleWindow && filter == 0) return;
  while (PeekMessage(message, filter)) {
    if (message.message == WM_QUIT) {
      HideCaret();
      ExitProgram(255);
    }
    TranslateMessage(message);
    DispatchMessage(message);
  }
}

bool KeyAvailable() {
  EnsureConsoleWindow();
  PumpMessages(PumpScope::AllWindows);
  RefreshBraille();
  return gKeys.count > 0;
}

uint8_t WaitKey() {
  if (gKeys.count == 0) {
    gKeys.waiting = true;
    if (HasFocus(detail::ConsoleWindow())) ShowCaretAtCursor();
    RefreshBraille();  // what the wait is for shows before the program blocks
    do {
      WaitMessage();
    } while (!KeyAvailable());
    HideCaret();
    gKeys.waiting = false;
  }
  const uint8_t code = gKeys.queue[0];
  std::copy(gKeys.queue.begin() + 1, gKeys.queue.begin() + gKeys.count, gKeys.queue.begin());
  --gKeys.count;
  if (gKeys.extendedGiven && code == keycode::ext::BrailleRoute && !gKeys.routes.empty()) {
    detail::SetLastBrailleRoute(gKeys.routes.front().row, gKeys.routes.front().column);
    gKeys.routes.pop_front();
  }
  gKeys.extendedGiven = !gKeys.extendedGiven && code == keycode::Extended;
  return code;
}

void Pause(uint16_t milliseconds) {
  RefreshBraille();
  platform::Sleep(milliseconds);
  PumpMessages(PumpScope::AllWindows);
  PumpMessages(PumpScope::ConsoleWindow);
  RefreshBraille();
}

// ---- Braille mode and its tones ----

void SetBrailleMode(int mode) {
  if (mode > 2) mode = 1;
  const int previous = gKeys.brailleMode;
  if (mode <= 0) {
    mode = 0;
    gKeys.chord = gKeys.held = 0;
    gKeys.capitalNext = gKeys.capsLock = gKeys.numberMode = false;
    if (previous != 0) PlayModeTone(100);
  } else {
    PlayModeTone(800);
    PlayModeTone(mode == 1 ? 1600 : 400);
  }
  gKeys.brailleMode = mode;
}

int BrailleMode() { return gKeys.brailleMode; }

void SetStartingBrailleMode(int mode) {
  gKeys.heldBackMode = 0;
  if (!ReportsKeyReleases()) {
    gKeys.heldBackMode = mode;
    mode = 0;
  }
  SetBrailleMode(mode);
}

void SetNoticeSpeaker(NoticeSpeaker speaker) {
  gNoticeSpeaker = speaker;
  if (!speaker) return;
  std::vector<std::string> waiting;
  waiting.swap(gPendingNotices);
  for (const std::string& notice : waiting) speaker(notice);
}

void SpeakNotice(std::string_view cp1252) {
  if (gNoticeSpeaker) {
    gNoticeSpeaker(cp1252);
    return;
  }
  // Before speech can be heard a notice waits for it; a few are enough.
  constexpr std::size_t MostWaiting = 4;
  if (gPendingNotices.size() < MostWaiting) gPendingNotices.emplace_back(cp1252);
}

void StartTone(int frequencyHz) {
  StopTone();
  if (frequencyHz <= 0) return;
  constexpr int Rate = 11025;
  const auto header = static_cast<int>(text::WaveHeaderSize);
  const int period = Rate / frequencyHz;
  gKeys.tone.assign(text::WaveHeaderSize + Rate + 2, 0);
  int k = 0;
  int start = 0;
  for (;; ++k) {
    start = static_cast<int>(static_cast<long long>(Rate) * k / frequencyHz);
    if (header + start > Rate - period) break;
    uint8_t* samples = gKeys.tone.data() + header + start;
    std::fill_n(samples, period / 2, 96);
    std::fill_n(samples + period / 2, period - period / 2, 160);
  }
  if (start > 0) gKeys.tone[static_cast<std::size_t>(header + start - 1)] = 128;
  text::WriteWaveHeader(gKeys.tone, Rate, 8, 1, static_cast<uint32_t>(start));
  gKeys.tone.resize(text::WaveHeaderSize + static_cast<std::size_t>(start));
  PlayLoopingSound(gKeys.tone);
}

void StopTone() {
  if (gKeys.tone.empty()) return;
  if (HasBackend()) StopLoopingSound();
  gKeys.tone.clear();
}

// ---- the standard-input line ----

std::string ReadEchoedLine(std::size_t size) {
  std::string line;
  for (;;) {
    const uint8_t ch = WaitKey();
    if (ch == keycode::Enter) break;
    if (ch == keycode::Backspace) {
      if (!line.empty()) {
        line.pop_back();
        WriteCharacter(8);
      }
    } else if (ch >= 32 && line.size() + 2 < size) {
      line += static_cast<char>(ch);
      WriteCharacter(ch);
    }
  }
  // The line stands in the transcript as it stands on the screen.
  TranscriptAppend(line + "\r\n");
  WriteChars("\r\n");
  return line;
}

}  // namespace console
