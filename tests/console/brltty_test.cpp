// The game on a Braille display, as a player meets it: the real brltty with its virtual
// display driver, the game's terminal console in a pseudo-terminal. The test plays the
// display over the driver's socket (cells, routing keys, panning, typed dots) and the
// keyboard through the terminal, and reads what brltty puts on the display and what stays
// there while the game waits.
#include <arpa/inet.h>
#include <brlapi.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "brltty_support.h"
#include "pty_terminal.h"
#include "scratch.h"

namespace {

using namespace brltty_test;

// brltty's virtual display, as the driver's socket speaks it: "cells N" out, Visual and
// Braille lines in.
class VirtualDisplay {
 public:
  VirtualDisplay(int fd, int cells) : fd_(fd), cells_count_(cells) { Send("cells " + std::to_string(cells)); }
  ~VirtualDisplay() { close(fd_); }

  // As a display that is switched off and on again: brltty starts the driver again and
  // shows whatever holds the display now.
  bool Reconnect(int port) {
    Send("quit");
    close(fd_);
    fd_ = -1;
    const auto end = Clock::now() + Patience;
    while ((fd_ = Connect(port)) < 0 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    visual_.clear();
    cells_.clear();
    pending_.clear();
    if (fd_ < 0) return false;
    Send("cells " + std::to_string(cells_count_));
    return true;
  }

  void Send(const std::string& command) {
    const std::string line = command + "\n";
    ASSERT_EQ(::send(fd_, line.data(), line.size(), MSG_NOSIGNAL), static_cast<ssize_t>(line.size()));
  }

  // Waits until the display shows what 'wanted' accepts (the Visual text, the Braille
  // cells).
  bool WaitFor(const std::function<bool(const std::string&, const std::vector<std::string>&)>& wanted) {
    const auto end = Clock::now() + Patience;
    for (;;) {
      if (wanted(visual_, cells_)) return true;
      if (Clock::now() > end) return false;
      pollfd fd{fd_, POLLIN, 0};
      if (poll(&fd, 1, 50) > 0) {
        char buffer[4096];
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        pending_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t lineEnd = pending_.find('\n'); lineEnd != std::string::npos; lineEnd = pending_.find('\n')) {
          Take(pending_.substr(0, lineEnd));
          pending_.erase(0, lineEnd + 1);
        }
      }
    }
  }
  bool WaitForText(const std::string& prefix) {
    return WaitFor([&](const std::string& visual, const auto&) { return visual.rfind(prefix, 0) == 0; });
  }
  const std::string& Visual() const { return visual_; }
  const std::vector<std::string>& BrailleCells() const { return cells_; }
  // The cell (from 0) that shows dots 7 and 8 alone on top of its character: the cursor.
  static bool HasDots78(const std::string& cell) {
    return cell.find('7') != std::string::npos && cell.find('8') != std::string::npos;
  }

 private:
  void Take(const std::string& line) {
    const std::size_t open = line.find('"'), close = line.rfind('"');
    if (open == std::string::npos || close <= open) return;
    const std::string value = line.substr(open + 1, close - open - 1);
    if (line.rfind("Visual", 0) == 0) {
      // The driver writes a quote or a backslash of the text after a backslash.
      visual_.clear();
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        visual_ += value[i];
      }
    } else if (line.rfind("Braille", 0) == 0) {
      cells_.clear();
      std::size_t from = 0;
      for (std::size_t bar = value.find('|');; bar = value.find('|', from)) {
        cells_.push_back(value.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 1;
      }
    }
  }

