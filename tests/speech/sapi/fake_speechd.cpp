// Runs a program beside a speech-dispatcher of our own that misbehaves in one manner:
//
//   fake_speechd MANNER SOCKET PROGRAM [ARGUMENT]...
//
// MANNER is silent, garbage, garbage-when-spoken, half-line, leaves-mid-speech, never-ends
// or speaks. The program gets SPEECHD_ADDRESS naming SOCKET (and SPEECHD_CMD naming no
// program, so that no real daemon is started instead); fake_speechd ends with its status.

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "fake_daemon.h"

int main(int argc, char** argv) {
  const std::map<std::string, Manner> manners = {{"silent", Manner::Silent},
                                                 {"garbage", Manner::Garbage},
                                                 {"garbage-when-spoken", Manner::GarbageWhenSpoken},
                                                 {"half-line", Manner::HalfLineThenLeaves},
                                                 {"leaves-mid-speech", Manner::LeavesMidSpeech},
                                                 {"never-ends", Manner::NeverEnds},
                                                 {"speaks", Manner::Speaks}};
  if (argc < 4 || !manners.contains(argv[1])) {
    std::fprintf(stderr, "usage: fake_speechd MANNER SOCKET PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  FakeDaemon daemon(argv[2], manners.at(argv[1]), 100);
  if (!daemon.Listening()) {
    std::fprintf(stderr, "fake_speechd: cannot listen on %s\n", argv[2]);
    return 2;
  }
  ::setenv("SPEECHD_ADDRESS", (std::string("unix_socket:") + argv[2]).c_str(), 1);
  ::setenv("SPEECHD_CMD", "/nonexistent/speech-dispatcher", 1);
  const pid_t child = ::fork();
  if (child == 0) {
    ::execv(argv[3], argv + 3);
    std::perror("fake_speechd: cannot run the program");
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return 2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
