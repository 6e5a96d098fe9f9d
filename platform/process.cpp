#include "platform/process.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>  // needs windows.h first
#elif !defined(__EMSCRIPTEN__)
#include <dlfcn.h>
#include <unistd.h>
#endif

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

}  // namespace platform