  int fd_;
  int cells_count_;
  std::string pending_, visual_;
  std::vector<std::string> cells_;
};

class BrailleDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/usr/bin/brltty", X_OK) != 0 && access("/bin/brltty", X_OK) != 0) {
      GTEST_SKIP() << "brltty is not installed (scripts/install-deps.sh installs it)";
    }
    folder_ = MakeTestFolder("braille");
    ASSERT_FALSE(folder_.empty());
    std::mt19937 random(static_cast<unsigned>(getpid()));
    do {
      displayPort_ = 20000 + static_cast<int>(random() % 20000);
      apiNumber_ = 100 + static_cast<int>(random() % 800);
    } while (!PortFree(displayPort_) || !PortFree(4101 + apiNumber_));
    StartBrltty();
    std::filesystem::create_directories(folder_ + "/config");
    std::filesystem::copy_file(std::string(QUELVAR_TEST_DATA) + "/TAMIRE.INI", folder_ + "/config/TAMIRE.INI");
  }

  // brltty with the virtual display driver and no screen, its BrlAPI server on loopback
  // without authentication, every file it writes in the test's folder; and the display.
  void StartBrltty(int cells = 40) {
    display_.reset();
    brltty_ =
        std::make_unique<Background>(std::vector<std::string>{"/usr/bin/brltty",
                                                              "-n",
                                                              "-e",
                                                              "-Z",
                                                              "-q",
                                                              "-b",
                                                              "vr",
                                                              "-d",
                                                              "server:127.0.0.1:" + std::to_string(displayPort_),
                                                              "-x",
                                                              "no",
                                                              "-s",
                                                              "no",
                                                              "-t",
                                                              "pt",
                                                              "-A",
                                                              "auth=none,host=127.0.0.1:" + std::to_string(apiNumber_),
                                                              "-F",
                                                              folder_ + "/brltty.prefs",
                                                              "-W",
                                                              folder_,
                                                              "-U",
                                                              folder_,
                                                              "-P",
                                                              folder_ + "/brltty.pid"},
                                     folder_ + "/brltty.log");
    int fd = -1;
    const auto end = Clock::now() + Patience;
    while ((fd = Connect(displayPort_)) < 0 && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(fd, 0) << "brltty's virtual display driver did not listen";
    display_ = std::make_unique<VirtualDisplay>(fd, cells);
    // The BrlAPI server opens once the display is there.
    while (PortFree(4101 + apiNumber_) && Clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(PortFree(4101 + apiNumber_)) << "brltty's BrlAPI server did not listen";
    ReadTextTable();
  }

  // What a player types on the display for each character: the dots of brltty's own text
  // table (its computer Braille, dots 7 and 8 included), asked of brltty as any client can.
  void ReadTextTable() {
    dots_.clear();
    brlapi_connectionSettings_t settings{nullptr, nullptr};
    const std::string host = "127.0.0.1:" + std::to_string(apiNumber_);
    settings.host = host.c_str();
    std::vector<unsigned char> storage(brlapi_getHandleSize());
    auto* handle = reinterpret_cast<brlapi_handle_t*>(storage.data());
    ASSERT_GE(brlapi__openConnection(handle, &settings, nullptr), 0) << "no BrlAPI connection for the text table";
    brlapi_param_computerBrailleRowCells_t row{};
    const ssize_t got = brlapi__getParameter(handle, BRLAPI_PARAM_COMPUTER_BRAILLE_ROW_CELLS, 0, BRLAPI_PARAMF_GLOBAL,
                                             &row, sizeof row);
    brlapi__closeConnection(handle);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof row));
    for (unsigned c = 0; c < 0x100; ++c) {
      if (row.defined[c / 8] & (1u << (c % 8))) dots_[static_cast<char32_t>(c)] = row.cells[c];
    }
  }

  void TearDown() override {
    game_.reset();
    display_.reset();
    brltty_.reset();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  // The game in a terminal, run as a shell runs a job (so that it can be stopped), its
  // standard error kept in a file.
  void StartGame() {
    game_ = std::make_unique<platform::testing::PtyJob>(
        terminal_,
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>\"" + folder_ + "/game.err\"", Program(),
                                 "--console=terminal", "--speech=none", "--braille=on",
                                 "--config-dir=" + folder_ + "/config", "--braille-log=" + folder_ + "/braille.log",
                                 "--transcript=" + folder_ + "/transcript"},
        std::vector<std::string>{"BRLAPI_HOST=127.0.0.1:" + std::to_string(apiNumber_),
                                 "QUELVAR_DATA_DIR=" + std::string(QUELVAR_TEST_DATA), "TERM=xterm-256color",
                                 "LANG=C.UTF-8", "SDL_AUDIODRIVER=dummy"});
    ASSERT_TRUE(WaitForLogged("|")) << "the game never reached the display: " << Stderr();
  }

  // Types on the keyboard (the game's terminal), then waits for the display.
  bool Type(const std::string& keys, const std::string& shown) {
    terminal_.Send(keys);
    return display_->WaitForText(shown);
  }
  // Presses a key of the display, then waits for it to show this.
  bool Press(const std::string& command, const std::string& shown) {
    display_->Send(command);
    return display_->WaitForText(shown);
  }
  // Types a command on the keyboard and waits until the game's answer rests on the display.
  bool Command(const std::string& line, const std::string& rest) {
    terminal_.Send(line + "\r");
    return WaitForFrameText(rest);
  }
  std::vector<std::string> LoggedLines() const {
    std::ifstream log(folder_ + "/braille.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);) lines.push_back(line);
    return lines;
  }
  // Waits until the game's own log says it last showed this (brltty cuts what a program
  // wrote to a display that shrank, before the program has learnt the new size).
  bool WaitForLogged(const std::string& part) {
    const auto end = Clock::now() + Patience;
    for (; Clock::now() < end; std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
      const auto lines = LoggedLines();
      if (!lines.empty() && lines.back().find(part) != std::string::npos) return true;
    }
    return false;
  }
  // Nothing holds the display: switched off and on, it shows brltty's own screen and not
  // the game's prompt (brltty does not redraw when a program lets the display go).
  void ExpectDisplayGivenBack() {
    ASSERT_TRUE(display_->Reconnect(displayPort_));
    ASSERT_TRUE(display_->WaitForText("no screen"));
    const auto end = Clock::now() + std::chrono::milliseconds(1500);
    bool prompt = false;
    display_->WaitFor([&](const std::string& visual, const auto&) {
      prompt = prompt || visual.rfind(">", 0) == 0;
      return prompt || Clock::now() > end;
    });
    EXPECT_FALSE(prompt) << "the game still holds the display";
  }
  // What the game said, and the last it showed (for a failure's message).
  std::string Stderr() const {
    std::ifstream in(folder_ + "/game.err");
    const auto lines = LoggedLines();
    std::string text = std::string(std::istreambuf_iterator<char>(in), {}) + "\nlast shown:\n";
    for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i) text += lines[i] + "\n";
    return text;
  }

  // ---- a player who has only the display ----

  // The last frame the game showed, as its log tells it: the row, the text, and whether the
  // cursor is on it.
  struct Frame {
    std::string row, text;
    bool cursor = false;
    int cursorCell = 0;  // from 1
  };
  std::optional<Frame> LastFrame() const {
    const auto lines = LoggedLines();
    if (lines.empty()) return std::nullopt;
    const std::string& line = lines.back();
    const std::size_t open = line.find('|'), close = line.rfind('|');
    if (open == std::string::npos || close <= open || line.rfind("row=", 0) != 0) return std::nullopt;
    const std::size_t cursor = line.find(" cursor=");
    const int cell = cursor == std::string::npos ? 0 : std::atoi(line.c_str() + cursor + 8);
    return Frame{line.substr(4, line.find(' ') - 4), line.substr(open + 1, close - open - 1), cell > 0, cell};
  }
  static std::string RightTrimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }
  // Waits until the game has shown a frame that 'wanted' accepts, after at least 'logged'
  // lines of its log, and brltty has put it on the display (the cursor too, where there is one).
  bool WaitForFrame(const std::function<bool(const Frame&)>& wanted, std::size_t logged = 0) {
    const auto end = Clock::now() + Patience;
    std::optional<Frame> frame;
    for (;; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
      frame = LastFrame();
      if (frame && LoggedLines().size() >= logged && wanted(*frame)) break;
      if (Clock::now() > end) return false;
    }
    const std::string text = RightTrimmed(frame->text);
    const bool cursor = frame->cursor;
    return display_->WaitFor([&](const std::string& visual, const std::vector<std::string>& cells) {
      if (RightTrimmed(visual) != text) return false;
      return !cursor || std::any_of(cells.begin(), cells.end(), VirtualDisplay::HasDots78);
    });
  }
  bool WaitForFrameText(const std::string& text) {
    return WaitForFrame([&](const Frame& frame) { return RightTrimmed(frame.text) == RightTrimmed(text); });
  }

  // Types a text as dots on the display, letter by letter, each seen at the prompt (the
  // driver takes one key at a time).
  void TypeDots(const std::string& typed, const std::string& prompt) {
    std::string shown = prompt;
    int cell = static_cast<int>(Decode(prompt).size()) + 1;
    for (const char32_t c : Decode(typed)) {
      ASSERT_TRUE(dots_.count(c)) << "brltty's table has no dots for U+" << std::hex << static_cast<int>(c);
      // The space bar is a key of its own on a display.
      display_->Send(c == U' ' ? std::string("passchar 32") : "passdots " + std::to_string(dots_[c]));
      ++typingKeys_;
      shown += Encode(std::u32string(1, c));
      ++cell;
      ASSERT_TRUE(WaitForFrame([&](const Frame& frame) {
        return frame.cursorCell == cell && RightTrimmed(frame.text) == RightTrimmed(shown);
      })) << "typed '"
          << shown << "', the display shows '" << display_->Visual() << "'\n"
          << Stderr();
    }
  }

  // Pans forward from where the display rests until it shows the prompt with the cursor;
  // the text read, its windows joined row by row.
  struct Reading {
    std::string text;
    int keys = 0, rows = 0;
  };
  Reading ReadToThePrompt() {
    Reading reading;
    std::string row;
    for (;;) {
      const auto frame = LastFrame();
      if (!frame) {
        ADD_FAILURE() << "no frame";
        break;
      }
      if (frame->cursor) break;
      if (frame->row != row) {
        reading.text += '\n';
        ++reading.rows;
        row = frame->row;
      }
      reading.text += frame->text;
      const std::size_t before = LoggedLines().size();
      display_->Send("fwinrt");
      ++reading.keys;
      if (!WaitForFrame([](const Frame&) { return true; }, before + 1)) {
        ADD_FAILURE() << "panning forward showed nothing new after: " << frame->text << "\n" << Stderr();
        break;
      }
    }
    return reading;
  }

  static std::u32string Decode(const std::string& utf8) {
    std::u32string out;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto byte = static_cast<unsigned char>(utf8[i]);
      const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
      char32_t c = length == 1 ? byte : byte & (0x7F >> length);
      for (int k = 1; k < length && i + static_cast<std::size_t>(k) < utf8.size(); ++k) {
        c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
      }
      out += c;
      i += static_cast<std::size_t>(length);
    }
    return out;
  }
  static std::string Encode(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
      } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
      }
    }
    return out;
  }
  // Blanks and line ends as single blanks: the text as a reader takes it in.
  static std::string Words(const std::string& text) {
    std::istringstream in(text);
    std::string word, words;
    while (in >> word) words += (words.empty() ? "" : " ") + word;
    return words;
  }
  // The same without any blank: a row that goes on to the next one is read as one.
  static std::string Letters(const std::string& text) {
    std::string letters;
    for (const char c : text) {
      if (c != ' ' && c != '\n') letters += c;
    }
    return letters;
  }
  // What rests on a display of this width for a reply: its first line that shows something,
  // from its first non-blank character.
  static std::string RestText(const std::vector<std::string>& reply, int width) {
    for (const std::string& line : reply) {
      const std::size_t start = line.find_first_not_of(' ');
      if (start == std::string::npos) continue;
      const std::u32string text = Decode(line.substr(start));
      return RightTrimmed(Encode(text.substr(0, static_cast<std::size_t>(width))));
    }
    return {};
  }

  // A script of the game's keys, each line with whether Enter follows it.
  static std::vector<std::pair<std::string, bool>> KeyLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::pair<std::string, bool>> lines;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("##", 0) == 0) continue;
      const bool enter = line.find("<NoEnter>") == std::string::npos;
      if (!enter) line.erase(line.find("<NoEnter>"));
      lines.emplace_back(line, enter);
    }
    return lines;
  }
  // The replies of a transcript to each typed line (the first is the game's opening), and
  // what stood before each typed text on its row (the prompt).
  static std::vector<std::vector<std::string>> Replies(const std::string& path,
                                                       const std::vector<std::pair<std::string, bool>>& keys,
                                                       std::vector<std::string>& prompts) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::vector<std::vector<std::string>> replies(1);
    std::size_t at = 0;
    for (const auto& [typed, enter] : keys) {
      while (at < lines.size() && lines[at] != ">" + typed && lines[at] != typed) replies.back().push_back(lines[at++]);
      prompts.push_back(at < lines.size() && lines[at] == ">" + typed ? ">" : "");
      ++at;
      replies.emplace_back();
    }
    while (at < lines.size()) replies.back().push_back(lines[at++]);
    return replies;
  }
  static std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
  }

  void PlayTheWholeGame(int cells);

  std::map<char32_t, int> dots_;
  int typingKeys_ = 0;
  std::string folder_;
  int displayPort_ = 0, apiNumber_ = 0;
  std::unique_ptr<Background> brltty_;
  platform::testing::PtyTerminal terminal_{platform::testing::TerminalKind::Plain};
  std::unique_ptr<platform::testing::PtyJob> game_;
  std::unique_ptr<VirtualDisplay> display_;
};

