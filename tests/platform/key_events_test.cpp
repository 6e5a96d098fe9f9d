// One table of keystrokes, each as every backend receives it: the bytes of a terminal
// speaking the kitty keyboard protocol (what kitty 0.26.5 sends with the console's flags),
// the events SDL delivers to the window, the messages Windows sends the GDI window, the
// names of a headless key script and what the page hands over through its key map
// (web/page.js). Every backend that can type the keystroke must post the same key events
// for it. Then the terminal's side of the protocol: asking, late answers, half answers and
// none, and giving the terminal back.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/backends/gdi/gdi_keys.h"
#include "platform/backends/headless/headless.h"
#include "platform/backends/sdl/sdl_keys.h"
#include "platform/backends/shared/window_backend.h"
#include "platform/backends/terminal/terminal_backend.h"
#include "platform/backends/web/web_keys.h"
#include "pty_terminal.h"

namespace platform {
namespace {

using testing::PtyTerminal;
using testing::TerminalKind;
using Events = std::vector<std::string>;

// ---- the table ----

// One event as SDL delivers it; a modifier key's own event carries the state after it.
struct WindowStep {
  enum Type { Down, Repeat, Up, Text } type;
  SDL_Scancode scancode = SDL_SCANCODE_UNKNOWN;
  uint16_t mod = KMOD_NONE;
  const char* text = "";
};
// SDL hands a key and its text over in the same batch of events.
using WindowBatch = std::vector<WindowStep>;

WindowBatch Typed(SDL_Scancode scancode, const char* text, uint16_t mod = KMOD_NONE) {
  return {{WindowStep::Down, scancode, mod}, {WindowStep::Text, SDL_SCANCODE_UNKNOWN, mod, text}};
}
WindowBatch Repeated(SDL_Scancode scancode, const char* text) {
  return {{WindowStep::Repeat, scancode}, {WindowStep::Text, SDL_SCANCODE_UNKNOWN, KMOD_NONE, text}};
}
WindowBatch Pressed(SDL_Scancode scancode, uint16_t mod = KMOD_NONE) { return {{WindowStep::Down, scancode, mod}}; }
WindowBatch Released(SDL_Scancode scancode, uint16_t mod = KMOD_NONE) { return {{WindowStep::Up, scancode, mod}}; }

// One message as Windows sends it to the window: the key (virtual key and scan code) or the
// character, with the modifiers held then.
struct GdiStep {
  uint32_t message;
  uintptr_t wParam;
  int scanCode = 0;
  uint32_t modifiers = 0;
};
std::vector<GdiStep> GdiTyped(int virtualKey, int scanCode, uintptr_t character, uint32_t modifiers = 0) {
  return {{WM_KEYDOWN, static_cast<uintptr_t>(virtualKey), scanCode, modifiers}, {WM_CHAR, character, 0, modifiers}};
}
GdiStep GdiDown(int virtualKey, uint32_t modifiers = 0, int scanCode = 0) {
  return {WM_KEYDOWN, static_cast<uintptr_t>(virtualKey), scanCode, modifiers};
}
GdiStep GdiUp(int virtualKey, uint32_t modifiers = 0, int scanCode = 0) {
  return {WM_KEYUP, static_cast<uintptr_t>(virtualKey), scanCode, modifiers};
}
std::vector<GdiStep> operator+(std::vector<GdiStep> a, const std::vector<GdiStep>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// What the page hands over for a key: down or up, the key's place (event.code), the
// modifier bits and the Windows-1252 character it types (-1: none).
struct PageStep {
  bool down;
  const char* code;
  int modifiers = 0;
  int character = -1;
};

struct Keystroke {
  const char* name;
  std::string terminal;
  std::vector<WindowBatch> window;
  std::vector<GdiStep> gdi;
  std::string script;          // empty: a key script cannot type it (keys held across others)
  std::vector<PageStep> page;  // empty: the page never hands it over
  Events events;
};

const std::vector<Keystroke>& Keystrokes() {
  constexpr uint32_t Shift = ModShift, Ctrl = ModCtrl, Alt = ModAlt;
  static const std::vector<Keystroke> table = {
      {"Braille chord S D F J K L, L repeating, then let go",
       "\x1b[115;;115u\x1b[100;;100u\x1b[102;;102u\x1b[106;;106u\x1b[107;;107u\x1b[108;;108u\x1b[108;1:2;108u"
       "\x1b[115;1:3u\x1b[100;1:3u\x1b[102;1:3u\x1b[106;1:3u\x1b[107;1:3u\x1b[108;1:3u",
       {Typed(SDL_SCANCODE_S, "s"), Typed(SDL_SCANCODE_D, "d"), Typed(SDL_SCANCODE_F, "f"), Typed(SDL_SCANCODE_J, "j"),
        Typed(SDL_SCANCODE_K, "k"), Typed(SDL_SCANCODE_L, "l"), Repeated(SDL_SCANCODE_L, "l"), Released(SDL_SCANCODE_S),
        Released(SDL_SCANCODE_D), Released(SDL_SCANCODE_F), Released(SDL_SCANCODE_J), Released(SDL_SCANCODE_K),
        Released(SDL_SCANCODE_L)},
       GdiTyped('S', 0x1F, 's') + GdiTyped('D', 0x20, 'd') + GdiTyped('F', 0x21, 'f') + GdiTyped('J', 0x24, 'j') +
           GdiTyped('K', 0x25, 'k') + GdiTyped('L', 0x26, 'l') + GdiTyped('L', 0x26, 'l') +
           std::vector<GdiStep>{GdiUp('S', 0, 0x1F), GdiUp('D', 0, 0x20), GdiUp('F', 0, 0x21), GdiUp('J', 0, 0x24),
                                GdiUp('K', 0, 0x25), GdiUp('L', 0, 0x26)},
       "",
       {{true, "KeyS", 0, 's'},
        {true, "KeyD", 0, 'd'},
        {true, "KeyF", 0, 'f'},
        {true, "KeyJ", 0, 'j'},
        {true, "KeyK", 0, 'k'},
        {true, "KeyL", 0, 'l'},
        {true, "KeyL", 0, 'l'},
        {false, "KeyS"},
        {false, "KeyD"},
        {false, "KeyF"},
        {false, "KeyJ"},
        {false, "KeyK"},
        {false, "KeyL"}},
       {"Down 83 =115", "Down 68 =100", "Down 70 =102", "Down 74 =106", "Down 75 =107", "Down 76 =108", "Down 76 =108",
        "Up 83", "Up 68", "Up 70", "Up 74", "Up 75", "Up 76"}},
      {"Braille chord F J, J let go first",
       "\x1b[102;;102u\x1b[106;;106u\x1b[106;1:3u\x1b[102;1:3u",
       {Typed(SDL_SCANCODE_F, "f"), Typed(SDL_SCANCODE_J, "j"), Released(SDL_SCANCODE_J), Released(SDL_SCANCODE_F)},
       GdiTyped('F', 0x21, 'f') + GdiTyped('J', 0x24, 'j') +
           std::vector<GdiStep>{GdiUp('J', 0, 0x24), GdiUp('F', 0, 0x21)},
       "",
       {{true, "KeyF", 0, 'f'}, {true, "KeyJ", 0, 'j'}, {false, "KeyJ"}, {false, "KeyF"}},
       {"Down 70 =102", "Down 74 =106", "Up 74", "Up 70"}},
      {"Space",
       "\x1b[32;;32u\x1b[32;1:3u",
       {Typed(SDL_SCANCODE_SPACE, " "), Released(SDL_SCANCODE_SPACE)},
       GdiTyped(VK_SPACE, 0x39, ' ') + std::vector<GdiStep>{GdiUp(VK_SPACE)},
       "<Space><NoEnter>",
       {{true, "Space", 0, ' '}, {false, "Space"}},
       {"Down 32 =32", "Up 32"}},
      {"Ctrl+Left, Ctrl let go first",
       "\x1b[57442u\x1b[1;5D\x1b[57442;5:3u\x1b[1;1:3D",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LEFT, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL),
        Released(SDL_SCANCODE_LEFT)},
       {GdiDown(VK_CONTROL, Ctrl), GdiDown(VK_LEFT, Ctrl), GdiUp(VK_CONTROL), GdiUp(VK_LEFT)},
       "",
       {},
       {"Down 17 Ctrl", "Down 37 Ctrl", "Up 17", "Up 37"}},
      {"Shift+End",
       "\x1b[57441u\x1b[1;2F\x1b[57441;2:3u\x1b[1;1:3F",
       {Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT), Pressed(SDL_SCANCODE_END, KMOD_LSHIFT),
        Released(SDL_SCANCODE_LSHIFT), Released(SDL_SCANCODE_END)},
       {GdiDown(VK_SHIFT, Shift), GdiDown(VK_END, Shift), GdiUp(VK_SHIFT), GdiUp(VK_END)},
       "",
       {},
       {"Down 16 Shift", "Down 35 Shift", "Up 16", "Up 35"}},
      {"Ctrl+Shift+F9, the screen review",
       "\x1b[57442u\x1b[57441;5u\x1b[20;6~\x1b[57441;6:3u\x1b[57442;5:3u\x1b[20;1:3~",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LCTRL | KMOD_LSHIFT),
        Pressed(SDL_SCANCODE_F9, KMOD_LCTRL | KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT, KMOD_LCTRL),
        Released(SDL_SCANCODE_LCTRL), Released(SDL_SCANCODE_F9)},
       {GdiDown(VK_CONTROL, Ctrl), GdiDown(VK_SHIFT, Ctrl | Shift), GdiDown(VK_F9, Ctrl | Shift), GdiUp(VK_SHIFT, Ctrl),
        GdiUp(VK_CONTROL), GdiUp(VK_F9)},
       "",
       {},
       {"Down 17 Ctrl", "Down 16 Ctrl Shift", "Down 120 Ctrl Shift", "Up 16 Ctrl", "Up 17", "Up 120"}},
      {"Ctrl+Shift+F11, the Braille keyboard's switch",
       "\x1b[57442u\x1b[57441;5u\x1b[23;6~\x1b[23;6:3~\x1b[57441;6:3u\x1b[57442;5:3u",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LCTRL | KMOD_LSHIFT),
        Pressed(SDL_SCANCODE_F11, KMOD_LCTRL | KMOD_LSHIFT), Released(SDL_SCANCODE_F11, KMOD_LCTRL | KMOD_LSHIFT),
        Released(SDL_SCANCODE_LSHIFT, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL)},
       {GdiDown(VK_CONTROL, Ctrl), GdiDown(VK_SHIFT, Ctrl | Shift), GdiDown(VK_F11, Ctrl | Shift),
        GdiUp(VK_F11, Ctrl | Shift), GdiUp(VK_SHIFT, Ctrl), GdiUp(VK_CONTROL)},
       "",
       {},
       {"Down 17 Ctrl", "Down 16 Ctrl Shift", "Down 122 Ctrl Shift", "Up 122 Ctrl Shift", "Up 16 Ctrl", "Up 17"}},
      {"Text: o, Shift+A, Shift+1 and the ABNT2 key of c cedilla",
       "\x1b[111;;111u\x1b[111;1:3u\x1b[57441u\x1b[97:65;2;65u\x1b[57441;2:3u\x1b[97;1:3u"
       "\x1b[57441u\x1b[49:33;2;33u\x1b[49:33;2:3u\x1b[57441;2:3u\x1b[231::59;u\x1b[231::59;1:3u",
       {Typed(SDL_SCANCODE_O, "o"), Released(SDL_SCANCODE_O), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT),
        Typed(SDL_SCANCODE_A, "A", KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT), Released(SDL_SCANCODE_A),
        Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT), Typed(SDL_SCANCODE_1, "!", KMOD_LSHIFT),
        Released(SDL_SCANCODE_1, KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT), Typed(SDL_SCANCODE_SEMICOLON, "\xc3\xa7"),
        Released(SDL_SCANCODE_SEMICOLON)},
       GdiTyped('O', 0x18, 'o') + std::vector<GdiStep>{GdiUp('O', 0, 0x18), GdiDown(VK_SHIFT, Shift)} +
           GdiTyped('A', 0x1E, 'A', Shift) +
           std::vector<GdiStep>{GdiUp(VK_SHIFT), GdiUp('A', 0, 0x1E), GdiDown(VK_SHIFT, Shift)} +
           GdiTyped('1', 0x02, '!', Shift) + std::vector<GdiStep>{GdiUp('1', Shift, 0x02), GdiUp(VK_SHIFT)} +
           GdiTyped(VK_OEM_1, 0x27, 0xE7) + std::vector<GdiStep>{GdiUp(VK_OEM_1, 0, 0x27)},
       "",
       {},
       {"Down 79 =111", "Up 79", "Down 16 Shift", "Down 65 =65 Shift", "Up 16", "Up 65", "Down 16 Shift",
        "Down 49 =33 Shift", "Up 49 Shift", "Up 16", "Down 186 =231", "Up 186"}},
      {"Enter, Backspace and Esc",
       "\x1b[13u\x1b[13;1:3u\x1b[127u\x1b[127;1:3u\x1b[27u\x1b[27;1:3u",
       {Pressed(SDL_SCANCODE_RETURN), Released(SDL_SCANCODE_RETURN), Pressed(SDL_SCANCODE_BACKSPACE),
        Released(SDL_SCANCODE_BACKSPACE), Pressed(SDL_SCANCODE_ESCAPE), Released(SDL_SCANCODE_ESCAPE)},
       GdiTyped(VK_RETURN, 0x1C, 13) + std::vector<GdiStep>{GdiUp(VK_RETURN)} + GdiTyped(VK_BACK, 0x0E, 8) +
           std::vector<GdiStep>{GdiUp(VK_BACK)} + GdiTyped(VK_ESCAPE, 0x01, 27) +
           std::vector<GdiStep>{GdiUp(VK_ESCAPE)},
       "<Enter><BS><Esc><NoEnter>",
       {{true, "Enter"},
        {false, "Enter"},
        {true, "Backspace"},
        {false, "Backspace"},
        {true, "Escape"},
        {false, "Escape"}},
       {"Down 13 =13", "Up 13", "Down 8 =8", "Up 8", "Down 27 =27", "Up 27"}},
      {"Ctrl+C, Alt+X and Ctrl+Enter",
       "\x1b[57442u\x1b[99;5u\x1b[57442;5:3u\x1b[99;1:3u\x1b[57443u\x1b[120;3u\x1b[57443;3:3u\x1b[120;1:3u"
       "\x1b[57442u\x1b[13;5u\x1b[57442;5:3u\x1b[13;1:3u",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_C, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL),
        Released(SDL_SCANCODE_C), Pressed(SDL_SCANCODE_LALT, KMOD_LALT), Pressed(SDL_SCANCODE_X, KMOD_LALT),
        Released(SDL_SCANCODE_LALT), Released(SDL_SCANCODE_X), Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL),
        Pressed(SDL_SCANCODE_RETURN, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL), Released(SDL_SCANCODE_RETURN)},
       // Windows types Alt+X as the window menu's character, and Ctrl+Enter as a line feed.
       std::vector<GdiStep>{GdiDown(VK_CONTROL, Ctrl)} + GdiTyped('C', 0x2E, 3, Ctrl) +
           std::vector<GdiStep>{GdiUp(VK_CONTROL),
                                GdiUp('C', 0, 0x2E),
                                {WM_SYSKEYDOWN, VK_MENU, 0x38, Alt},
                                {WM_SYSKEYDOWN, 'X', 0x2D, Alt},
                                {WM_SYSCHAR, 'x', 0, Alt},
                                GdiUp(VK_MENU),
                                GdiUp('X', 0, 0x2D),
                                GdiDown(VK_CONTROL, Ctrl)} +
           GdiTyped(VK_RETURN, 0x1C, 10, Ctrl) + std::vector<GdiStep>{GdiUp(VK_CONTROL), GdiUp(VK_RETURN)},
       "",
       {},
       {"Down 17 Ctrl", "Down 67 =3 Ctrl", "Up 17", "Up 67", "Down 18 Alt", "Down 88 Alt", "Up 18", "Up 88",
        "Down 17 Ctrl", "Down 13 =13 Ctrl", "Up 17", "Up 13"}},
      // Keys typed whole, with their modifiers held throughout: every backend has them.
      {"Alt+Right",
       "\x1b[1;3C\x1b[1;3:3C",
       {Pressed(SDL_SCANCODE_RIGHT, KMOD_LALT), Released(SDL_SCANCODE_RIGHT, KMOD_LALT)},
       {{WM_SYSKEYDOWN, VK_RIGHT, 0x4D, Alt}, {WM_SYSKEYUP, VK_RIGHT, 0x4D, Alt}},
       "<Alt+Right><NoEnter>",
       {{true, "ArrowRight", 4}, {false, "ArrowRight", 4}},
       {"Down 39 Alt", "Up 39 Alt"}},
      {"Shift+Tab",
       "\x1b[9;2u\x1b[9;2:3u",
       {Pressed(SDL_SCANCODE_TAB, KMOD_LSHIFT), Released(SDL_SCANCODE_TAB, KMOD_LSHIFT)},
       GdiTyped(VK_TAB, 0x0F, 9, Shift) + std::vector<GdiStep>{GdiUp(VK_TAB, Shift)},
       "<Shift+Tab><NoEnter>",
       {{true, "Tab", 1}, {false, "Tab", 1}},
       {"Down 9 =9 Shift", "Up 9 Shift"}},
      {"Ctrl+backslash",
       "\x1b[92;5u\x1b[92;5:3u",
       {Pressed(SDL_SCANCODE_BACKSLASH, KMOD_LCTRL), Released(SDL_SCANCODE_BACKSLASH, KMOD_LCTRL)},
       GdiTyped(VK_OEM_5, 0x2B, 28, Ctrl) + std::vector<GdiStep>{GdiUp(VK_OEM_5, Ctrl)},
       "<Ctrl+\\><NoEnter>",
       {{true, "Backslash", 2}, {false, "Backslash", 2}},
       {"Down 220 =28 Ctrl", "Up 220 Ctrl"}},
      {"Ctrl+Break",
       "\x1b[57362;5u\x1b[57362;5:3u",
       {Pressed(SDL_SCANCODE_PAUSE, KMOD_LCTRL), Released(SDL_SCANCODE_PAUSE, KMOD_LCTRL)},
       {GdiDown(VK_CANCEL, Ctrl), GdiUp(VK_CANCEL, Ctrl)},
       "<Ctrl+Break><NoEnter>",
       {},  // the page's own rule, not its key map
       {"Down 3 Ctrl", "Up 3 Ctrl"}},
      {"F10 alone",
       "\x1b[21~\x1b[21;1:3~",
       {Pressed(SDL_SCANCODE_F10), Released(SDL_SCANCODE_F10)},
       {{WM_SYSKEYDOWN, VK_F10, 0x44}, {WM_SYSKEYUP, VK_F10, 0x44}},
       "<F10><NoEnter>",
       {},  // the browser's
       {"Down 121", "Up 121"}},
      {"The keypad's 1 with Num Lock",
       "\x1b[57400;129;49u\x1b[57400;129:3u",
       {Typed(SDL_SCANCODE_KP_1, "1", KMOD_NUM), Released(SDL_SCANCODE_KP_1, KMOD_NUM)},
       GdiTyped(VK_NUMPAD0 + 1, 0x4F, '1') + std::vector<GdiStep>{GdiUp(VK_NUMPAD0 + 1, 0, 0x4F)},
       "",
       {},
       {"Down 97 =49", "Up 97"}},
      {"The ABNT2 key of c cedilla alone",
       "\x1b[231::59;u\x1b[231::59;1:3u",
       {Typed(SDL_SCANCODE_SEMICOLON, "\xc3\xa7"), Released(SDL_SCANCODE_SEMICOLON)},
       GdiTyped(VK_OEM_1, 0x27, 0xE7) + std::vector<GdiStep>{GdiUp(VK_OEM_1, 0, 0x27)},
       "",  // a script types c cedilla as a character of no key
       {{true, "Semicolon", 0, 0xE7}, {false, "Semicolon"}},
       {"Down 186 =231", "Up 186"}},
  };
  return table;
}

