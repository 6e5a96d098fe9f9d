#include "platform/services/registry.h"

#include <sys/stat.h>

#include <cctype>

#include "platform/services/files.h"

namespace platform {
namespace {

constexpr std::string_view DefaultVoiceFolder = "/usr/share/mbrola";
constexpr std::string_view DatabasesKey = "SOFTWARE\\TCTS\\Mbrola\\databases\\";

std::string gVoiceFolder;

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The registered database of a key path, or nothing when the key is not one.
std::optional<std::string> DatabaseOfKey(std::string_view key) {
  if (key.size() <= DatabasesKey.size() || !EqualIgnoringCase(key.substr(0, DatabasesKey.size()), DatabasesKey)) {
    return std::nullopt;
  }
  const std::string_view name = key.substr(DatabasesKey.size());
  // One key below "databases": no further level, and nothing that would leave the voice folder.
  if (name.find('\\') != std::string_view::npos || name.find('/') != std::string_view::npos || name == "." ||
      name == "..") {
    return std::nullopt;
  }
  const auto path = FindPathIgnoringCase(MbrolaVoiceFolder() + "/" + std::string(name) + "/" + std::string(name));
  if (!path || !IsRegularFile(*path)) return std::nullopt;
  return path;
}

}  // namespace

std::string MbrolaVoiceFolder() { return gVoiceFolder.empty() ? std::string(DefaultVoiceFolder) : gVoiceFolder; }

void SetMbrolaVoiceFolder(std::string folder) { gVoiceFolder = std::move(folder); }

std::optional<std::string> ReadRegistryString(RegistryRoot root, std::string_view path) {
  const std::size_t split = path.rfind('\\');
  if (split == std::string_view::npos) return std::nullopt;
  const std::string_view key = path.substr(0, split);
  const std::string_view valueName = path.substr(split + 1);
  if (root != RegistryRoot::LocalMachine || !valueName.empty()) return std::nullopt;
  return DatabaseOfKey(key);
}

}  // namespace platform