constexpr const char* OpeningRest = "Ilha de Quelvar - uma aventura pirata fa";
// What "olhar" answers in the first room.
constexpr const char* CabinReply =
    "Sua cabine Score: 0 Você está em sua cabine, um quarto pequeno com pouco mobiliário. "
    "As únicas mobílias são uma cama e um pequeno armário com só uma gaveta. "
    "Uma porta de madeira grande está na parede a leste.";

TEST_F(BrailleDisplayTest, TypingRoutingDotsThroughBrlttysTableAndASelectionUnlikeTheCursor) {
  StartGame();
  ASSERT_TRUE(WaitForFrameText(OpeningRest)) << Stderr();
  // Typing shows at the prompt, with the cursor after the last letter.
  ASSERT_TRUE(Type("nor", ">nor")) << Stderr();
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[4]) && !VirtualDisplay::HasDots78(cells[3]);
  })) << "the cursor is not on the fifth cell";
  // A routing key puts the editor's cursor on the character under it: the next letter
  // typed lands there.
  display_->Send("route 1");
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[1]);
  })) << "the routing key did not move the cursor";
  ASSERT_TRUE(Type("e", ">enor")) << Stderr();
  // Dots typed on the display are the characters of brltty's Portuguese table, dots 7 and
  // 8 too: dots 1-2 are "b", 1-2-8 the digit 2 and 2-4-8 the digit 9.
  ASSERT_TRUE(Type("\x19", ">  ")) << "Ctrl+Y did not empty the line";
  ASSERT_TRUE(Press("passdots 3", ">b")) << Stderr();
  ASSERT_TRUE(Press("passdots 131", ">b2")) << Stderr();
  ASSERT_TRUE(Press("passdots 138", ">b29")) << Stderr();
  // A selection is dot 8 under its cells; the cursor is brltty's dots 7 and 8.
  ASSERT_TRUE(
      Type("\x19"
           "abc",
           ">abc"))
      << Stderr();
  terminal_.Send("\x1b[1;2D\x1b[1;2D");
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[2]) && cells[3] == "148";
  })) << "the selection is not dot 8 alone beside the cursor: "
      << Stderr();
}