// ---- collecting what a backend posts ----

std::string Describe(const KeyEvent& key) {
  std::string text = key.action == KeyAction::Release ? "Up " : "Down ";
  text += std::to_string(key.virtualKey);
  if (key.character) text += " =" + std::to_string(*key.character);
  if (key.modifiers & ModCtrl) text += " Ctrl";
  if (key.modifiers & ModAlt) text += " Alt";
  if (key.modifiers & ModShift) text += " Shift";
  return text;
}

std::string Describe(const Message& message) {
  const auto* key = std::get_if<KeyEvent>(&message.input);
  return key && message.message == WM_APP_KEY ? Describe(*key) : "";
}

// The key events posted until 'count' have come (or two seconds passed), and any that
// follow within a moment after.
Events TakeKeyEvents(std::size_t count) {
  Events taken;
  const auto start = std::chrono::steady_clock::now();
  auto quietSince = start;
  for (;;) {
    Message message;
    bool any = false;
    while (PeekMessage(message)) {
      any = true;
      if (const std::string text = Describe(message); !text.empty()) taken.push_back(text);
    }
    const auto now = std::chrono::steady_clock::now();
    if (any) quietSince = now;
    if (taken.size() >= count && now - quietSince > std::chrono::milliseconds(100)) break;
    if (now - start > std::chrono::seconds(2)) break;
    CurrentBackend().WaitEvents(10);
  }
  return taken;
}

