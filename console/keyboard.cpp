#include "console/keyboard.h"

#include <array>
#include <deque>
#include <vector>

#include "console/braille.h"
#include "console/console_internal.h"
#include "console/key_codes.h"
#include "console/screen.h"
#include "platform/audio/sound_output.h"
#include "platform/core/backend.h"
#include "platform/core/keys.h"
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

using detail::Keyboard;
Keyboard& Keys() { return detail::TheConsoleState().keyboard; }

int CodesOf(const KeyPress& key) { return key.IsExtended() ? 2 : 1; }

// Queues a key when there is room for all its codes; a key without room is dropped.
void QueueKey(const KeyPress& key) {
  Keyboard& keyboard = Keys();
  if (keyboard.codes + CodesOf(key) > KeyQueueSize) return;
  keyboard.keys.push_back(key);
  keyboard.codes += CodesOf(key);
  detail::BrailleKeyTyped();
}

void QueueCode(uint8_t code, uint32_t modifiers) { QueueKey({code, 0, modifiers, {}}); }
void QueueExtended(uint8_t second, uint32_t modifiers) { QueueKey({keycode::Extended, second, modifiers, {}}); }

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
  const detail::Console& console = detail::TheConsole();
  const auto& cells = console.cells;
  CreateCaret(console.window, cells.width, 2);
  SetCaretPos(console.cursorX * cells.width, console.cursorY * cells.height + cells.ascent);
  ShowCaret(console.window);
  Keys().caretShown = true;
}

void HideCaret() {
  if (!Keys().caretShown) return;
  DestroyCaret();
  Keys().caretShown = false;
}

void PlayModeTone(int frequencyHz) {
  StartTone(frequencyHz);
  Pause(200);
  StopTone();
}

