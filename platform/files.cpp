#include "platform/files.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "platform/text.h"

namespace platform {
namespace {

std::string gWindowsDirectory;
std::string gDataRoot;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool Exists(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string WindowsDirectory() {
  if (!gWindowsDirectory.empty()) return gWindowsDirectory;
  if (const char* dir = std::getenv("TAMIRE_WINDIR"); dir && *dir) return StripTrailingSlashes(dir);
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    return StripTrailingSlashes(xdg) + "/tamire";
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/tamire";
}

void SetWindowsDirectory(std::string directory) {
  gWindowsDirectory = StripTrailingSlashes(std::move(directory));
}

std::string DataRoot() {
  if (!gDataRoot.empty()) return gDataRoot;
  if (const char* dir = std::getenv("QUELVAR_DATA_DIR"); dir && *dir) return StripTrailingSlashes(dir);
#ifdef QUELVAR_DEFAULT_DATA_ROOT
  return QUELVAR_DEFAULT_DATA_ROOT;
#else
  return "/usr/share/quelvar";
#endif
}

void SetDataRoot(std::string directory) { gDataRoot = StripTrailingSlashes(std::move(directory)); }

std::string TranslateWindowsPath(std::string_view path) {
  const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (!hasDrive && path.find('\\') == std::string_view::npos) return std::string(path);
  if (hasDrive) path.remove_prefix(2);
  std::string out;
  out.reserve(path.size());
  for (const char c : path) out += (c == '\\') ? '/' : c;
  constexpr std::string_view Install = "/lorben";
  if (out.size() >= Install.size() && EqualIgnoringCase(std::string_view(out).substr(0, Install.size()), Install) &&
      (out.size() == Install.size() || out[Install.size()] == '/')) {
    out = DataRoot() + out.substr(Install.size());
  }
  return out;
}

std::optional<std::string> FindPathIgnoringCase(const std::string& path) {
  struct stat info{};
  if (path.empty()) return std::nullopt;
  if (Exists(path, info)) return path;
  // Walk the components from the root (or the current folder), fixing the case of each.
  std::string current = path[0] == '/' ? "/" : "";
  std::size_t start = path[0] == '/' ? 1 : 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    if (!component.empty()) {
      std::string candidate = current + component;
      if (!Exists(candidate, info)) {
        DIR* dir = ::opendir(current.empty() ? "." : current.c_str());
        if (!dir) return std::nullopt;
        bool found = false;
        while (dirent* entry = ::readdir(dir)) {
          if (EqualIgnoringCase(entry->d_name, component)) {
            candidate = current + entry->d_name;
            found = true;
            break;
          }
        }
        ::closedir(dir);
        if (!found) return std::nullopt;
      }
      current = candidate;
      if (end < path.size()) current += '/';
    } else if (end < path.size() && !current.empty() && current.back() != '/') {
      current += '/';
    }
    start = end + 1;
  }
  return current;
}

bool FileExists(const std::string& path) {
  const auto found = FindPathIgnoringCase(path);
  struct stat info{};
  return found && Exists(*found, info) && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  const auto found = FindPathIgnoringCase(StripTrailingSlashes(path));
  struct stat info{};
  return found && Exists(*found, info) && S_ISDIR(info.st_mode);
}

std::string ProfileFilePath(std::string_view fileName) {
  const bool bare = fileName.find('/') == std::string_view::npos &&
                    fileName.find('\\') == std::string_view::npos && fileName.find(':') == std::string_view::npos;
  if (bare) return WindowsDirectory() + "/" + std::string(fileName);
  return TranslateWindowsPath(fileName);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::string_view fileName,
                                    std::size_t bufferSize) {
  const auto cut = [bufferSize](std::string_view value) {
    if (bufferSize == 0) return std::string();
    return std::string(value.substr(0, std::min(value.size(), bufferSize - 1)));
  };
  const auto path = FindPathIgnoringCase(ProfileFilePath(fileName));
  if (!path) return cut(defaultValue);
  const auto content = ReadFileBytes(*path);
  if (!content) return cut(defaultValue);
  const std::string text = DataTextToCp1252(*content);

  bool inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string_view line = Trim(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      inSection = close != std::string_view::npos && EqualIgnoringCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!EqualIgnoringCase(Trim(line.substr(0, equals)), key)) continue;
    std::string_view value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && ((value.front() == '"' && value.back() == '"') ||
                              (value.front() == '\'' && value.back() == '\''))) {
      value = value.substr(1, value.size() - 2);
    }
    return cut(value);
  }
  return cut(defaultValue);
}

}  // namespace platform