struct Uninstall {
  ~Uninstall() { SetBackend(nullptr); }
};

TEST(KeyEventsOfBothBackends, TheWindowPostsTheTableForWhatSdlDelivers) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::string error;
  auto backend = CreateWindowBackend(error);
  ASSERT_TRUE(backend) << error;
  ASSERT_TRUE(backend->OpenWindow("teclas", {640, 400}));
  SetBackend(std::move(backend));
  const Uninstall uninstall;
  for (const Keystroke& stroke : Keystrokes()) {
    Events posted;
    for (const WindowBatch& batch : stroke.window) {
      for (const WindowStep& step : batch) {
        SDL_SetModState(static_cast<SDL_Keymod>(step.mod));
        SDL_Event event{};
        if (step.type == WindowStep::Text) {
          event.type = SDL_TEXTINPUT;
          SDL_strlcpy(event.text.text, step.text, sizeof event.text.text);
        } else {
          event.type = step.type == WindowStep::Up ? SDL_KEYUP : SDL_KEYDOWN;
          event.key.repeat = step.type == WindowStep::Repeat;
          event.key.keysym.scancode = step.scancode;
          event.key.keysym.sym = SDL_GetKeyFromScancode(step.scancode);
          event.key.keysym.mod = step.mod;
        }
        ASSERT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
      }
      CurrentBackend().PollEvents();  // SDL posts what it has at once
      Message message;
      while (PeekMessage(message)) {
        if (const std::string text = Describe(message); !text.empty()) posted.push_back(text);
      }
    }
    SDL_SetModState(KMOD_NONE);
    EXPECT_EQ(posted, stroke.events) << stroke.name;
  }
}

