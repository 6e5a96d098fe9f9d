// The key queue: codes of special keys, Alt rules, limits, Braille chords, tones, lines.

#include <vector>

#include "console/braille.h"
#include "console/keyboard.h"
#include "console/screen.h"
#include "console_fixture.h"
#include "platform/braille/braille.h"
#include "platform/core/win.h"

using namespace console;
using namespace platform;

namespace {

using Codes = std::vector<int>;
using KeyboardTest = ConsoleTest;

TEST_F(KeyboardTest, SpecialKeysQueueZeroAndTheirCode) {
  Press(VK_UP);
  EXPECT_EQ(DrainQueue(), (Codes{0, 72}));
  Press(VK_LEFT, ModCtrl);
  EXPECT_EQ(DrainQueue(), (Codes{0, 115}));
  Press(VK_INSERT, ModShift);
  EXPECT_EQ(DrainQueue(), (Codes{0, 254}));
  Press(VK_INSERT, ModCtrl);
  EXPECT_EQ(DrainQueue(), (Codes{0, 255}));
  Press(VK_INSERT, ModCtrl | ModShift);
  EXPECT_EQ(DrainQueue(), (Codes{0, 255}));
  Press(VK_DELETE);
  Press(VK_DELETE, ModCtrl);
  EXPECT_EQ(DrainQueue(), (Codes{0, 83, 0, 83}));
  Press(VK_F1 + 1);
  Press(VK_F11, ModCtrl);
  EXPECT_EQ(DrainQueue(), (Codes{0, 60, 0, 104}));
}

TEST_F(KeyboardTest, CtrlChangesBackspaceAndEnter) {
  Press(VK_BACK, ModCtrl);
  Press(VK_RETURN, ModCtrl);
  Press(VK_BACK);
  Press(VK_RETURN);
  EXPECT_EQ(DrainQueue(), (Codes{127, 10, 8, 13}));
}

TEST_F(KeyboardTest, CharactersAreQueuedAsTheirBytes) {
  Press('A', 0, 'a');
  Press(0, 0, 0xE3);
  Press('C', ModCtrl);
  EXPECT_EQ(DrainQueue(), (Codes{'a', 0xE3, 3}));
}

TEST_F(KeyboardTest, AltCombinationsGoToThePlatformExceptLeftAndRight) {
  Press('X', ModAlt);
  EXPECT_EQ(DrainQueue(), Codes{});
  Press(VK_RIGHT, ModAlt);
  EXPECT_EQ(DrainQueue(), (Codes{0, 77}));
  Press(VK_LEFT, ModAlt);
  EXPECT_EQ(DrainQueue(), (Codes{0, 75}));
  Press('X', ModCtrl | ModAlt);
  EXPECT_EQ(DrainQueue(), (Codes{0, 45}));
  Press('1', ModCtrl | ModAlt);
  EXPECT_EQ(DrainQueue(), (Codes{0, 120}));
}

TEST_F(KeyboardTest, AltF4ClosesTheWindow) {
  EXPECT_THROW(Press(VK_F1 + 3, ModAlt), ProgramExit);
  EXPECT_FALSE(Backend().WindowOpen());
}

TEST_F(KeyboardTest, CtrlBreakEndsTheProgramWithCode255) {
  try {
    Press(VK_CANCEL, ModCtrl);
    FAIL() << "Ctrl+Break did not end the program";
  } catch (const ProgramExit& exit) {
    EXPECT_EQ(exit.code, 255);
  }
}

TEST_F(KeyboardTest, AFullQueueDropsKeysByTheirSize) {
  for (int i = 0; i < 63; ++i) Press('A', 0, 'a');
  Press(VK_UP);  // needs two codes
  Press('B', 0, 'b');
  Codes codes = DrainQueue();
  ASSERT_EQ(codes.size(), 64u);
  EXPECT_EQ(codes.back(), 'b');
  for (int i = 0; i < 64; ++i) Press('A', 0, 'a');
  Press('B', 0, 'b');
  codes = DrainQueue();
  ASSERT_EQ(codes.size(), 64u);
  EXPECT_EQ(codes.back(), 'a');
  for (int i = 0; i < 62; ++i) Press('A', 0, 'a');
  Press(VK_UP);
  codes = DrainQueue();
  ASSERT_EQ(codes.size(), 64u);
  EXPECT_EQ(codes[63], 72);
}

// A key keeps the modifiers it went down with, and a routing key its cell, however many keys
// wait behind it; what WaitKey leaves of an extended key comes whole as its second code.
TEST_F(KeyboardTest, QueuedKeysKeepTheirOwnModifiersAndPlaces) {
  ASSERT_TRUE(OpenBrailleLog(configDir_ + "/braille"));  // a display's width, for its routing keys
  Press(VK_RIGHT);
  Press(VK_RIGHT, ModCtrl);
  Press(VK_END);
  Press(VK_END, ModShift);
  Press('A', ModShift, 'A');
  for (const intptr_t cell : {3, 7}) {
    PostBrailleCommand(BrailleCommand::Route, cell);
  }
  KeyAvailable();
  CloseBrailleLog();
  EXPECT_EQ(WaitKeyPress(), (KeyPress{0, 77, 0, {}}));
  EXPECT_EQ(WaitKeyPress(), (KeyPress{0, 116, ModCtrl, {}}));
  EXPECT_EQ(WaitKeyPress(), (KeyPress{0, 79, 0, {}}));
  EXPECT_EQ(WaitKey(), 0);
  EXPECT_EQ(WaitKeyPress(), (KeyPress{79, 0, ModShift, {}}));
  EXPECT_EQ(WaitKeyPress(), (KeyPress{'A', 0, ModShift, {}}));
  EXPECT_EQ(WaitKeyPress(), (KeyPress{0, keycode::ext::BrailleRoute, 0, {1, 4}}));
  EXPECT_EQ(WaitKeyPress(), (KeyPress{0, keycode::ext::BrailleRoute, 0, {1, 8}}));
  EXPECT_FALSE(KeyAvailable());
}

class BrailleTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    EnsureConsoleWindow();  // the window's creation sets the configured mode
  }
  void Chord(std::initializer_list<int> keys) {
    for (const int key : keys) Press(key, 0, key == VK_SPACE ? uint8_t{' '} : static_cast<uint8_t>(key + 32));
    for (const int key : keys) Release(key);
  }
};

