// The whole game in a terminal on a pty: a terminal that speaks the kitty keyboard protocol
// gets the Braille keyboard, one that does not keeps the spoken notice; stopping and
// continuing gives the terminal back and takes it again; an ending signal leaves the
// player's terminal as it was, the protocol's flags popped.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pty_terminal.h"
#include "scratch.h"

namespace platform::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A Braille chord: the keys pressed one after another, then let go in the same order.
std::string Chord(std::string_view keys) {
  std::string reports;
  for (const char key : keys) reports += "\x1b[" + std::to_string(key) + ";;" + std::to_string(key) + "u";
  for (const char key : keys) reports += "\x1b[" + std::to_string(key) + ";1:3u";
  return reports;
}
const std::string Enter = "\x1b[13u\x1b[13;1:3u";
// Text typed key by key, each pressed and let go.
std::string Typed(std::string_view text) {
  std::string reports;
  for (const char c : text) {
    const std::string code = std::to_string(static_cast<unsigned char>(c));
    reports += "\x1b[" + code + ";;" + code + "u\x1b[" + code + ";1:3u";
  }
  return reports;
}
// A key reported as CSI 1;modifiers letter (arrows, Home, End), pressed and let go.
std::string Cursor(char letter, int modifiers = 1) {
  const std::string held = std::to_string(modifiers);
  return "\x1b[1;" + held + letter + "\x1b[1;" + held + ":3" + letter;
}

const std::string CtrlShiftF11 = "\x1b[57442u\x1b[57441;5u\x1b[23;6~\x1b[23;6:3~\x1b[57441;6:3u\x1b[57442;5:3u";

