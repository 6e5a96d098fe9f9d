// One table of keystrokes, each as the kitty keyboard protocol reports it (what kitty 0.26.5
// sends with the console's flags) and as SDL delivers it to the window; both backends must
// post the same key messages for it. Then the terminal's side of the protocol: asking,
// late answers, half answers and none, and giving the terminal back.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/backends/shared/window_backend.h"
#include "platform/backends/terminal/terminal_backend.h"
#include "pty_terminal.h"

namespace platform {
namespace {

using testing::PtyTerminal;
using testing::TerminalKind;
using Messages = std::vector<std::string>;

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

struct Keystroke {
  const char* name;
  std::string terminal;
  std::vector<WindowBatch> window;
  Messages messages;
};

const std::vector<Keystroke>& Keystrokes() {
  static const std::vector<Keystroke> table = {
      {"Braille chord S D F J K L, L repeating, then let go",
       "\x1b[115;;115u\x1b[100;;100u\x1b[102;;102u\x1b[106;;106u\x1b[107;;107u\x1b[108;;108u\x1b[108;1:2;108u"
       "\x1b[115;1:3u\x1b[100;1:3u\x1b[102;1:3u\x1b[106;1:3u\x1b[107;1:3u\x1b[108;1:3u",
       {Typed(SDL_SCANCODE_S, "s"), Typed(SDL_SCANCODE_D, "d"), Typed(SDL_SCANCODE_F, "f"), Typed(SDL_SCANCODE_J, "j"),
        Typed(SDL_SCANCODE_K, "k"), Typed(SDL_SCANCODE_L, "l"), Repeated(SDL_SCANCODE_L, "l"), Released(SDL_SCANCODE_S),
        Released(SDL_SCANCODE_D), Released(SDL_SCANCODE_F), Released(SDL_SCANCODE_J), Released(SDL_SCANCODE_K),
        Released(SDL_SCANCODE_L)},
       {"KEYDOWN 83", "CHAR 115",   "KEYDOWN 68", "CHAR 100",   "KEYDOWN 70", "CHAR 102",   "KEYDOWN 74",
        "CHAR 106",   "KEYDOWN 75", "CHAR 107",   "KEYDOWN 76", "CHAR 108",   "KEYDOWN 76", "CHAR 108",
        "KEYUP 83",   "KEYUP 68",   "KEYUP 70",   "KEYUP 74",   "KEYUP 75",   "KEYUP 76"}},
      {"Braille chord F J, J let go first",
       "\x1b[102;;102u\x1b[106;;106u\x1b[106;1:3u\x1b[102;1:3u",
       {Typed(SDL_SCANCODE_F, "f"), Typed(SDL_SCANCODE_J, "j"), Released(SDL_SCANCODE_J), Released(SDL_SCANCODE_F)},
       {"KEYDOWN 70", "CHAR 102", "KEYDOWN 74", "CHAR 106", "KEYUP 74", "KEYUP 70"}},
      {"Space",
       "\x1b[32;;32u\x1b[32;1:3u",
       {Typed(SDL_SCANCODE_SPACE, " "), Released(SDL_SCANCODE_SPACE)},
       {"KEYDOWN 32", "CHAR 32", "KEYUP 32"}},
      {"Ctrl+Left, Ctrl let go first",
       "\x1b[57442u\x1b[1;5D\x1b[57442;5:3u\x1b[1;1:3D",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LEFT, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL),
        Released(SDL_SCANCODE_LEFT)},
       {"KEYDOWN 17 Ctrl", "KEYDOWN 37 Ctrl", "KEYUP 17", "KEYUP 37"}},
      {"Shift+End",
       "\x1b[57441u\x1b[1;2F\x1b[57441;2:3u\x1b[1;1:3F",
       {Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT), Pressed(SDL_SCANCODE_END, KMOD_LSHIFT),
        Released(SDL_SCANCODE_LSHIFT), Released(SDL_SCANCODE_END)},
       {"KEYDOWN 16 Shift", "KEYDOWN 35 Shift", "KEYUP 16", "KEYUP 35"}},
      {"Ctrl+Shift+F9, the screen review",
       "\x1b[57442u\x1b[57441;5u\x1b[20;6~\x1b[57441;6:3u\x1b[57442;5:3u\x1b[20;1:3~",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LCTRL | KMOD_LSHIFT),
        Pressed(SDL_SCANCODE_F9, KMOD_LCTRL | KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT, KMOD_LCTRL),
        Released(SDL_SCANCODE_LCTRL), Released(SDL_SCANCODE_F9)},
       {"KEYDOWN 17 Ctrl", "KEYDOWN 16 Ctrl Shift", "KEYDOWN 120 Ctrl Shift", "KEYUP 16 Ctrl", "KEYUP 17",
        "KEYUP 120"}},
      {"Ctrl+Shift+F11, the Braille keyboard's switch",
       "\x1b[57442u\x1b[57441;5u\x1b[23;6~\x1b[23;6:3~\x1b[57441;6:3u\x1b[57442;5:3u",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LCTRL | KMOD_LSHIFT),
        Pressed(SDL_SCANCODE_F11, KMOD_LCTRL | KMOD_LSHIFT), Released(SDL_SCANCODE_F11, KMOD_LCTRL | KMOD_LSHIFT),
        Released(SDL_SCANCODE_LSHIFT, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL)},
       {"KEYDOWN 17 Ctrl", "KEYDOWN 16 Ctrl Shift", "KEYDOWN 122 Ctrl Shift", "KEYUP 122 Ctrl Shift", "KEYUP 16 Ctrl",
        "KEYUP 17"}},
      {"Text: o, Shift+A, Shift+1 and the ABNT2 key of c cedilla",
       "\x1b[111;;111u\x1b[111;1:3u\x1b[57441u\x1b[97:65;2;65u\x1b[57441;2:3u\x1b[97;1:3u"
       "\x1b[57441u\x1b[49:33;2;33u\x1b[49:33;2:3u\x1b[57441;2:3u\x1b[231::59;u\x1b[231::59;1:3u",
       {Typed(SDL_SCANCODE_O, "o"), Released(SDL_SCANCODE_O), Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT),
        Typed(SDL_SCANCODE_A, "A", KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT), Released(SDL_SCANCODE_A),
        Pressed(SDL_SCANCODE_LSHIFT, KMOD_LSHIFT), Typed(SDL_SCANCODE_1, "!", KMOD_LSHIFT),
        Released(SDL_SCANCODE_1, KMOD_LSHIFT), Released(SDL_SCANCODE_LSHIFT), Typed(SDL_SCANCODE_SEMICOLON, "\xc3\xa7"),
        Released(SDL_SCANCODE_SEMICOLON)},
       {"KEYDOWN 79", "CHAR 111", "KEYUP 79", "KEYDOWN 16 Shift", "KEYDOWN 65 Shift", "CHAR 65 Shift", "KEYUP 16",
        "KEYUP 65", "KEYDOWN 16 Shift", "KEYDOWN 49 Shift", "CHAR 33 Shift", "KEYUP 49 Shift", "KEYUP 16",
        "KEYDOWN 186", "CHAR 231", "KEYUP 186"}},
      {"Enter, Backspace and Esc",
       "\x1b[13u\x1b[13;1:3u\x1b[127u\x1b[127;1:3u\x1b[27u\x1b[27;1:3u",
       {Pressed(SDL_SCANCODE_RETURN), Released(SDL_SCANCODE_RETURN), Pressed(SDL_SCANCODE_BACKSPACE),
        Released(SDL_SCANCODE_BACKSPACE), Pressed(SDL_SCANCODE_ESCAPE), Released(SDL_SCANCODE_ESCAPE)},
       {"KEYDOWN 13", "CHAR 13", "KEYUP 13", "KEYDOWN 8", "CHAR 8", "KEYUP 8", "KEYDOWN 27", "CHAR 27", "KEYUP 27"}},
      {"Ctrl+C, Alt+X and Ctrl+Enter",
       "\x1b[57442u\x1b[99;5u\x1b[57442;5:3u\x1b[99;1:3u\x1b[57443u\x1b[120;3u\x1b[57443;3:3u\x1b[120;1:3u"
       "\x1b[57442u\x1b[13;5u\x1b[57442;5:3u\x1b[13;1:3u",
       {Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL), Pressed(SDL_SCANCODE_C, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL),
        Released(SDL_SCANCODE_C), Pressed(SDL_SCANCODE_LALT, KMOD_LALT), Pressed(SDL_SCANCODE_X, KMOD_LALT),
        Released(SDL_SCANCODE_LALT), Released(SDL_SCANCODE_X), Pressed(SDL_SCANCODE_LCTRL, KMOD_LCTRL),
        Pressed(SDL_SCANCODE_RETURN, KMOD_LCTRL), Released(SDL_SCANCODE_LCTRL), Released(SDL_SCANCODE_RETURN)},
       {"KEYDOWN 17 Ctrl", "KEYDOWN 67 Ctrl", "CHAR 3 Ctrl", "KEYUP 17", "KEYUP 67", "SYSKEYDOWN 18 Alt",
        "SYSKEYDOWN 88 Alt", "KEYUP 18", "KEYUP 88", "KEYDOWN 17 Ctrl", "KEYDOWN 13 Ctrl", "CHAR 13 Ctrl", "KEYUP 17",
        "KEYUP 13"}},
  };
  return table;
}