TEST(KeyEventsOfEveryBackend, TheWindowsWindowPostsTheTableForWhatWindowsSends) {
  for (const Keystroke& stroke : Keystrokes()) {
    KeyMessageTranslator translator;
    Events posted;
    for (const GdiStep& step : stroke.gdi) {
      const intptr_t lParam = 1 | (intptr_t{step.scanCode} << 16);
      for (const KeyEvent& key : translator.Translate(step.message, step.wParam, lParam, step.modifiers)) {
        posted.push_back(Describe(key));
      }
    }
    if (const auto key = translator.Flush()) posted.push_back(Describe(*key));
    EXPECT_EQ(posted, stroke.events) << stroke.name;
  }
}

TEST(KeyEventsOfEveryBackend, AKeyScriptPostsTheTable) {
  const Uninstall uninstall;
  for (const Keystroke& stroke : Keystrokes()) {
    if (stroke.script.empty()) continue;
    std::vector<ScriptItem> items;
    std::string error;
    ASSERT_TRUE(ParseKeyScript(stroke.script, items, error)) << stroke.name << ": " << error;
    auto backend = std::make_unique<HeadlessBackend>();
    HeadlessBackend& headless = *backend;
    headless.SetScript(std::move(items));
    SetBackend(std::move(backend));
    Events posted;
    while (!headless.ScriptFinished()) {
      headless.WaitEvents(-1);  // the program waits: the script's next key comes
      Message message;
      while (PeekMessage(message)) {
        if (const std::string text = Describe(message); !text.empty()) posted.push_back(text);
      }
    }
    EXPECT_EQ(posted, stroke.events) << stroke.name;
  }
}

