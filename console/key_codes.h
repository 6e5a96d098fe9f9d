#pragma once
// The codes of the console's key queue. An ordinary key is one code: its character, or the
// control code Ctrl+letter makes. An extended key is two: 0, then its second code. The
// keyboard makes them; the line editor and the screen review read them by these names.

#include <cstdint>

namespace console::keycode {

// Ordinary codes.
inline constexpr uint8_t Extended = 0;  // an extended key's second code follows
inline constexpr uint8_t CtrlC = 3;
inline constexpr uint8_t CtrlD = 4;
inline constexpr uint8_t Backspace = 8;
inline constexpr uint8_t Tab = 9;
inline constexpr uint8_t CtrlEnter = 10;
inline constexpr uint8_t CtrlK = 11;
inline constexpr uint8_t CtrlL = 12;
inline constexpr uint8_t Enter = 13;
inline constexpr uint8_t CtrlS = 19;
inline constexpr uint8_t CtrlU = 21;
inline constexpr uint8_t CtrlV = 22;
inline constexpr uint8_t CtrlY = 25;
inline constexpr uint8_t Esc = 27;
inline constexpr uint8_t CtrlBackslash = 28;
inline constexpr uint8_t Space = 32;
inline constexpr uint8_t CtrlBackspace = 127;
// Two characters that never go into a field: Þ speaks the field, ß does nothing.
inline constexpr uint8_t SpeakField = 222;
inline constexpr uint8_t Ignored = 223;

// Second codes of extended keys.
namespace ext {
// A routing key of a Braille display; its KeyPress tells the cell. (No key of the keyboard
// makes this code.)
inline constexpr uint8_t BrailleRoute = 1;
inline constexpr uint8_t ShiftTab = 15;
inline constexpr uint8_t AltQ = 16;  // Alt+Q, Alt+W and Alt+E: the prefix AltGr characters bring
inline constexpr uint8_t AltE = 18;
inline constexpr uint8_t F1 = 59;
inline constexpr uint8_t F2 = 60;
inline constexpr uint8_t F3 = 61;
inline constexpr uint8_t F4 = 62;
inline constexpr uint8_t F5 = 63;
inline constexpr uint8_t F6 = 64;
inline constexpr uint8_t F7 = 65;
inline constexpr uint8_t F8 = 66;
inline constexpr uint8_t F9 = 67;
inline constexpr uint8_t F10 = 68;
inline constexpr uint8_t F11 = 69;
inline constexpr uint8_t F12 = 70;
inline constexpr uint8_t Home = 71;
inline constexpr uint8_t Up = 72;
inline constexpr uint8_t PgUp = 73;
inline constexpr uint8_t Left = 75;
inline constexpr uint8_t Right = 77;
inline constexpr uint8_t End = 79;
inline constexpr uint8_t Down = 80;
inline constexpr uint8_t PgDn = 81;
inline constexpr uint8_t Insert = 82;
inline constexpr uint8_t Delete = 83;
inline constexpr uint8_t CtrlF1 = 94;
inline constexpr uint8_t CtrlF2 = 95;
inline constexpr uint8_t CtrlF3 = 96;
inline constexpr uint8_t CtrlF4 = 97;
inline constexpr uint8_t CtrlF5 = 98;
inline constexpr uint8_t CtrlF6 = 99;
inline constexpr uint8_t CtrlF7 = 100;
inline constexpr uint8_t CtrlF8 = 101;
inline constexpr uint8_t CtrlF9 = 102;
inline constexpr uint8_t CtrlF10 = 103;
inline constexpr uint8_t CtrlF11 = 104;  // also the editor's result for Alt+F1
inline constexpr uint8_t CtrlF12 = 105;
inline constexpr uint8_t CtrlUp = 113;
inline constexpr uint8_t CtrlDown = 114;
inline constexpr uint8_t CtrlLeft = 115;
inline constexpr uint8_t CtrlRight = 116;
inline constexpr uint8_t CtrlEnd = 117;
inline constexpr uint8_t CtrlPgDn = 118;
inline constexpr uint8_t CtrlHome = 119;
inline constexpr uint8_t AltDigitFirst = 120;  // Alt+1 .. Alt+9, then Alt+0 at 129
inline constexpr uint8_t AltDigitLast = 129;
inline constexpr uint8_t CtrlPgUp = 132;
inline constexpr uint8_t Paste = 254;  // Shift+Insert, and Ctrl+V in the editor
inline constexpr uint8_t Copy = 255;   // Ctrl+Insert, and Ctrl+C in the editor
}  // namespace ext

}  // namespace console::keycode
