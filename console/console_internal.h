#pragma once
// What the console's files share inside the console: its owner (the window, screen
// buffers, cursor, colour and settings; what a Braille display shows; the files of a
// scripted run), the keyboard's part of the window procedure, and the screen's painting.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "console/braille_view.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "platform/core/win.h"
#include "platform/services/output_file.h"

namespace console::detail {

struct CellMetrics {
  int width = 1, height = 1, ascent = 0, overhang = 0;
};

// The console's settings from TAMIRE.INI (console/settings.cpp), as they stand before the
// file is read: identity colours, no fixed colours, no slow scrolling, magnifier 2.
struct Settings {
  std::array<uint8_t, 16> colourMap{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  bool fixedColours = false;
  bool blitScroll = false;
  bool maximized = false;
  int magnifierFactor = 2;
  int brailleMode = 0;
  uint8_t attribute = 0x0F;  // CORFUNDO x 16 + CORLETRA
  platform::FontRequest font;
};

// The console: one window, one pair of screen buffers, one cursor. InitConsole makes it
// anew; the window's creation message allocates the buffers.
struct Console {
  platform::Hwnd window = 0;  // 0 while there is none
  std::vector<uint8_t> chars, attrs;
  int cursorX = 0, cursorY = 0;  // 0-based
  // The row a Braille display follows: the last one written to or the cursor was put on.
  // A line end leaves it on the line just written.
  int focusRow = 0;
  bool writingStory = false;     // Write is drawing the program's text output
  uint8_t attribute = 0x0F;      // TextAttribute
  int spanFrom = 0, spanTo = 0;  // the changed span of the cursor's row, end excluded
  Settings settings;
  CellMetrics cells;
  bool magnifierActive = false;
  platform::Size clientSize;
  WaveDoneProc waveDone = nullptr;
  bool waveDoneEnabled = false;
  std::string caption;
  bool endStepPending = false;  // the end-of-program step is registered and has not run
};

// The owner of the console's state: the console, which InitConsole makes anew, what a
// Braille display shows (ResetBraille), and the files of a scripted run, which the program
// opens before the console starts and which stay open until their own Close calls.
// The keyboard of the console: the key queue, the Braille chord keyboard and its tone, and
// the console's spoken notices.
struct Keyboard {
  std::deque<KeyPress> keys;
  int codes = 0;                // codes in the queue: one for each key, two for an extended key
  bool firstCodeGiven = false;  // WaitKey has given the first key's Extended code
  bool breakCheck = true;
  bool waiting = false;
  bool caretShown = false;
  int brailleMode = 0;
  int heldBackMode = 0;  // the configured mode, until the console learns of key releases
  uint8_t chord = 0, held = 0;
  bool capitalNext = false, capsLock = false, numberMode = false;
  std::vector<uint8_t> tone;
  NoticeSpeaker noticeSpeaker = nullptr;
  std::vector<std::string> pendingNotices;  // said once a speaker is installed
};

struct ConsoleState {
  Console console;
  Keyboard keyboard;  // outlives InitConsole: keys typed ahead, the Braille mode
  BrailleView braille;
  platform::OutputFile transcript;  // --transcript
  platform::OutputFile brailleLog;  // --braille-log
  platform::OutputFile screenDump;  // --screen-dump
};

ConsoleState& TheConsoleState();
// The console itself: TheConsoleState().console.
Console& TheConsole();

// Reads the settings (console/settings.cpp).
Settings LoadConsoleSettings();

// The screen (console/screen.cpp): the palette colour of an attribute nibble, and the
// painting the window's paint message asks for.
platform::Rgb PaletteColour(int nibble);
void PaintInvalid();

// The console window's input procedure: keys and a Braille display's commands, typed.
void HandleInput(platform::Hwnd hwnd, const platform::Input& input);
// The keyboard's window messages (focus, key releases reported); false when the message
// is not one.
bool HandleKeyboardMessage(uint32_t message);
void SetBreakCheck(bool on);
void DestroyCaretIfShown();
void ResetKeyboard();  // an empty queue, Braille off: the keyboard of a console made anew
bool WaitingForKey();  // WaitKey is waiting with the caret shown

// Keys from a Braille display, queued as the same codes the keyboard makes.
void QueueTypedCharacter(uint8_t character);  // Windows-1252
void QueueVirtualKey(int virtualKey, bool ctrl);
// A routing key: 0 and keycode::ext::BrailleRoute, with the cell it points at.
void QueueBrailleRoute(ScreenPlace place);
// The character of six dots (bit 0 is dot 1) in the Braille keyboard's own table.
uint8_t BrailleDotsCharacter(uint8_t dots);

}  // namespace console::detail