TEST_F(BrailleDisplayTest, TheReplyRestsOnTheDisplayAndPanningReadsItToThePromptAndBack) {
  StartGame();
  ASSERT_TRUE(WaitForFrameText(OpeningRest)) << Stderr();
  // After a command the display rests on the reply's first line, not on the prompt...
  // The room's name and score are written from column 50: they show at once.
  terminal_.Send("olhar\r");
  ASSERT_TRUE(WaitForFrameText("Sua cabine")) << Stderr();
  // ...and panning goes through it, the description's three lines window by window, then
  // to the prompt.
  const Reading reading = ReadToThePrompt();
  EXPECT_EQ(Words(reading.text), Words(CabinReply));
  EXPECT_EQ(reading.rows, 5);
  EXPECT_EQ(reading.keys, 8);
  ASSERT_TRUE(display_->WaitForText(">")) << Stderr();
  // Panning back goes from the prompt into the reply's last line.
  ASSERT_TRUE(Press("fwinlt", "de a leste.")) << Stderr();
  ASSERT_TRUE(Press("fwinlt", "Uma porta de madeira grande está na pare")) << Stderr();
  // Line up and down still go row by row.
  ASSERT_TRUE(Press("lnup", "As únicas mobílias são uma cama e um peq")) << Stderr();
  ASSERT_TRUE(Press("lndn", "Uma porta de madeira grande está na pare")) << Stderr();
  // A key typed brings the prompt back, and the key is there.
  ASSERT_TRUE(Type("x", ">x")) << Stderr();
}