// The page's key map: the virtual key of each key place (event.code) the page names, read
// from the page itself.
std::map<std::string, int> PageKeyMap() {
  std::ifstream file(QUELVAR_SOURCE_DIR "/web/page.js");
  std::stringstream text;
  text << file.rdbuf();
  const std::string page = text.str();
  const std::size_t start = page.find("const NamedKeys = {");
  const std::size_t end = page.find("};", start);
  std::map<std::string, int> map;
  if (start == std::string::npos || end == std::string::npos) return map;
  const std::string body = page.substr(start, end - start);
  const std::regex entry(R"((\w+): 0x([0-9A-Fa-f]+))");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), entry); it != std::sregex_iterator(); ++it) {
    map[(*it)[1]] = std::stoi((*it)[2], nullptr, 16);
  }
  return map;
}

// The page's virtualKey(code): letters and digits by their place, the function keys, then
// the map.
int PageVirtualKey(const std::map<std::string, int>& map, const std::string& code) {
  if (code.size() == 4 && code.starts_with("Key")) return code[3];
  if (code.size() == 6 && code.starts_with("Digit")) return code[5];
  if (code.size() >= 2 && code[0] == 'F' && std::isdigit(static_cast<unsigned char>(code[1]))) {
    return VK_F1 - 1 + std::stoi(code.substr(1));
  }
  const auto it = map.find(code);
  return it == map.end() ? 0 : it->second;
}

