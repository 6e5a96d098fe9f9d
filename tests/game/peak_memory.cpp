// Runs a program and reports the most memory it held (its peak resident set), failing when
// that passes a limit.
//
//   peak_memory LIMIT_MB PROGRAM [ARGUMENT]...
//
// Exits with the program's own status when it failed, with 3 when the peak passed the
// limit, else 0.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: peak_memory LIMIT_MB PROGRAM [ARGUMENT]...\n");
    return 2;
  }
  const long limitKb = std::strtol(argv[1], nullptr, 10) * 1024;
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    execv(argv[2], argv + 2);
    std::perror("peak_memory: cannot run the program");
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return 2;
  std::printf("peak resident memory: %ld KiB (limit %ld KiB)\n", usage.ru_maxrss, limitKb);
  if (!WIFEXITED(status)) {
    std::fprintf(stderr, "peak_memory: the program ended by signal %d\n", WTERMSIG(status));
    return 2;
  }
  if (WEXITSTATUS(status) != 0) return WEXITSTATUS(status);
  return usage.ru_maxrss > limitKb ? 3 : 0;
}