TEST_F(BrailleTest, ModeOneTurnsChordsIntoCharacters) {
  SetBrailleMode(1);
  Chord({'F', 'D'});
  Chord({VK_SPACE});
  Chord({VK_SPACE, 'F'});
  Chord({'F', 'J', 'K', 'L'});  // dots 1 4 5 6 = 57: ô
  EXPECT_EQ(DrainQueue(), (Codes{'b', ' ', 1, 0xF4}));
}

TEST_F(BrailleTest, ALetterKeyThatIsNoDotGivesABlank) {
  SetBrailleMode(1);
  Press('Q', 0, 'q');
  Release('Q');
  EXPECT_EQ(DrainQueue(), (Codes{' '}));
}

TEST_F(BrailleTest, ModeTwoCapitalSignAndCapsLock) {
  SetBrailleMode(2);
  Chord({'J', 'L'});  // capital sign
  Chord({'F'});
  Chord({'F'});
  EXPECT_EQ(DrainQueue(), (Codes{'A', 'a'}));
  Chord({'J', 'L'});
  Chord({'J', 'L'});
  Chord({'F'});
  Chord({'F', 'D'});
  EXPECT_EQ(DrainQueue(), (Codes{'A', 'B'}));
  Chord({VK_SPACE});
  Chord({'F'});
  EXPECT_EQ(DrainQueue(), (Codes{' ', 'a'}));
  Chord({'J', 'L'});
  Chord({'J', 'L'});
  Press('X', ModCtrl);
  Release('X', ModCtrl);  // releasing with Ctrl clears the signs
  DrainQueue();
  Chord({'F'});
  EXPECT_EQ(DrainQueue(), (Codes{'a'}));
}

TEST_F(BrailleTest, ModeTwoNumberSign) {
  SetBrailleMode(2);
  Chord({'S', 'J', 'K', 'L'});  // number sign
  Chord({'F'});
  Chord({'F', 'D'});
  Chord({'D', 'K', 'J'});  // j -> 0
  EXPECT_EQ(DrainQueue(), (Codes{'1', '2', '0'}));
}