void OnCharacter(uint8_t ch, uint32_t modifiers) {
  if (Keys().brailleMode != 0 && (ch == ' ' || (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z'))) return;
  const bool ctrl = modifiers & ModCtrl;
  if (ch == keycode::Backspace)
    ch = ctrl ? keycode::CtrlBackspace : keycode::Backspace;
  else if (ch == keycode::Enter)
    ch = ctrl ? keycode::CtrlEnter : keycode::Enter;
  QueueCode(ch, modifiers);
}

void OnKeyDown(int virtualKey, uint32_t modifiers) {
  Keyboard& keyboard = Keys();
  if (keyboard.breakCheck && virtualKey == VK_CANCEL) {
    HideCaret();
    ExitProgram(255);
  }
  const bool ctrl = modifiers & ModCtrl, alt = modifiers & ModAlt, shift = modifiers & ModShift;
  // Ctrl+Shift stands beside Ctrl+Alt for the Braille switches: desktops keep Ctrl+Alt+Fn
  // for changing virtual terminals, so those chords may never arrive.
  // Turning it off always works, whatever the keyboard reports: a Braille keyboard left on
  // without releases would take every letter.
  if (ctrl && (alt || shift) && virtualKey == VK_F12) {
    keyboard.heldBackMode = 0;
    SetBrailleMode(0);
    return;
  }
  if (ctrl && (alt || shift) && virtualKey == VK_F11) {
    if (!ReportsKeyReleases()) {
      SpeakNotice(BrailleUnavailableNotice);
      return;
    }
    SetBrailleMode(keyboard.brailleMode + 1);
    return;
  }
  if (alt) {
    const bool digit = virtualKey >= '0' && virtualKey <= '9';
    const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
    if (digit || letter) {
      QueueExtended(digit ? AltDigitCodes[static_cast<std::size_t>(virtualKey - '0')]
                          : AltLetterCodes[static_cast<std::size_t>(virtualKey - 'A')],
                    modifiers);
      return;
    }
  }
  if (!ctrl && keyboard.brailleMode != 0 && DotBit(virtualKey) != 0) {
    keyboard.chord |= DotBit(virtualKey);
    keyboard.held |= DotBit(virtualKey);
    return;
  }
  for (const auto& key : ExtendedKeyTable) {
    if (key.virtualKey != virtualKey) continue;
    if (ctrl)
      QueueExtended(key.ctrlCode, modifiers);
    else if (virtualKey == VK_INSERT && shift)
      QueueExtended(ext::Paste, modifiers);
    else
      QueueExtended(key.code, modifiers);
    return;
  }
}

// Mode 2's capital and number signs applied to a chord's character.
uint8_t ApplySigns(uint8_t ch) {
  Keyboard& keyboard = Keys();
  if (keyboard.numberMode) {
    if (ch == '\'')
      ch = '.';
    else if (ch >= 'a' && ch <= 'i')
      ch = static_cast<uint8_t>('1' + (ch - 'a'));
    else if (ch == 'j')
      ch = '0';
    else if (ch == '~')
      keyboard.numberMode = false;
  }
  if ((keyboard.capitalNext || keyboard.capsLock) && ch >= 'a' && ch <= 'z') ch = static_cast<uint8_t>(ch - 32);
  if (ch == '#') {
    keyboard.numberMode = true;
    return NoCharacter;
  }
  if (ch == '{') {
    if (keyboard.capitalNext) keyboard.capsLock = true;
    keyboard.capitalNext = true;
    return NoCharacter;
  }
  keyboard.capitalNext = false;
  return ch;
}

// The release of a key while the Braille keyboard is on: a dot key let go, or any other
// key, which clears the signs. The chord's character takes the modifiers of the key whose
// release completed it.
void OnBrailleKeyUp(int virtualKey, uint32_t modifiers) {
  Keyboard& keyboard = Keys();
  const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
  if ((modifiers & ModCtrl) || !(virtualKey == VK_SPACE || letter)) {
    keyboard.numberMode = keyboard.capitalNext = keyboard.capsLock = false;
    return;
  }
  keyboard.held = static_cast<uint8_t>(keyboard.held & ~DotBit(virtualKey));
  if (keyboard.held != 0) return;
  uint8_t result = NoCharacter;
  if (keyboard.chord >= 64) {
    keyboard.capitalNext = keyboard.capsLock = keyboard.numberMode = false;
    result = keyboard.chord == 64 ? ' ' : static_cast<uint8_t>(BrailleTable[keyboard.chord & 63] & 31);
  } else {
    result = BrailleTable[keyboard.chord];
    if (keyboard.brailleMode == 2) result = ApplySigns(result);
  }
  if (result != NoCharacter) QueueCode(result, modifiers);
  keyboard.chord = 0;
}

// Waits, with the caret shown, until the queue holds a key.
void WaitForKey() {
  Keyboard& keyboard = Keys();
  if (!keyboard.keys.empty()) return;
  keyboard.waiting = true;
  if (HasFocus(detail::TheConsole().window)) ShowCaretAtCursor();
  RefreshBraille(BrailleMoment::KeyWait);  // what the wait is for shows before the program blocks
  do {
    WaitMessage();
  } while (!KeyAvailable());
  HideCaret();
  keyboard.waiting = false;
}

}  // namespace

namespace detail {

void HandleInput(Hwnd hwnd, const Input& input) {
  if (const auto* braille = std::get_if<BrailleInput>(&input)) {
    HandleBrailleCommand(braille->command, braille->argument);
    return;
  }
  const auto* key = std::get_if<KeyEvent>(&input);
  if (!key) return;
  if (key->action == KeyAction::Release) {
    if (Keys().brailleMode != 0) OnBrailleKeyUp(key->virtualKey, key->modifiers);
    return;
  }
  const bool system = IsSystemKey(key->virtualKey, key->modifiers);
  if (system && Keys().breakCheck && key->virtualKey != VK_LEFT && key->virtualKey != VK_RIGHT) {
    DefInputProc(hwnd, input);
    return;
  }
  OnKeyDown(key->virtualKey, key->modifiers);
  if (key->character && !system) OnCharacter(*key->character, key->modifiers);
}

bool HandleKeyboardMessage(uint32_t message) {
  switch (message) {
    case WM_SETFOCUS:
      if (Keys().waiting) ShowCaretAtCursor();
      return true;
    case WM_KILLFOCUS:
      if (Keys().waiting) HideCaret();
      return true;
    case WM_APP_KEYRELEASES:
      // A terminal that answered late: the Braille keyboard can now start as configured,
      // if releases are still reported.
      if (!ReportsKeyReleases()) return true;
      if (Keys().heldBackMode != 0 && Keys().brailleMode == 0) SetBrailleMode(Keys().heldBackMode);
      Keys().heldBackMode = 0;
      return true;
    default: return false;
  }
}

void SetBreakCheck(bool on) { Keys().breakCheck = on; }
bool WaitingForKey() { return Keys().waiting; }
void DestroyCaretIfShown() { HideCaret(); }

void ResetKeyboard() {
  StopTone();
  Keys() = Keyboard{};
}

void QueueTypedCharacter(uint8_t character) {
  if (character == NoCharacter) return;
  QueueCode(character, 0);
}

void QueueVirtualKey(int virtualKey, bool ctrl) {
  const uint32_t modifiers = ctrl ? uint32_t{ModCtrl} : 0u;
  switch (virtualKey) {
    case VK_RETURN: QueueCode(ctrl ? keycode::CtrlEnter : keycode::Enter, modifiers); return;
    case VK_BACK: QueueCode(ctrl ? keycode::CtrlBackspace : keycode::Backspace, modifiers); return;
    case VK_TAB: QueueCode(keycode::Tab, modifiers); return;
    case VK_ESCAPE: QueueCode(keycode::Esc, modifiers); return;
    default: break;
  }
  for (const auto& key : ExtendedKeyTable) {
    if (key.virtualKey == virtualKey) {
      QueueExtended(ctrl ? key.ctrlCode : key.code, modifiers);
      return;
    }
  }
}

void QueueBrailleRoute(ScreenPlace place) { QueueKey({keycode::Extended, keycode::ext::BrailleRoute, 0, place}); }

uint8_t BrailleDotsCharacter(uint8_t dots) { return BrailleTable[dots & 63]; }

}  // namespace detail

// ---- queue ----

void PumpMessages(PumpScope scope) {
  Message message;
  const Hwnd filter = scope == PumpScope::ConsoleWindow ? detail::TheConsole().window : 0;
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
  return !Keys().keys.empty();
}

uint8_t WaitKey() {
  WaitForKey();
  Keyboard& keyboard = Keys();
  const KeyPress& key = keyboard.keys.front();
  if (key.IsExtended() && !keyboard.firstCodeGiven) {
    keyboard.firstCodeGiven = true;
    --keyboard.codes;
    return keycode::Extended;
  }
  return WaitKeyPress().code;
}

KeyPress WaitKeyPress() {
  WaitForKey();
  Keyboard& keyboard = Keys();
  KeyPress key = keyboard.keys.front();
  keyboard.keys.pop_front();
  if (keyboard.firstCodeGiven) {
    keyboard.firstCodeGiven = false;
    key.code = key.extended;
    key.extended = 0;
  }
  keyboard.codes -= CodesOf(key);
  detail::BrailleKeyTaken();
  return key;
}

void Pause(uint16_t milliseconds) {
  RefreshBraille(BrailleMoment::Pause);
  platform::Sleep(milliseconds);
  PumpMessages(PumpScope::AllWindows);
  PumpMessages(PumpScope::ConsoleWindow);
  RefreshBraille(BrailleMoment::Pause);
}

// ---- Braille mode and its tones ----

void SetBrailleMode(int mode) {
  Keyboard& keyboard = Keys();
  if (mode > 2) mode = 1;
  const int previous = keyboard.brailleMode;
  if (mode <= 0) {
    mode = 0;
    keyboard.chord = keyboard.held = 0;
    keyboard.capitalNext = keyboard.capsLock = keyboard.numberMode = false;
    if (previous != 0) PlayModeTone(100);
  } else {
    PlayModeTone(800);
    PlayModeTone(mode == 1 ? 1600 : 400);
  }
  keyboard.brailleMode = mode;
}

int BrailleMode() { return Keys().brailleMode; }

void SetStartingBrailleMode(int mode) {
  Keys().heldBackMode = 0;
  if (!ReportsKeyReleases()) {
    Keys().heldBackMode = mode;
    mode = 0;
  }
  SetBrailleMode(mode);
}

void SetNoticeSpeaker(NoticeSpeaker speaker) {
  Keys().noticeSpeaker = speaker;
  if (!speaker) return;
  std::vector<std::string> waiting;
  waiting.swap(Keys().pendingNotices);
  for (const std::string& notice : waiting) speaker(notice);
}

void SpeakNotice(std::string_view cp1252) {
  if (Keys().noticeSpeaker) {
    Keys().noticeSpeaker(cp1252);
    return;
  }
  // Before speech can be heard a notice waits for it; a few are enough.
  constexpr std::size_t MostWaiting = 4;
  if (Keys().pendingNotices.size() < MostWaiting) Keys().pendingNotices.emplace_back(cp1252);
}

void StartTone(int frequencyHz) {
  StopTone();
  if (frequencyHz <= 0) return;
  constexpr int Rate = 11025;
  std::vector<uint8_t>& tone = Keys().tone;
  const auto header = static_cast<int>(text::WaveHeaderSize);
  const int period = Rate / frequencyHz;
  tone.assign(text::WaveHeaderSize + Rate + 2, 0);
  int k = 0;
  int start = 0;
  for (;; ++k) {
    start = static_cast<int>(static_cast<long long>(Rate) * k / frequencyHz);
    if (header + start > Rate - period) break;
    uint8_t* samples = tone.data() + header + start;
    std::fill_n(samples, period / 2, 96);
    std::fill_n(samples + period / 2, period - period / 2, 160);
  }
  if (start > 0) tone[static_cast<std::size_t>(header + start - 1)] = 128;
  text::WriteWaveHeader(tone, Rate, 8, 1, static_cast<uint32_t>(start));
  tone.resize(text::WaveHeaderSize + static_cast<std::size_t>(start));
  PlayLoopingSound(tone);
}

void StopTone() {
  if (Keys().tone.empty()) return;
  if (HasBackend()) StopLoopingSound();
  Keys().tone.clear();
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