TEST(KeyEventsOfEveryBackend, ThePagePostsTheTableThroughItsKeyMap) {
  const std::map<std::string, int> map = PageKeyMap();
  ASSERT_FALSE(map.empty());
  for (const Keystroke& stroke : Keystrokes()) {
    if (stroke.page.empty()) continue;
    Events posted;
    for (const PageStep& step : stroke.page) {
      posted.push_back(
          Describe(WebKeyEvent(step.down, PageVirtualKey(map, step.code), step.modifiers, step.character)));
    }
    EXPECT_EQ(posted, stroke.events) << stroke.name;
  }
}

TEST(KeyEventsOfEveryBackend, ThePagesKeyMapSpeaksTheOneVocabulary) {
  const std::map<std::string, int> expected = {
      {"Backspace", VK_BACK},    {"Tab", VK_TAB},
      {"Enter", VK_RETURN},      {"NumpadEnter", VK_RETURN},
      {"Escape", VK_ESCAPE},     {"Space", VK_SPACE},
      {"PageUp", VK_PRIOR},      {"PageDown", VK_NEXT},
      {"End", VK_END},           {"Home", VK_HOME},
      {"ArrowLeft", VK_LEFT},    {"ArrowUp", VK_UP},
      {"ArrowRight", VK_RIGHT},  {"ArrowDown", VK_DOWN},
      {"Insert", VK_INSERT},     {"Delete", VK_DELETE},
      {"Semicolon", VK_OEM_1},   {"Equal", VK_OEM_PLUS},
      {"Comma", VK_OEM_COMMA},   {"Minus", VK_OEM_MINUS},
      {"Period", VK_OEM_PERIOD}, {"Slash", VK_OEM_2},
      {"Backquote", VK_OEM_3},   {"BracketLeft", VK_OEM_4},
      {"Backslash", VK_OEM_5},   {"BracketRight", VK_OEM_6},
      {"Quote", VK_OEM_7},       {"IntlBackslash", VK_OEM_102},
      {"IntlRo", VK_ABNT_C1},
  };
  EXPECT_EQ(PageKeyMap(), expected);
  // The same places through SDL, where SDL names them alike.
  for (const auto& [code, virtualKey] : expected) {
    const SDL_Scancode scancode = SDL_GetScancodeFromName(code.c_str());
    if (scancode == SDL_SCANCODE_UNKNOWN) continue;
    SDL_Keysym keysym{};
    keysym.scancode = scancode;
    EXPECT_EQ(sdl::VirtualKeyOf(keysym), virtualKey) << code;
  }
}