TEST_F(BrailleDisplayTest, OnTwentyCellsARowIsReadInMoreWindowsAndTheRoomNameStillRests) {
  brltty_.reset();
  StartBrltty(20);
  StartGame();
  ASSERT_TRUE(WaitForFrameText("Ilha de Quelvar - um")) << Stderr();
  terminal_.Send("olhar\r");
  ASSERT_TRUE(WaitForFrameText("Sua cabine")) << Stderr();
  const Reading reading = ReadToThePrompt();
  EXPECT_EQ(Words(reading.text), Words(CabinReply));
  EXPECT_EQ(reading.keys, 13);
  // A room entered: its name rests on the display, the score one pan away.
  terminal_.Send("abrir porta\r");
  ASSERT_TRUE(WaitForFrameText("A porta se abre most")) << Stderr();
  terminal_.Send("e\r");
  ASSERT_TRUE(WaitForFrameText("Corredor")) << Stderr();
  ASSERT_TRUE(Press("fwinrt", "Score: 0")) << Stderr();
}

// The whole game, played as a player who has only the display: every reply read by panning
// from where it rests to the prompt, every command and answer typed as dots.
void BrailleDisplayTest::PlayTheWholeGame(int cells) {
  if (cells != 40) {
    brltty_.reset();
    StartBrltty(cells);
  }
  StartGame();
  const std::string games = QUELVAR_GAME_TESTS;
  const auto keys = KeyLines(games + "/full_game.keys");
  std::vector<std::string> prompts;
  const auto replies = Replies(games + "/full_game.transcript", keys, prompts);
  ASSERT_EQ(replies.size(), keys.size() + 1);
  int panKeys = 0, rows = 0;
  for (std::size_t turn = 0; turn < keys.size(); ++turn) {
    // The reply rests on the display; the player reads it all by panning to the prompt...
    ASSERT_TRUE(WaitForFrameText(RestText(replies[turn], cells)))
        << "turn " << turn << ": the reply does not rest on the display: '" << display_->Visual() << "'\n"
        << Stderr();
    const Reading reading = ReadToThePrompt();
    EXPECT_EQ(Letters(reading.text), Letters(Joined(replies[turn]))) << "turn " << turn;
    panKeys += reading.keys;
    rows += reading.rows;
    // ...and types the next command (or answer) as dots, with the display's Enter.
    const auto& [typed, enter] = keys[turn];
    if (!enter) {  // the answer to "começar de novo?" is one key, not echoed at a prompt
      ASSERT_EQ(typed.size(), 1u);
      display_->Send("passdots " + std::to_string(dots_[static_cast<char32_t>(typed[0])]));
      ++typingKeys_;
      continue;
    }
    TypeDots(typed, prompts[turn]);
    if (HasFatalFailure()) return;
    display_->Send("key_enter");
    ++typingKeys_;
  }
  EXPECT_NE(Words(Joined(replies[keys.size() - 1])).find("Pontuação: 200"), std::string::npos);
  EXPECT_EQ(game_->Wait(std::chrono::seconds(20)), 0) << Stderr();
  std::ifstream played(folder_ + "/transcript"), expected(games + "/full_game.transcript");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(played), {}),
            std::string(std::istreambuf_iterator<char>(expected), {}));
  std::cout << cells << " cells: " << panKeys << " pans for " << rows << " rows of replies ("
            << static_cast<double>(panKeys) / rows << " a row), " << typingKeys_ << " keys typed\n";
}

