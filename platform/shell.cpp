#include "platform/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/files.h"

namespace platform {
namespace {

bool (*gStarter)(const std::vector<std::string>&) = nullptr;

bool StartsWith(std::string_view text, std::string_view start) { return text.substr(0, start.size()) == start; }

bool IsWebAddress(std::string_view text) {
  return StartsWith(text, "http://") || StartsWith(text, "https://") || StartsWith(text, "www.");
}

// Characters no address needs and that only ever serve to smuggle something past a program
// that might hand the address on to a shell.
bool SafeAddress(std::string_view address) {
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F) return false;
    if (c == '"' || c == '\'' || c == '`' || c == '$' || c == '\\') return false;
  }
  return true;
}

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) return "/";
  return buffer.data();
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string directory = CurrentDirectory();
  if (directory.back() != '/') directory += '/';
  return directory + path;
}

std::optional<std::string> FindOnPath(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return std::nullopt;
  }
  const char* path = std::getenv("PATH");
  std::string_view folders = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  while (!folders.empty()) {
    const std::size_t colon = folders.find(':');
    const std::string_view folder = folders.substr(0, colon);
    folders = colon == std::string_view::npos ? std::string_view() : folders.substr(colon + 1);
    if (folder.empty()) continue;
    const std::string candidate = std::string(folder) + "/" + std::string(name);
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::nullopt;
}

// A word the user typed names a file: one that begins with '-' must not reach the program
// as an option, so it goes as the same file in the current folder.
std::string AsOperand(std::string_view parameter) {
  if (!parameter.empty() && parameter.front() == '-') return "./" + std::string(parameter);
  return std::string(parameter);
}

std::optional<std::vector<std::string>> OpenWithDesktop(const std::string& what) {
  const auto opener = FindOnPath("xdg-open");
  if (!opener) return std::nullopt;
  return std::vector<std::string>{*opener, what};
}

bool StartDetached(const std::vector<std::string>& arguments) {
  // Everything the child needs is prepared before fork: after it only exec-safe calls run.
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // The grandchild is the opened program; the child ends at once so nobody waits for it.
    if (::fork() != 0) ::_exit(0);
    ::setsid();
    // The opened program starts with the signals as a new program expects them, whatever
    // this one ignores (a broken pipe, for one).
    ::signal(SIGPIPE, SIG_DFL);
    const int nothing = ::open("/dev/null", O_RDWR);
    if (nothing >= 0) {
      ::dup2(nothing, 0);
      ::dup2(nothing, 1);
      ::dup2(nothing, 2);
      if (nothing > 2) ::close(nothing);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::string>> ShellOpenCommand(std::string_view program, std::string_view parameter,
                                                         ProgramSearch search) {
  if (program.empty()) return std::nullopt;
  if (IsWebAddress(program)) {
    if (!SafeAddress(program)) return std::nullopt;
    std::string address(program);
    if (StartsWith(address, "www.")) address = "http://" + address;
    return OpenWithDesktop(address);
  }

  const std::string translated = TranslateWindowsPath(program);
  if (const auto found = FindPathIgnoringCase(translated)) {
    const std::string path = Absolute(*found);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    if (IsExecutableFile(path)) {
      std::vector<std::string> command{path};
      if (!parameter.empty()) command.emplace_back(AsOperand(parameter));
      return command;
    }
    if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) return OpenWithDesktop(path);
    return std::nullopt;
  }
  if (search == ProgramSearch::FilesOnly) return std::nullopt;
  if (const auto onPath = FindOnPath(translated)) {
    std::vector<std::string> command{*onPath};
    if (!parameter.empty()) command.emplace_back(AsOperand(parameter));
    return command;
  }
  return std::nullopt;
}

bool ShellOpen(std::string_view program, std::string_view parameter, ProgramSearch search) {
  const auto command = ShellOpenCommand(program, parameter, search);
  if (!command) return false;
  if (gStarter) return gStarter(*command);
  return StartDetached(*command);
}

void SetShellStarterForTests(bool (*starter)(const std::vector<std::string>& arguments)) { gStarter = starter; }

}  // namespace platform
