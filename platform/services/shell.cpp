#include "platform/services/shell.h"

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/services/files.h"
#include "platform/services/process.h"
#include "text/cp1252.h"

#ifdef _WIN32
// After our own headers, whose names some of its macros share.
#include <windows.h>

#include <shellapi.h>  // needs windows.h first
#endif

namespace platform {
namespace {

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

std::filesystem::file_status StatusOf(const std::string& path) {
  std::error_code error;
  return std::filesystem::status(std::filesystem::path(std::u8string(path.begin(), path.end())), error);
}

#ifdef _WIN32
bool IsExecutableFile(const std::string& path) {
  if (!std::filesystem::is_regular_file(StatusOf(path)) || path.size() < 4) return false;
  std::string extension = path.substr(path.size() - 4);
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return extension == ".exe" || extension == ".com" || extension == ".bat" || extension == ".cmd";
}

bool IsAbsolute(const std::string& path) {
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path.front() == '/' || path.front() == '\\'));
}
#else
bool IsExecutableFile(const std::string& path) {
  return std::filesystem::is_regular_file(StatusOf(path)) && ::access(path.c_str(), X_OK) == 0;
}

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == '/'; }
#endif

std::string CurrentDirectory() {
  std::error_code error;
  const std::u8string folder = std::filesystem::current_path(error).u8string();
  if (error) return "/";
  return std::string(folder.begin(), folder.end());
}

std::string Absolute(const std::string& path) {
  if (IsAbsolute(path)) return path;
  std::string directory = CurrentDirectory();
  if (directory.back() != '/' && directory.back() != '\\') directory += '/';
  return directory + path;
}

#ifdef _WIN32
// The shell looks a bare program name up itself (its folder, the system's, PATH).
std::optional<std::string> FindOnPath(std::string_view name) {
  if (name.empty() || name.find_first_of("/\\:") != std::string_view::npos || name == "." || name == "..") {
    return std::nullopt;
  }
  return std::string(name);
}
#else
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
#endif

// A word the user typed names a file: one that begins with '-' must not reach the program
// as an option, so it goes as the same file in the current folder.
std::string AsOperand(std::string_view parameter) {
  if (!parameter.empty() && parameter.front() == '-') return "./" + std::string(parameter);
  return std::string(parameter);
}

#ifdef _WIN32
// The shell opens a document or an address with the program the system has for it, and
// runs a program found on its own search path.
std::optional<std::vector<std::string>> OpenWithDesktop(const std::string& what) {
  return std::vector<std::string>{what};
}

#else
std::optional<std::vector<std::string>> OpenWithDesktop(const std::string& what) {
  const auto opener = FindOnPath("xdg-open");
  if (!opener) return std::nullopt;
  return std::vector<std::string>{*opener, what};
}

#endif

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
    const std::filesystem::file_status status = StatusOf(path);
    if (!std::filesystem::exists(status)) return std::nullopt;
    if (IsExecutableFile(path)) {
      std::vector<std::string> command{path};
      if (!parameter.empty()) command.emplace_back(AsOperand(parameter));
      return command;
    }
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status)) {
      return OpenWithDesktop(path);
    }
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
  return StartProgram(*command);
}

}  // namespace platform