TEST_F(BrailleDisplayTest, AWholeGameIsWonFromTheDisplayAlone) { PlayTheWholeGame(40); }
// A minute more on a small display; run with --gtest_also_run_disabled_tests.
TEST_F(BrailleDisplayTest, DISABLED_AWholeGameIsWonFromATwentyCellDisplayAlone) { PlayTheWholeGame(20); }

TEST_F(BrailleDisplayTest, ReviewRowsFollowTheReviewAndTheDisplayIsGivenBackAtTheEnd) {
  StartGame();
  ASSERT_TRUE(Command("olhar", "Sua cabine")) << Stderr();
  // Ctrl+Shift+F9 starts the review at the prompt (its entry tone throws away keys typed
  // ahead of it); each Up goes to the row above (a blank one first), and the display
  // follows.
  terminal_.Send("\x1b[20;6~");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  terminal_.Send("\x1b[A");
  ASSERT_TRUE(Type("\x1b[A", "Uma porta de madeira grande está na pare")) << Stderr();
  ASSERT_TRUE(Type("\x1b[A", "As únicas mobílias são uma cama e um peq")) << Stderr();
  // A routing key sets the review column: the review goes on from there.
  display_->Send("route 6");
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[6]);
  }));
  ASSERT_TRUE(Type("\x1b", ">")) << Stderr();
  // Leaving the game gives the display back to brltty.
  terminal_.Send("fim\r");
  terminal_.Send("n");
  EXPECT_EQ(game_->Wait(std::chrono::seconds(10)), 0) << Stderr();
  ExpectDisplayGivenBack();
}