// ---- collecting what a backend posts ----

std::string Describe(const Message& message) {
  std::string text;
  switch (message.message) {
    case WM_KEYDOWN: text = "KEYDOWN"; break;
    case WM_KEYUP: text = "KEYUP"; break;
    case WM_SYSKEYDOWN: text = "SYSKEYDOWN"; break;
    case WM_SYSKEYUP: text = "SYSKEYUP"; break;
    case WM_CHAR: text = "CHAR"; break;
    case WM_SYSCHAR: text = "SYSCHAR"; break;
    default: return "";
  }
  text += " " + std::to_string(message.wParam);
  const uint32_t modifiers = KeyModifiers(message.lParam);
  if (modifiers & ModCtrl) text += " Ctrl";
  if (modifiers & ModAlt) text += " Alt";
  if (modifiers & ModShift) text += " Shift";
  return text;
}

// The key messages posted until 'count' have come (or two seconds passed), and any that
// follow within a moment after.
Messages TakeKeyMessages(std::size_t count) {
  Messages taken;
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
    Messages posted;
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
    EXPECT_EQ(posted, stroke.messages) << stroke.name;
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
  TakeKeyMessages(0);
  for (const Keystroke& stroke : Keystrokes()) {
    terminal_->Send(stroke.terminal);
    EXPECT_EQ(TakeKeyMessages(stroke.messages.size()), stroke.messages) << stroke.name;
  }
}