TEST_F(BrailleTest, ModeSwitchesPlayTheirTones) {
  // The length of the first square-wave period, in samples after the 44-byte header.
  const auto period = [](const platform::LoopEvent& loop) {
    std::size_t i = 44;
    while (i < loop.image.size() && loop.image[i] == 96) ++i;
    while (i < loop.image.size() && loop.image[i] == 160) ++i;
    return static_cast<int>(i - 44);
  };
  Press(VK_F11, ModCtrl | ModAlt);
  EXPECT_EQ(BrailleMode(), 1);
  Press(VK_F11, ModCtrl | ModAlt);
  EXPECT_EQ(BrailleMode(), 2);
  Press(VK_F12, ModCtrl | ModAlt);
  EXPECT_EQ(BrailleMode(), 0);
  const auto& loops = Sound().Loops();
  ASSERT_EQ(loops.size(), 5u);
  EXPECT_EQ(period(loops[0]), 11025 / 800);
  EXPECT_EQ(period(loops[1]), 11025 / 1600);
  EXPECT_EQ(period(loops[2]), 11025 / 800);
  EXPECT_EQ(period(loops[3]), 11025 / 400);
  EXPECT_EQ(period(loops[4]), 11025 / 100);
  for (const auto& loop : loops) EXPECT_EQ(loop.stopMs - loop.startMs, 200u);
}

TEST_F(BrailleTest, CtrlShiftSwitchesAsCtrlAltDoes) {
  Press(VK_F11, ModCtrl | ModShift);
  EXPECT_EQ(BrailleMode(), 1);
  Press(VK_F11, ModCtrl | ModShift);
  EXPECT_EQ(BrailleMode(), 2);
  Press(VK_F12, ModCtrl | ModShift);
  EXPECT_EQ(BrailleMode(), 0);
  EXPECT_EQ(Sound().Loops().size(), 5u);
  EXPECT_EQ(DrainQueue(), Codes{}) << "a switch queues no key";
}

std::vector<std::string> gNotices;

TEST_F(BrailleTest, WithoutKeyReleasesTheChordsSayWhyAndLeaveTheKeyboardOff) {
  gNotices.clear();
  SetNoticeSpeaker([](std::string_view notice) { gNotices.emplace_back(notice); });
  Backend().SetKeyReleases(false);
  SetStartingBrailleMode(1);
  Press(VK_F11, ModCtrl | ModShift);
  Press(VK_F11, ModCtrl | ModAlt);
  Press(VK_F12, ModCtrl | ModShift);  // off is off: nothing to say
  EXPECT_EQ(BrailleMode(), 0);
  EXPECT_TRUE(Sound().Loops().empty());
  EXPECT_EQ(gNotices, std::vector<std::string>(2, std::string(BrailleUnavailableNotice)));
  Press('F', 0, 'f');
  EXPECT_EQ(DrainQueue(), Codes{'f'}) << "letters stay letters";
  SetNoticeSpeaker(nullptr);
  Backend().SetKeyReleases(true);
}

TEST_F(BrailleTest, AConsoleThatLearnsOfKeyReleasesLateStartsTheConfiguredMode) {
  Backend().SetKeyReleases(false);
  SetStartingBrailleMode(2);
  EXPECT_EQ(BrailleMode(), 0);
  EXPECT_TRUE(Sound().Loops().empty());
  Backend().SetKeyReleases(true);  // a terminal's late answer
  PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  PumpMessages();
  EXPECT_EQ(BrailleMode(), 2);
  EXPECT_EQ(Sound().Loops().size(), 2u);  // the mode's two tones, then nothing more
  PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  PumpMessages();
  EXPECT_EQ(Sound().Loops().size(), 2u);
}