TEST_F(BrailleDisplayTest, StoppingTheGameGivesTheDisplayBackAndContinuingTakesItAgain) {
  StartGame();
  kill(game_->Program(), SIGTSTP);
  ExpectDisplayGivenBack();
  kill(game_->Program(), SIGCONT);
  ASSERT_TRUE(display_->WaitForText(OpeningRest)) << Stderr();
  ASSERT_TRUE(Command("olhar", "Sua cabine")) << Stderr();
}

TEST_F(BrailleDisplayTest, TheDisplayComesBackAfterItWasAwayAndIsGivenBackOnSigterm) {
  StartGame();
  // A display switched off and on in the middle of the game shows the game again.
  ASSERT_TRUE(WaitForFrameText(OpeningRest)) << Stderr();
  ASSERT_TRUE(display_->Reconnect(displayPort_));
  ASSERT_TRUE(display_->WaitForText(OpeningRest));
  kill(game_->Program(), SIGTERM);
  EXPECT_NE(game_->Wait(std::chrono::seconds(10)), -1);
  ExpectDisplayGivenBack();
}

TEST_F(BrailleDisplayTest, AServerThatGoesAwayNeitherStopsTheGameNorKeepsItAway) {
  StartGame();
  brltty_->Kill();
  // The game plays on without its display...
  terminal_.Send("olhar\r");
  EXPECT_EQ(game_->Wait(std::chrono::seconds(1)), -1) << "the game ended with the server: " << Stderr();
  // ...and shows itself again once brltty is back.
  StartBrltty();
  ASSERT_TRUE(display_->WaitForText("Sua cabine")) << "the game did not come back to the display";
  ASSERT_TRUE(Command("fim", "Pontuação: 0")) << Stderr();
  terminal_.Send("n");
  EXPECT_EQ(game_->Wait(std::chrono::seconds(10)), 0) << Stderr();
}

TEST_F(BrailleDisplayTest, ASmallerDisplayShowsARowInMoreParts) {
  StartGame();
  ASSERT_TRUE(Command("olhar", "Sua cabine")) << Stderr();
  // The display is swapped for one of 20 cells in the middle of the game: the reply is
  // shown again, where it rested, in windows of 20.
  display_->Send("cells 20");
  ASSERT_TRUE(display_->WaitFor([](const std::string& visual, const auto& cells) {
    return visual.rfind("Sua cabine", 0) == 0 && visual.size() == 20 && cells.size() == 20;
  })) << "the game did not redraw for 20 cells: '"
      << display_->Visual() << "'\n"
      << Stderr();
  ASSERT_TRUE(WaitForLogged("columns=50-69 ")) << Stderr();
  ASSERT_TRUE(Press("fwinrt", "Score: 0")) << Stderr();
  ASSERT_TRUE(Press("fwinrt", "Você está em sua cab")) << Stderr();
  ASSERT_TRUE(Press("fwinrt", "ine, um quarto peque")) << Stderr();
  ASSERT_TRUE(Press("fwinlt", "Você está em sua cab")) << Stderr();
  ASSERT_TRUE(Press("lnup", "Score: 0")) << Stderr();
}

// A BrlAPI server that takes the connection and never answers (a hung brltty): the game
// plays on and says so within a bound, like a server that hangs up: spoken in the game, and
// on standard error only once the terminal is given back, never over the game. When that
// server hangs up at last, the game tries again.
}  // namespace