class GameInTerminal : public ::testing::Test {
 protected:
  // 'settings' are added to the test voice's TAMIRE.INI.
  void Start(TerminalKind kind, const std::string& settings = "") {
    folder_ = MakeTestFolder("terminal-game");
    ASSERT_FALSE(folder_.empty());
    std::ofstream(folder_ + "/TAMIRE.INI", std::ios::binary)
        << ReadFile(std::string(QUELVAR_TEST_VOICE) + "/TAMIRE.INI") << settings;
    terminal_ = std::make_unique<PtyTerminal>(kind);
    job_ = std::make_unique<PtyJob>(
        *terminal_,
        std::vector<std::string>{QUELVAR_PROGRAM, "--console=terminal", "--speech=builtin", "--config-dir=" + folder_,
                                 "--transcript=" + folder_ + "/transcript.txt",
                                 "--speech-log=" + folder_ + "/speech.txt"},
        // A sanitizer build's own SIGSEGV handler would end the program its own way; its
        // quarantine of freed memory would count as memory kept (Flood).
        std::vector<std::string>{"QUELVAR_DATA_DIR=" QUELVAR_TEST_VOICE, "TERM=xterm-kitty", "SDL_AUDIODRIVER=dummy",
                                 "HOME=" + folder_, "PATH=/usr/bin:/bin",
                                 "ASAN_OPTIONS=handle_segv=0:quarantine_size_mb=4"});
    ASSERT_GT(job_->Program(), 0);
  }
  void TearDown() override {
    job_.reset();
    terminal_.reset();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  // Waits until the story shows 'text' and the game waits for a key (the caret is on);
  // false when that does not come within a minute.
  bool WaitForPrompt(std::string_view text) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < until) {
      const std::string output = terminal_->Output();
      const std::size_t shown = output.rfind("\x1b[?25h"), hidden = output.rfind("\x1b[?25l");
      if (shown != std::string::npos && shown > hidden &&
          ReadFile(folder_ + "/transcript.txt").find(text) != std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "no prompt after '" << text << "'; the story so far:\n" << ReadFile(folder_ + "/transcript.txt");
    return false;
  }

  // Waits until the program, after 'from' in its output, waits for a key with the caret
  // shown; false when that does not come within a minute.
  bool WaitForCaret(std::size_t from) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (std::chrono::steady_clock::now() < until) {
      const std::string output = terminal_->Output();
      const std::size_t shown = output.rfind("\x1b[?25h"), hidden = output.rfind("\x1b[?25l");
      if (shown != std::string::npos && shown >= from && (hidden == std::string::npos || shown > hidden)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "the program never waited for a key again";
    return false;
  }

  // Types "olhar" and waits for it in the story, then ends the game as a player does: "fim",
  // and "n" to the question that follows.
  void LookThenEnd() {
    terminal_->Send("olhar\r");
    ASSERT_TRUE(WaitForPrompt(">olhar\n"));
    EndGame();
  }
  void EndGame() {
    terminal_->Send("fim\r");
    ASSERT_TRUE(WaitForPrompt("de novo?"));
    terminal_->Send("n\r");
    EXPECT_EQ(job_->Wait(), 0);
  }

  // SIGTSTP gives the terminal back as the end does; SIGCONT takes it again and draws the
  // whole screen anew.
  void StopAndContinue(std::size_t from, bool protocol) {
    EXPECT_EQ(kill(job_->Program(), SIGTSTP), 0);
    EXPECT_TRUE(job_->WaitStopped());
    const std::size_t normal = terminal_->WaitFor(NormalScreen, from);
    EXPECT_NE(normal, std::string::npos);
    if (protocol) {
      const std::size_t popped = terminal_->WaitFor(FlagsPop, from);
      EXPECT_LT(popped, normal);
    }
    EXPECT_FALSE(terminal_->Raw());

    EXPECT_EQ(kill(job_->Program(), SIGCONT), 0);
    const std::size_t alternate = terminal_->WaitFor(AlternateScreen, normal);
    EXPECT_NE(alternate, std::string::npos);
    if (protocol) {
      EXPECT_NE(terminal_->WaitFor(FlagsPush, alternate), std::string::npos);
    }
    const std::size_t redrawn = terminal_->WaitFor("Sua cabine", alternate);  // the whole screen
    EXPECT_NE(redrawn, std::string::npos) << ::testing::PrintToString(terminal_->Output().substr(normal));
    EXPECT_TRUE(terminal_->Raw());
  }

  std::string folder_;
  std::unique_ptr<PtyTerminal> terminal_;
  std::unique_ptr<PtyJob> job_;
};

TEST_F(GameInTerminal, AProtocolTerminalTypesBrailleChordsAlsoAfterAStop) {
  Start(TerminalKind::Protocol);
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  StopAndContinue(terminal_->Output().size(), true);
  terminal_->Send(CtrlShiftF11);
  // Braille mode 1 comes after its two tones of 200 ms; keys before then type letters.
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  // f (dots 1 2 4), i (2 4), m (1 3 4); then n (1 3 4 5) to the question that ends the game.
  terminal_->Send(Chord("fdj") + Chord("dj") + Chord("fsj") + Enter);
  ASSERT_TRUE(WaitForPrompt("de novo?"));
  terminal_->Send(Chord("fsjk") + Enter);
  EXPECT_EQ(job_->Wait(), 0);
  const std::string transcript = ReadFile(folder_ + "/transcript.txt");
  EXPECT_NE(transcript.find(">fim\n"), std::string::npos) << transcript;
  EXPECT_NE(transcript.find("novo?\nn\n"), std::string::npos) << transcript;
  EXPECT_EQ(ReadFile(folder_ + "/speech.txt").find("teclado Braille"), std::string::npos);
  const std::string output = terminal_->Output();
  EXPECT_LT(output.rfind(FlagsPop), output.rfind(NormalScreen));  // popped at the end too
}

TEST_F(GameInTerminal, APlainTerminalSaysTheBrailleKeyboardCannotWorkAndTypesAfterAStop) {
  Start(TerminalKind::Plain);
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  terminal_->Send("\x1b[23;6~");  // Ctrl+Shift+F11, as such a terminal sends it
  const std::string notice = "O teclado Braille s\xc3\xb3 funciona na janela";
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ReadFile(folder_ + "/speech.txt").find(notice) == std::string::npos &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_NE(ReadFile(folder_ + "/speech.txt").find(notice), std::string::npos);
  StopAndContinue(terminal_->Output().size(), false);
  terminal_->Send("fim\r");
  ASSERT_TRUE(WaitForPrompt("de novo?"));
  terminal_->Send("n\r");
  EXPECT_EQ(job_->Wait(), 0);
  EXPECT_NE(ReadFile(folder_ + "/transcript.txt").find(">fim\n"), std::string::npos);
  EXPECT_EQ(terminal_->Output().find(FlagsPush), std::string::npos);
}

// Keys typed while the game speaks are edited as each was typed: a Right before a Ctrl+Right
// moves one character, an End before a Shift+End selects nothing, whatever is held by the
// time the line editor comes to them. Had End been taken for Shift+End, "cd" would be
// selected and the Shift+Delete after them would remove it.
class KeysTypedAhead : public GameInTerminal {
 protected:
  // Plays "olhar" and sends the first of the strokes while the room is described again,
  // each of the others once the editor has taken the keys before it; the line is "ab Xcd"
  // if every key was edited as typed.
  void Play(TerminalKind kind, const std::vector<std::string>& strokes, const std::string& enter) {
    Start(kind);
    ASSERT_TRUE(WaitForPrompt("Sua cabine"));
    const std::string description = "Voc\xc3\xaa est\xc3\xa1 em sua cabine";
    const auto described = [&] {
      const std::string spoken = ReadFile(folder_ + "/speech.txt");
      const std::size_t first = spoken.find(description);
      return first != std::string::npos && spoken.find(description, first + 1) != std::string::npos;
    };
    terminal_->Send(TypedOn(kind, "olhar") + enter);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!described() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(described());
    for (std::size_t stroke = 0; stroke < strokes.size(); ++stroke) {
      const std::size_t sent = terminal_->Output().size();
      terminal_->Send(strokes[stroke]);  // all at once, as a quick typist's keys arrive
      if (stroke + 1 < strokes.size()) {
        ASSERT_TRUE(WaitForCaret(sent));
      }
    }
    ASSERT_TRUE(WaitForPrompt(">ab Xcd\n"));
    terminal_->Send(TypedOn(kind, "fim") + enter);
    ASSERT_TRUE(WaitForPrompt("de novo?"));
    terminal_->Send(TypedOn(kind, "n") + enter);
    EXPECT_EQ(job_->Wait(), 0);
  }
  // Text as the terminal sends it: plain bytes, or each key pressed and let go.
  static std::string TypedOn(TerminalKind kind, std::string_view text) {
    return kind == TerminalKind::Plain ? std::string(text) : Typed(text);
  }
};

TEST_F(KeysTypedAhead, InATerminalThatReportsReleasesWithShiftStillHeld) {
  const std::string ShiftDown = "\x1b[57441;2u", ShiftUp = "\x1b[57441;2:3u";
  const std::string CtrlRight = "\x1b[57442;5u" + Cursor('C', 5) + "\x1b[57442;5:3u";
  Play(TerminalKind::Protocol,
       {Typed("ab cd") + Cursor('H') + Cursor('C') + CtrlRight + Typed("X") + Cursor('F') + ShiftDown + Cursor('F', 2),
        "\x1b[3;2~\x1b[3;2:3~", ShiftUp + Enter},
       Enter);
}

TEST_F(KeysTypedAhead, InATerminalThatReportsNoReleases) {
  Play(TerminalKind::Plain, {"ab cd\x1b[H\x1b[C\x1b[1;5CX\x1b[F\x1b[1;2F", "\x1b[3;2~", "\r"}, "\r");
}

class GameEndedBySignal : public GameInTerminal, public ::testing::WithParamInterface<int> {};

TEST_P(GameEndedBySignal, LeavesTheTerminalAsItWasWithTheFlagsPopped) {
  Start(TerminalKind::Protocol);
  const std::size_t pushed = terminal_->WaitFor(FlagsPush);
  ASSERT_NE(pushed, std::string::npos);
  ASSERT_NE(terminal_->WaitFor("Ilha de Quelvar", pushed), std::string::npos);  // drawing the game
  ASSERT_EQ(kill(job_->Program(), GetParam()), 0);
  EXPECT_EQ(job_->Wait(), 128 + GetParam());
  const std::size_t popped = terminal_->WaitFor(FlagsPop, pushed);
  const std::size_t normal = terminal_->WaitFor(NormalScreen, pushed);
  ASSERT_NE(popped, std::string::npos);
  EXPECT_LT(popped, normal);
  EXPECT_FALSE(terminal_->Raw());
}

// The signals the console handles by name, and others that end a program all the same.
INSTANTIATE_TEST_SUITE_P(Signals, GameEndedBySignal,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGSEGV, SIGABRT, SIGUSR1, SIGUSR2, SIGALRM,
                                           SIGXCPU, SIGVTALRM, SIGRTMIN + 2),
                         [](const ::testing::TestParamInfo<int>& signal) {
                           const char* name = sigabbrev_np(signal.param);
                           return name ? std::string(name) : "RT" + std::to_string(signal.param);
                         });

// The peak of the program's resident memory, in MiB (0 when it cannot be read).
long PeakMemoryMiB(pid_t program) {
  std::ifstream status("/proc/" + std::to_string(program) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  }
  return 0;
}

// Input faster than the game takes it, of any size: the program keeps a bounded queue, and
// answers Enter once the flood is over.
class Flood : public GameInTerminal {
 protected:
  // Sends Enter until the story grows (an Enter that came while the queue was full is
  // dropped with the rest), then ends the game.
  void AnswersAndEnds() {
    const std::size_t before = ReadFile(folder_ + "/transcript.txt").size();
    for (int tries = 0; tries < 100 && ReadFile(folder_ + "/transcript.txt").size() == before; ++tries) {
      terminal_->Send("\r");
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_GT(ReadFile(folder_ + "/transcript.txt").size(), before) << "no answer after the flood";
    EndGame();
  }
};

TEST_F(Flood, APasteOfSeveralMegabytesKeepsMemoryFlat) {
  Start(TerminalKind::Plain);
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  const long before = PeakMemoryMiB(job_->Program());
  std::string line;
  while (line.size() < 64 * 1024) line += "pegar chave ";
  for (int i = 0; i < 48; ++i) terminal_->Send(line);  // 3 MiB
  const long peak = PeakMemoryMiB(job_->Program());
  // A queue of every pasted key would hold 3 million messages: hundreds of MiB.
  EXPECT_LT(peak - before, 32) << "peak " << peak << " MiB, " << before << " MiB before the paste";
  AnswersAndEnds();
}

TEST_F(Flood, EscapeSequencesOfAnyLengthTypeNothing) {
  Start(TerminalKind::Plain);
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  std::string thousand = "\x1b[1";
  for (int i = 0; i < 999; ++i) thousand += ";" + std::to_string(100 + i % 900);
  terminal_->Send(thousand + "~");
  terminal_->Send("\x1b[" + std::string(5000, '7'));  // its end in a later read
  terminal_->Send(std::string(3000, ';') + "u");
  LookThenEnd();
}

// MODO=1 asks for the Braille keyboard at start; a terminal that answers the keyboard
// protocol's question but refuses to report releases never gets it: letters stay letters.
TEST_F(GameInTerminal, BrailleModeSetToStartWaitsForReleasesThatNeverCome) {
  Start(TerminalKind::NoReleases, "[BRAILLE]\nMODO=1\n");
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  LookThenEnd();
}

// SIGXFSZ is the program's to ignore (an output past the size limit fails its write
// instead): the game goes on with its terminal.
TEST_F(GameInTerminal, AFileSizeSignalEndsNothing) {
  Start(TerminalKind::Plain);
  ASSERT_TRUE(WaitForPrompt("Sua cabine"));
  ASSERT_EQ(kill(job_->Program(), SIGXFSZ), 0);
  LookThenEnd();
}

}  // namespace
}  // namespace platform::testing
