// A BrlAPI server that takes the connection and never answers: the game tells of it within
// a bound and tries again once it hangs up, and the game goes on meanwhile.
#include <arpa/inet.h>
#include <brlapi.h>
#include <fcntl.h>
#include <gtest/gtest.h>
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
#include "brltty_support.h"
#include "pty_terminal.h"
#include "scratch.h"

namespace {

using namespace brltty_test;

TEST(SilentBrlapiServer, IsToldWithinABoundAndTriedAgainOnceItHangsUp) {
  const std::string folder = MakeTestFolder("silent-brlapi");
  ASSERT_FALSE(folder.empty());
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  std::mt19937 random(static_cast<unsigned>(getpid()));
  int number = 0;
  for (int tries = 0; tries < 100 && number == 0; ++tries) {
    const int candidate = 100 + static_cast<int>(random() % 800);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(4101 + candidate));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) number = candidate;
  }
  ASSERT_NE(number, 0);
  ASSERT_EQ(listen(listener, 4), 0);
  const auto acceptOne = [&] {
    pollfd fd{listener, POLLIN, 0};
    return poll(&fd, 1, static_cast<int>(std::chrono::milliseconds(Patience).count())) > 0
               ? accept(listener, nullptr, nullptr)
               : -1;
  };
  std::filesystem::create_directories(folder + "/config");
  std::filesystem::copy_file(std::string(QUELVAR_TEST_DATA) + "/TAMIRE.INI", folder + "/config/TAMIRE.INI");
  platform::testing::PtyTerminal terminal{platform::testing::TerminalKind::Plain};
  {
    platform::testing::PtyJob game(
        terminal,
        // Standard error is the terminal too, as in a player's shell.
        std::vector<std::string>{"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>&1", Program(), "--console=terminal",
                                 "--speech=none", "--braille=on", "--config-dir=" + folder + "/config",
                                 "--speech-log=" + folder + "/speech", "--transcript=" + folder + "/transcript"},
        std::vector<std::string>{"BRLAPI_HOST=127.0.0.1:" + std::to_string(number),
                                 "QUELVAR_DATA_DIR=" + std::string(QUELVAR_TEST_DATA), "TERM=xterm-256color",
                                 "LANG=C.UTF-8", "SDL_AUDIODRIVER=dummy"});
    const int first = acceptOne();
    ASSERT_GE(first, 0) << "the game never connected";
    // The game plays on, and tells the player there is no display.
    const auto waitInFile = [&](const std::string& file, const std::string& text) {
      const auto end = Clock::now() + Patience;
      for (;; std::this_thread::sleep_for(std::chrono::milliseconds(50))) {
        std::ifstream in(folder + "/" + file);
        if (std::string(std::istreambuf_iterator<char>(in), {}).find(text) != std::string::npos) return true;
        if (Clock::now() > end) return false;
      }
    };
    ASSERT_TRUE(waitInFile("transcript", "leste.\n\n>")) << "the game did not start";
    terminal.Send("ler livro\r");
    ASSERT_TRUE(waitInFile("transcript", "nenhum livro")) << "the game did not go on";
    EXPECT_TRUE(waitInFile("speech", "A linha Braille")) << "nothing said of the silent server";
    // The server hangs up: the game connects again.
    close(first);
    const int second = acceptOne();
    EXPECT_GE(second, 0) << "the game did not try again";
    if (second >= 0) close(second);
    terminal.Send("fim\r");
    ASSERT_NE(terminal.WaitFor("novo?"), std::string::npos);
    terminal.Send("n");
    EXPECT_EQ(game.Wait(std::chrono::seconds(20)), 0);
  }
  close(listener);
  // Standard error was written once the terminal was given back, and said it once.
  const std::string told = "no Braille display (the BrlAPI server does not answer)";
  terminal.WaitFor(told, 0, std::chrono::seconds(10));
  const std::string output = terminal.Output();
  const std::size_t at = output.find(told);
  ASSERT_NE(at, std::string::npos) << output.substr(output.size() > 400 ? output.size() - 400 : 0);
  EXPECT_EQ(output.find(told, at + 1), std::string::npos);
  EXPECT_GT(at, output.rfind(platform::testing::NormalScreen)) << "the line was drawn over the game";
  std::filesystem::remove_all(folder);
}

}  // namespace
