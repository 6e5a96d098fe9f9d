#pragma once
// What the Braille display tests share: the game run in the background, and the loopback
// ports a BrlAPI server listens on.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace brltty_test {

using Clock = std::chrono::steady_clock;
constexpr auto Patience = std::chrono::seconds(20);

inline std::string Program() { return QUELVAR_PROGRAM; }

// A program run in the background with its output in a file; killed with the test.
struct Background {
  pid_t pid = -1;

  Background(const std::vector<std::string>& arguments, const std::string& output) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid = fork();
    if (pid == 0) {
      setsid();
      const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~Background() { Kill(); }
  void Kill() {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
};

inline int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
  close(fd);
  return -1;
}

inline bool PortFree(int port) {
  const int fd = Connect(port);
  if (fd >= 0) close(fd);
  return fd < 0;
}

}  // namespace brltty_test