TEST_F(TerminalConsole, APlainTerminalPressesAndReleasesEachKeyAtOnce) {
  Open(TerminalKind::Plain);
  EXPECT_FALSE(ReportsKeyReleases());
  terminal_->Send("\x1b[1;5Ds");
  EXPECT_EQ(TakeKeyMessages(5), (Messages{"KEYDOWN 37 Ctrl", "KEYUP 37 Ctrl", "KEYDOWN 83", "CHAR 115", "KEYUP 83"}));
  // The protocol's reports still decode; a release never comes twice.
  terminal_->Send("\x1b[115;;115u\x1b[115;1:3u");
  EXPECT_EQ(TakeKeyMessages(3), (Messages{"KEYDOWN 83", "CHAR 115", "KEYUP 83"}));
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
  EXPECT_EQ(TakeKeyMessages(2), (Messages{"KEYDOWN 32", "CHAR 32"}));  // the release is yet to come
}

TEST_F(TerminalConsole, ATerminalThatAnswersTheFlagsOnlyOnceStillSpeaksTheProtocol) {
  Open(TerminalKind::OneAnswer);
  // Whether it reports releases is known only once one comes.
  EXPECT_FALSE(ReportsKeyReleases());
  terminal_->Send("\x1b[32;;32u\x1b[32;1:3u");
  EXPECT_EQ(TakeKeyMessages(3), (Messages{"KEYDOWN 32", "CHAR 32", "KEYUP 32"}));
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
  EXPECT_EQ(TakeKeyMessages(2), (Messages{"KEYDOWN 37 Ctrl", "KEYUP 37 Ctrl"}));
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