// A terminal console on a pty whose far side the test plays.
class TerminalConsole : public ::testing::Test {
 protected:
  void Open(TerminalKind kind) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    terminal_ = std::make_unique<PtyTerminal>(kind);
    std::string error;
    auto backend = CreateTerminalBackendOn(terminal_->Slave(), terminal_->Slave(), error);
    ASSERT_TRUE(backend) << error;
    SetBackend(std::move(backend));
  }
  void TearDown() override { SetBackend(nullptr); }

  std::unique_ptr<PtyTerminal> terminal_;
};

TEST_F(TerminalConsole, AProtocolTerminalPostsTheTableAsTheWindowDoes) {
  Open(TerminalKind::Protocol);
  EXPECT_NE(terminal_->WaitFor(std::string(testing::FlagsPush)), std::string::npos);
  EXPECT_TRUE(ReportsKeyReleases());
  TakeKeyEvents(0);
  for (const Keystroke& stroke : Keystrokes()) {
    terminal_->Send(stroke.terminal);
    EXPECT_EQ(TakeKeyEvents(stroke.events.size()), stroke.events) << stroke.name;
  }
}

TEST_F(TerminalConsole, APlainTerminalPressesAndReleasesEachKeyAtOnce) {
  Open(TerminalKind::Plain);
  EXPECT_FALSE(ReportsKeyReleases());
  terminal_->Send("\x1b[1;5Ds");
  EXPECT_EQ(TakeKeyEvents(4), (Events{"Down 37 Ctrl", "Up 37 Ctrl", "Down 83 =115", "Up 83"}));
  // The protocol's reports still decode; a release never comes twice.
  terminal_->Send("\x1b[115;;115u\x1b[115;1:3u");
  EXPECT_EQ(TakeKeyEvents(2), (Events{"Down 83 =115", "Up 83"}));
  EXPECT_EQ(terminal_->Output().find(testing::FlagsPush), std::string::npos);
}

