// The game on a Braille display, as a player meets it: the real brltty with its virtual
// display driver, the game's terminal console in a pseudo-terminal. The test plays the
// display over the driver's socket (cells, routing keys, panning, typed dots) and the
// keyboard through the terminal, and reads what brltty puts on the display.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "scratch.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(20);

std::string Program() { return QUELVAR_PROGRAM; }

// A process started with arguments and environment additions; killed (group and all) when
// the test ends.
struct Child {
  pid_t pid = -1;
  int pty = -1;  // the terminal's master side, when it has one

  ~Child() { Kill(); }
  void Kill() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = -1;
    }
    if (pty >= 0) close(pty);
    pty = -1;
  }
  // The exit status once it has ended within the time given; -1 otherwise.
  int WaitForExit(std::chrono::milliseconds within) {
    const auto end = Clock::now() + within;
    while (Clock::now() < end) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      DrainPty();
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  // What the game draws must be read, or it blocks once the terminal's buffer is full.
  void DrainPty() {
    if (pty < 0) return;
    char buffer[4096];
    while (read(pty, buffer, sizeof buffer) > 0) {
    }
  }
  void Type(const std::string& bytes) const {
    ASSERT_EQ(write(pty, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
};

void Exec(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
  for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(argv[0], argv.data());
  _exit(127);
}

std::unique_ptr<Child> Start(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                             bool inTerminal, const std::string& output) {
  auto child = std::make_unique<Child>();
  if (inTerminal) {
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 25;
    child->pid = forkpty(&child->pty, nullptr, nullptr, &size);
    if (child->pid == 0) {
      const int err = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, STDERR_FILENO);
      Exec(arguments, environment);
    }
    if (child->pty >= 0) fcntl(child->pty, F_SETFL, fcntl(child->pty, F_GETFL) | O_NONBLOCK);
  } else {
    child->pid = fork();
    if (child->pid == 0) {
      setsid();
      const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      Exec(arguments, environment);
    }
  }
  return child;
}

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

bool PortFree(int port) {
  const int fd = Connect(port);
  if (fd >= 0) close(fd);
  return fd < 0;
}

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
  // cells); 'also' is called while waiting (to read the game's terminal).
  bool WaitFor(const std::function<bool(const std::string&, const std::vector<std::string>&)>& wanted,
               const std::function<void()>& also = {}) {
    const auto end = Clock::now() + Patience;
    for (;;) {
      if (wanted(visual_, cells_)) return true;
      if (Clock::now() > end) return false;
      if (also) also();
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
  bool WaitForText(const std::string& prefix, const std::function<void()>& also = {}) {
    return WaitFor([&](const std::string& visual, const auto&) { return visual.rfind(prefix, 0) == 0; }, also);
  }
  const std::string& Visual() const { return visual_; }
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
      visual_ = value;
    } else if (line.rfind("Braille", 0) == 0) {
      cells_.clear();
      std::size_t from = 0;
      for (std::size_t bar = value.find('|'); ; bar = value.find('|', from)) {
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
  void StartBrltty() {
    display_.reset();
    brltty_ = Start({"/usr/bin/brltty", "-n", "-e", "-Z", "-q", "-b", "vr", "-d",
                     "server:127.0.0.1:" + std::to_string(displayPort_), "-x", "no", "-s", "no", "-t", "pt", "-A",
                     "auth=none,host=127.0.0.1:" + std::to_string(apiNumber_), "-F", folder_ + "/brltty.prefs", "-W",
                     folder_, "-U", folder_, "-P", folder_ + "/brltty.pid"},
                    {}, false, folder_ + "/brltty.log");
    int fd = -1;
    const auto end = Clock::now() + Patience;
    while ((fd = Connect(displayPort_)) < 0 && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_GE(fd, 0) << "brltty's virtual display driver did not listen";
    display_ = std::make_unique<VirtualDisplay>(fd, 40);
    // The BrlAPI server opens once the display is there.
    while (PortFree(4101 + apiNumber_) && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_FALSE(PortFree(4101 + apiNumber_)) << "brltty's BrlAPI server did not listen";
  }

  void TearDown() override {
    game_.reset();
    display_.reset();
    brltty_.reset();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  void StartGame() {
    game_ = Start({Program(), "--console=terminal", "--speech=none", "--braille=on", "--config-dir=" + folder_ + "/config"},
                  {"BRLAPI_HOST=127.0.0.1:" + std::to_string(apiNumber_), "QUELVAR_DATA_DIR=" + std::string(QUELVAR_TEST_DATA),
                   "TERM=xterm-256color", "LANG=C.UTF-8"},
                  true, folder_ + "/game.err");
    ASSERT_TRUE(display_->WaitForText(">", Drain())) << "the prompt never reached the display: " << Stderr();
  }

  std::function<void()> Drain() {
    return [this] { game_->DrainPty(); };
  }
  // Types on the keyboard (the game's terminal), then waits for the display.
  bool Type(const std::string& keys, const std::string& shown) {
    game_->Type(keys);
    return display_->WaitForText(shown, Drain());
  }
  // Presses a key of the display, then waits for it to show this.
  bool Press(const std::string& command, const std::string& shown) {
    display_->Send(command);
    return display_->WaitForText(shown, Drain());
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
  std::string Stderr() const {
    std::ifstream in(folder_ + "/game.err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string folder_;
  int displayPort_ = 0, apiNumber_ = 0;
  std::unique_ptr<Child> brltty_, game_;
  std::unique_ptr<VirtualDisplay> display_;
};

TEST_F(BrailleDisplayTest, ShowsTheGameFollowsTheCursorAndTakesTheDisplaysKeys) {
  StartGame();
  // Typing shows at the prompt, with the cursor after the last letter.
  ASSERT_TRUE(Type("nor", ">nor"));
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[4]) && !VirtualDisplay::HasDots78(cells[3]);
  }, Drain())) << "the cursor is not on the fifth cell";
  // A routing key puts the editor's cursor on the character under it: the next letter
  // typed lands there.
  display_->Send("route 1");
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[1]);
  }, Drain())) << "the routing key did not move the cursor";
  ASSERT_TRUE(Type("e", ">enor"));
  // Dots typed on the display go through brltty's Portuguese table: dots 1 2 make "b".
  ASSERT_TRUE(Type("\x19", ">  ")) << "Ctrl+Y did not empty the line";
  ASSERT_TRUE(Press("passdots 3", ">b"));

  // The room, accents and all: the rows above the prompt, then panning to column 80.
  ASSERT_TRUE(Type("\x19olhar\r", ">  "));
  ASSERT_TRUE(Press("lnup", "    "));  // the blank row above the prompt
  ASSERT_TRUE(Press("lnup", "Uma porta de madeira grande está na pare"));
  ASSERT_TRUE(Press("lnup", "As únicas mobílias são uma cama e um peq"));
  ASSERT_TRUE(Press("lnup", "Você está em sua cabine, um quarto peque"));
  ASSERT_TRUE(Press("fwinrt", "no com pouco mobiliário."));
  // The next key typed brings the display back to the prompt.
  ASSERT_TRUE(Type("x", ">x"));
}

TEST_F(BrailleDisplayTest, ReviewRowsFollowTheReviewAndTheDisplayIsGivenBackAtTheEnd) {
  StartGame();
  ASSERT_TRUE(Type("olhar\r", ">"));
  // Ctrl+Shift+F9 starts the review at the prompt (its entry tone throws away keys typed
  // ahead of it); each Up goes to the row above (a blank one first), and the display
  // follows.
  game_->Type("\x1b[20;6~");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  game_->Type("\x1b[A");
  ASSERT_TRUE(Type("\x1b[A", "Uma porta de madeira grande está na pare"));
  ASSERT_TRUE(Type("\x1b[A", "As únicas mobílias são uma cama e um peq"));
  // A routing key sets the review column: the review goes on from there.
  display_->Send("route 6");
  ASSERT_TRUE(display_->WaitFor([](const std::string&, const std::vector<std::string>& cells) {
    return cells.size() == 40 && VirtualDisplay::HasDots78(cells[6]);
  }, Drain()));
  ASSERT_TRUE(Type("\x1b", ">"));
  // Leaving the game gives the display back to brltty.
  game_->Type("fim\r");
  game_->Type("n");
  EXPECT_EQ(game_->WaitForExit(std::chrono::seconds(10)), 0) << Stderr();
  ExpectDisplayGivenBack();
}

TEST_F(BrailleDisplayTest, TheDisplayComesBackAfterItWasAwayAndIsGivenBackOnSigterm) {
  StartGame();
  // A display switched off and on in the middle of the game shows the game again.
  ASSERT_TRUE(display_->Reconnect(displayPort_));
  ASSERT_TRUE(display_->WaitForText(">", Drain()));
  kill(game_->pid, SIGTERM);
  EXPECT_NE(game_->WaitForExit(std::chrono::seconds(10)), -1);
  ExpectDisplayGivenBack();
}

TEST_F(BrailleDisplayTest, AServerThatGoesAwayNeitherStopsTheGameNorKeepsItAway) {
  StartGame();
  brltty_->Kill();
  // The game plays on without its display...
  game_->Type("olhar\r");
  EXPECT_EQ(game_->WaitForExit(std::chrono::seconds(1)), -1) << "the game ended with the server: " << Stderr();
  // ...and shows itself again once brltty is back.
  StartBrltty();
  ASSERT_TRUE(display_->WaitForText(">", Drain())) << "the game did not come back to the display";
  ASSERT_TRUE(Type("fim\r", "Você gostaria de começar de novo?"));
  game_->Type("n");
  EXPECT_EQ(game_->WaitForExit(std::chrono::seconds(10)), 0) << Stderr();
}

TEST_F(BrailleDisplayTest, ASmallerDisplayShowsARowInMoreParts) {
  StartGame();
  ASSERT_TRUE(Type("olhar\r", ">"));
  // The display is swapped for one of 20 cells in the middle of the game.
  display_->Send("cells 20");
  ASSERT_TRUE(display_->WaitFor([](const std::string& visual, const auto& cells) {
    return visual.size() == 20 && visual[0] == '>' && cells.size() == 20;
  }, Drain())) << "the game did not redraw for 20 cells: '" << display_->Visual() << "'";
  ASSERT_TRUE(Press("lnup", "    "));
  ASSERT_TRUE(Press("lnup", "Uma porta de madeira"));
  ASSERT_TRUE(Press("fwinrt", " grande está na pare"));
  ASSERT_TRUE(Press("fwinrt", "de a leste.   "));
  ASSERT_TRUE(Press("fwinrt", "                    "));  // columns 61 to 80
  ASSERT_TRUE(Press("fwinlt", "de a leste.   "));
  ASSERT_TRUE(Press("fwinlt", " grande está na pare"));
}

}  // namespace

