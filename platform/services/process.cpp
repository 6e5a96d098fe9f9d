#include "platform/services/process.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>  // needs windows.h first
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifndef __EMSCRIPTEN__
#include <dlfcn.h>
#endif
#endif

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "text/cp1252.h"

namespace platform {

#ifdef _WIN32
std::string ProgramPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return text::NarrowFileName(std::wstring_view(buffer.data(), length));
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (!wide) return std::vector<std::string>(argv, argv + argc);
  for (int i = 0; i < count; ++i) arguments.push_back(text::NarrowFileName(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const wchar_t* value = ::_wgetenv(text::WideFileName(name).c_str());
  if (!value || !*value) return std::nullopt;
  return text::NarrowFileName(value);
}

std::optional<std::string> HomeFolder() { return EnvironmentVariable("USERPROFILE"); }
// The user's folders are the user's own there: nothing like a group-writable folder to check.
std::string WritableByOthers(const std::string&) { return {}; }

namespace {
bool gStandardErrorSeen = true;
}

void ConnectStandardStreams() {
  const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
  if (error && error != INVALID_HANDLE_VALUE) return;  // redirected, or given by the starter
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    std::freopen("CONOUT$", "w", stdout);
    std::freopen("CONOUT$", "w", stderr);
    return;
  }
  gStandardErrorSeen = false;
}

void ShowUserLine(const std::string& line, bool failure, const std::string& boxText) {
  std::fprintf(stderr, "%s\n", line.c_str());
  if (gStandardErrorSeen) return;
  ::MessageBoxW(nullptr, text::WideFileName(boxText.empty() ? line : boxText).c_str(), L"Ilha de Quelvar",
                MB_OK | (failure ? MB_ICONERROR : MB_ICONINFORMATION));
}

LoadedLibrary::LoadedLibrary(const std::string& path)
    : handle_(reinterpret_cast<void*>(::LoadLibraryW(text::WideFileName(path).c_str()))) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* LoadedLibrary::Symbol(const char* name) const {
  return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}
#else
std::vector<std::string> ProgramArguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

namespace {

// The user's entry in the password database: home folder and own group.
struct UserEntry {
  std::string name, home;
  gid_t group = 0;
};
std::optional<UserEntry> ThisUser() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return std::nullopt;
  return UserEntry{found->pw_name ? found->pw_name : "", found->pw_dir ? found->pw_dir : "", found->pw_gid};
}

#ifndef __EMSCRIPTEN__
// A group of the user's alone, as Debian gives every user (user private groups, umask 002):
// the user's own group, with no member but the user. Writable by it is writable by the
// user only, as Debian's ssh also takes it.
bool PrivateGroup(gid_t group) {
  const auto user = ThisUser();
  if (!user || user->group != group) return false;
  std::vector<char> buffer(65536);
  struct group entry {};
  struct group* found = nullptr;
  if (::getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  for (char** member = found->gr_mem; member && *member; ++member) {
    if (user->name != *member) return false;
  }
  return true;
}
#endif

}  // namespace

std::optional<std::string> HomeFolder() {
  if (auto home = EnvironmentVariable("HOME")) return home;
  const auto user = ThisUser();
  if (!user || user->home.empty() || user->home[0] != '/') return std::nullopt;
  return user->home;
}

std::string WritableByOthers(const std::string& path) {
#ifdef __EMSCRIPTEN__
  (void)path;
  return {};
#else
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};  // nothing there to be changed
  const uid_t user = ::getuid();
  if (status.st_uid != user && status.st_uid != 0) {
    return "belongs to another user (" + std::to_string(status.st_uid) + ")";
  }
  if (status.st_mode & S_IWOTH) return "can be written by every user";
  if ((status.st_mode & S_IWGRP) && !PrivateGroup(status.st_gid)) return "can be written by its group";
  return {};
#endif
}

void ConnectStandardStreams() {}

void ShowUserLine(const std::string& line, bool, const std::string&) { std::fprintf(stderr, "%s\n", line.c_str()); }