// A terminal that seemed to report releases and then does not (or never did, though the
// mode is on): both chords that turn the keyboard off still do, and a late word of releases
// that are no longer reported starts nothing.
TEST_F(BrailleTest, TheKeyboardCanAlwaysBeTurnedOffWhateverTheTerminalReports) {
  SetStartingBrailleMode(1);
  ASSERT_EQ(BrailleMode(), 1);
  Backend().SetKeyReleases(false);
  Press(VK_F12, ModCtrl | ModShift);
  EXPECT_EQ(BrailleMode(), 0);
  SetBrailleMode(2);
  Press(VK_F12, ModCtrl | ModAlt);
  EXPECT_EQ(BrailleMode(), 0);
  Press('O', 0, 'o');
  EXPECT_EQ(DrainQueue(), Codes{'o'});

  SetStartingBrailleMode(1);  // held back
  PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  PumpMessages();
  EXPECT_EQ(BrailleMode(), 0);
  // Turned off before releases came: it stays off when they do.
  Press(VK_F12, ModCtrl | ModShift);
  Backend().SetKeyReleases(true);
  PostMessage(ConsoleWindowHandle, WM_APP_KEYRELEASES);
  PumpMessages();
  EXPECT_EQ(BrailleMode(), 0);
}

TEST_F(BrailleTest, NoticesBeforeSpeechWaitForTheSpeaker) {
  gNotices.clear();
  SetNoticeSpeaker(nullptr);
  SpeakNotice("um");
  PostNotice("dois");
  PumpMessages();
  EXPECT_TRUE(gNotices.empty());
  SetNoticeSpeaker([](std::string_view notice) { gNotices.emplace_back(notice); });
  EXPECT_EQ(gNotices, (std::vector<std::string>{"um", "dois"}));
  SetNoticeSpeaker(nullptr);
}

TEST_F(BrailleTest, ToneImageFollowsTheSquareWaveLayout) {
  EnsureConsoleWindow();
  StartTone(100);
  const auto& image = Sound().Loops().back().image;
  const uint32_t dataLength = image[40] | image[41] << 8 | image[42] << 16 | image[43] << 24;
  ASSERT_EQ(image.size(), 44 + dataLength);
  // Period k starts at 11025 k / 100; they are added while 44 + start <= 11025 - 110,
  // so the 99th (start 10914) is the first left out and its start is the data length.
  EXPECT_EQ(dataLength, 10914u);
  EXPECT_EQ(image[44 + dataLength - 1], 128);
  EXPECT_EQ(image[44 + 54], 96);
  EXPECT_EQ(image[44 + 55], 160);
  StopTone();
}

TEST_F(KeyboardTest, EchoedLineHonoursBackspace) {
  for (const uint8_t ch : {'a', 'b', 'c'}) Press(ch - 32, 0, ch);
  Press(VK_BACK);
  Press('D', 0, 'd');
  Press(VK_RETURN);
  EXPECT_EQ(ReadEchoedLine(), "abd");
  EXPECT_EQ(ScreenCharAt(1, 1), 'a');
  EXPECT_EQ(ScreenCharAt(3, 1), 'd');
  EXPECT_EQ(CursorRow(), 2);
}

TEST_F(KeyboardTest, EchoedLineKeepsToItsBufferAndStoresExtendedSecondCodes) {
  for (int i = 0; i < 10; ++i) Press('A', 0, 'a');
  Press(VK_UP);
  Press(VK_RETURN);
  EXPECT_EQ(ReadEchoedLine(8), "aaaaaa");
  Press(VK_UP);
  Press(VK_RETURN);
  EXPECT_EQ(ReadEchoedLine(), "H");
}

TEST_F(KeyboardTest, WaitKeyShowsTheCaretUnderTheCursorWhileWaiting) {
  MoveCursor(5, 3);
  platform::ScheduleCallback(platform::NowMs() + 10, [] { platform::PostKeyEvent({'A', 0, 'a'}, true); });
  EXPECT_FALSE(Backend().CaretVisible());
  EXPECT_EQ(WaitKey(), 'a');
  EXPECT_FALSE(Backend().CaretVisible());
  EXPECT_EQ(Backend().CaretX(), 4);
  EXPECT_EQ(Backend().CaretY(), 2);
}

TEST_F(KeyboardTest, PauseAdvancesTheClockAndCollectsKeys) {
  EnsureConsoleWindow();
  const uint64_t before = platform::NowMs();
  platform::ScheduleCallback(before + 50, [] { platform::PostKeyEvent({'Z', 0, 'z'}, true); });
  Pause(200);
  EXPECT_EQ(platform::NowMs() - before, 200u);
  EXPECT_EQ(DrainQueue(), (Codes{'z'}));
}

}  // namespace