TEST_F(TerminalConsole, ATerminalThatAnswersNothingIsAskedNoLongerThanTheBoundedWait) {
  Open(TerminalKind::Silent);  // comes back: the wait has its bound
  EXPECT_FALSE(ReportsKeyReleases());
  EXPECT_EQ(terminal_->Output().find(testing::FlagsPush), std::string::npos);
}

TEST_F(TerminalConsole, ALateAnswerStillTurnsTheProtocolOnAndTellsTheConsole) {
  Open(TerminalKind::Late);
  EXPECT_FALSE(ReportsKeyReleases());
  bool told = false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!told && std::chrono::steady_clock::now() < until) {
    Message message;
    while (PeekMessage(message)) told = told || message.message == WM_APP_KEYRELEASES;
    CurrentBackend().WaitEvents(10);
  }
  EXPECT_TRUE(told);
  EXPECT_TRUE(ReportsKeyReleases());
  terminal_->Send("\x1b[32;;32u");
  EXPECT_EQ(TakeKeyEvents(1), (Events{"Down 32 =32"}));  // the release is yet to come
}

TEST_F(TerminalConsole, ATerminalThatAnswersTheFlagsOnlyOnceStillSpeaksTheProtocol) {
  Open(TerminalKind::OneAnswer);
  // Whether it reports releases is known only once one comes.
  EXPECT_FALSE(ReportsKeyReleases());
  terminal_->Send("\x1b[32;;32u\x1b[32;1:3u");
  EXPECT_EQ(TakeKeyEvents(2), (Events{"Down 32 =32", "Up 32"}));
  EXPECT_TRUE(ReportsKeyReleases());
  EXPECT_EQ(terminal_->Output().find(testing::FlagsPop), std::string::npos);
}

TEST_F(TerminalConsole, HalfTheProtocolIsTakenBackAndTheKeysStayAsTheyWere) {
  Open(TerminalKind::NoReleases);
  const std::size_t pushed = terminal_->WaitFor(std::string(testing::FlagsPush));
  ASSERT_NE(pushed, std::string::npos);
  EXPECT_NE(terminal_->WaitFor(std::string(testing::FlagsPop), pushed), std::string::npos);
  // The console is never told of releases that do not come.
  Message message;
  bool told = false;
  while (PeekMessage(message)) told = told || message.message == WM_APP_KEYRELEASES;
  EXPECT_FALSE(told);
  EXPECT_FALSE(ReportsKeyReleases());
  terminal_->Send("\x1b[1;5D");
  EXPECT_EQ(TakeKeyEvents(2), (Events{"Down 37 Ctrl", "Up 37 Ctrl"}));
}

TEST_F(TerminalConsole, GivingTheTerminalBackPopsTheFlagsOnTheConsolesOwnScreen) {
  Open(TerminalKind::Protocol);
  const std::size_t pushed = terminal_->WaitFor(std::string(testing::FlagsPush));
  ASSERT_NE(pushed, std::string::npos);
  EXPECT_TRUE(terminal_->Raw());
  SetBackend(nullptr);  // the program's end
  const std::size_t popped = terminal_->WaitFor(std::string(testing::FlagsPop), pushed);
  const std::size_t normal = terminal_->WaitFor(std::string(testing::NormalScreen), pushed);
  ASSERT_NE(popped, std::string::npos);
  EXPECT_LT(popped, normal);
  EXPECT_FALSE(terminal_->Raw());
}

}  // namespace
}  // namespace platform