#ifdef __EMSCRIPTEN__
// A web page, or Node running the same program: no executable file of its own, and the
// libraries are those linked in.
std::string ProgramPath() { return {}; }

namespace {
using LinkedLibraryMap = std::map<std::string, std::span<const LinkedSymbol>, std::less<> >;
LinkedLibraryMap& LinkedLibraries() {
  static LinkedLibraryMap libraries;
  return libraries;
}
}  // namespace

LoadedLibrary::LoadedLibrary(const std::string& path) {
  std::string_view name = path;
  if (const std::size_t slash = name.find_last_of('/'); slash != std::string_view::npos) name.remove_prefix(slash + 1);
  name = name.substr(0, name.find('.'));
  const auto found = LinkedLibraries().find(name);
  if (found != LinkedLibraries().end()) handle_ = &found->second;
}

LoadedLibrary::~LoadedLibrary() = default;

void* LoadedLibrary::Symbol(const char* name) const {
  if (!handle_) return nullptr;
  for (const LinkedSymbol& symbol : *static_cast<const std::span<const LinkedSymbol>*>(handle_)) {
    if (std::strcmp(symbol.name, name) == 0) return symbol.address;
  }
  return nullptr;
}
#else
std::string ProgramPath() {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

LoadedLibrary::LoadedLibrary(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

LoadedLibrary::~LoadedLibrary() {
  if (handle_) ::dlclose(handle_);
}

void* LoadedLibrary::Symbol(const char* name) const { return handle_ ? ::dlsym(handle_, name) : nullptr; }
#endif
#endif

bool RegisterLinkedLibrary(std::string_view baseName, std::span<const LinkedSymbol> symbols) {
#ifdef __EMSCRIPTEN__
  LinkedLibraries().insert_or_assign(std::string(baseName), symbols);
  return true;
#else
  (void)baseName, (void)symbols;
  return false;
#endif
}

void ReportFailure(const std::string& line) {
  ShowUserLine("quelvar: " + line, true, "O jogo Ilha de Quelvar não pôde continuar.\n\n" + line);
}

namespace {

#ifdef _WIN32
bool StartDetached(const std::vector<std::string>& arguments) {
  const std::wstring file = text::WideFileName(arguments[0]);
  const std::wstring parameter = arguments.size() > 1 ? text::WideFileName(arguments[1]) : std::wstring();
  const auto started = reinterpret_cast<INT_PTR>(::ShellExecuteW(
      nullptr, L"open", file.c_str(), parameter.empty() ? nullptr : parameter.c_str(), nullptr, SW_SHOWNORMAL));
  return started > 32;
}
#else
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
    ::signal(SIGXFSZ, SIG_DFL);
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
#endif

// What the process keeps for the whole run: every line told to the user and whether the
// terminal console holds them back, whether the run failed, who starts programs.
struct ProcessState {
  std::vector<std::string> told;
  bool held = false;
  std::atomic<bool> failed{false};
  ProgramStarter starter;  // empty: the system starts programs
};
ProcessState gProcess;

}  // namespace

void TellUser(const std::string& line) { TellPlayer(line, {}); }
void TellPlayer(const std::string& line, const std::string& portuguese, bool failure) {
  if (!gProcess.held) ShowUserLine(line, failure, portuguese);
  gProcess.told.push_back(line);
}
void HoldToldLines() { gProcess.held = true; }
void ReleaseToldLines() {
  if (!gProcess.held) return;
  gProcess.held = false;
  for (const std::string& line : gProcess.told) std::fprintf(stderr, "%s\n", line.c_str());
}

void NoteRunFailed() { gProcess.failed = true; }
bool RunFailed() { return gProcess.failed; }

bool StartProgram(const std::vector<std::string>& command) {
  return gProcess.starter ? gProcess.starter(command) : StartDetached(command);
}
void SetProgramStarter(ProgramStarter starter) { gProcess.starter = std::move(starter); }

}  // namespace platform
