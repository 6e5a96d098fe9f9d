#include "platform/services/files.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <filesystem>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/services/process.h"
#include "text/cp1252.h"

namespace platform {
namespace {

// Where the program's files are: the folder standing for the Windows directory, the data
// root that Windows paths of the install folder map to, and where settings go when the
// Windows directory cannot hold them.
struct Folders {
  std::string windowsDirectory;
  std::string dataRoot;
  std::string profileFallback;
  bool settingsRefused = false;  // the Windows directory's settings file is no settings file
};

// A profile file read once and kept until it changes on disk: the speech settings are read
// key by key, each read asking the file again, and a large file must not be read again for
// every key. The sections are found from a list of where their headers are; each answer is
// kept too.
struct ProfileFile {
  std::string path;
  std::optional<text::FileStamp> stamp;  // nothing: there was no file
  bool settled = false;                  // last changed well before it was read
  bool present = false;                  // read: a regular file within the limit
  std::string text;
  std::vector<std::size_t> headers;  // where each line starting with '[' begins
  std::unordered_map<std::string, std::optional<std::string>> answers;
};

constexpr std::size_t KeptProfiles = 2;
constexpr std::size_t KeptAnswers = 4096;
// The settings files read last, kept while they do not change on disk; any thread.
struct ProfileCache {
  std::mutex mutex;
  std::deque<ProfileFile> files;  // the one read last first
};

// What the files keep for the whole run.
struct FilesState {
  Folders folders;
  ProfileCache profiles;
};
FilesState gFiles;

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

// The line at pos, without its line end; pos moves past it.
std::string_view LineAt(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  const void* found = std::memchr(text.data() + start, '\n', text.size() - start);
  const std::size_t end = found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data()) : text.size();
  pos = end + 1;
  return text.substr(start, end - start);
}

// A UTF-8 path as the file system library takes it (wide on Windows).
std::filesystem::path FileSystemPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::filesystem::file_status StatusOf(const std::string& path) {
  std::error_code error;
  return std::filesystem::status(FileSystemPath(path), error);
}

bool Exists(const std::string& path) { return std::filesystem::exists(StatusOf(path)); }

std::string StripTrailingSlashes(std::string path) {
  while (path.size() > 1 && text::EndsWithSeparator(path)) path.pop_back();
  return path;
}

}  // namespace

std::string WindowsDirectory() {
  if (!gFiles.folders.windowsDirectory.empty()) return gFiles.folders.windowsDirectory;
  if (const auto dir = EnvironmentVariable("TAMIRE_WINDIR")) return StripTrailingSlashes(*dir);
#ifdef _WIN32
  if (const auto appData = EnvironmentVariable("APPDATA")) return StripTrailingSlashes(*appData) + "\\tamire";
#endif
  // A relative XDG_CONFIG_HOME is ignored, as the XDG rules say.
  if (const auto xdg = EnvironmentVariable("XDG_CONFIG_HOME"); xdg && xdg->front() == '/') {
    return StripTrailingSlashes(*xdg) + "/tamire";
  }
  if (const auto home = HomeFolder()) return StripTrailingSlashes(*home) + "/.config/tamire";
  return {};  // the player has no folder of their own
}

void SetWindowsDirectory(std::string directory) {
  gFiles.folders.windowsDirectory = StripTrailingSlashes(std::move(directory));
}

std::string DataRoot() {
  if (!gFiles.folders.dataRoot.empty()) return gFiles.folders.dataRoot;
  if (const auto dir = EnvironmentVariable("QUELVAR_DATA_DIR")) return StripTrailingSlashes(*dir);
#ifdef QUELVAR_DEFAULT_DATA_ROOT
  return QUELVAR_DEFAULT_DATA_ROOT;
#else
  return "/usr/share/quelvar";
#endif
}

void SetDataRoot(std::string directory) { gFiles.folders.dataRoot = StripTrailingSlashes(std::move(directory)); }

std::string TranslateWindowsPath(std::string_view path) {
  const bool hasDrive =
      path.size() >= 2 && path[1] == ':' && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (!hasDrive && path.find('\\') == std::string_view::npos) return std::string(path);
#ifdef _WIN32
  // Windows keeps its drive letters; only the suite's install folder moves.
  const std::string_view rest = hasDrive ? path.substr(2) : path;
  constexpr std::string_view Suite = "\\lorben";
  if (rest.size() >= Suite.size() && EqualIgnoringCase(rest.substr(0, Suite.size()), Suite) &&
      (rest.size() == Suite.size() || rest[Suite.size()] == '\\' || rest[Suite.size()] == '/')) {
    std::string out = DataRoot();
    for (const char c : rest.substr(Suite.size())) out += c == '\\' ? '/' : c;
    return out;
  }
  return std::string(path);
#endif
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
  if (path.empty()) return std::nullopt;
  if (Exists(path)) return path;
  // Walk the components from the root (or the current folder), fixing the case of each.
  std::string current = path[0] == '/' ? "/" : "";
  std::size_t start = path[0] == '/' ? 1 : 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    if (!component.empty()) {
      std::string candidate = current + component;
      if (!Exists(candidate)) {
        std::error_code error;
        std::filesystem::directory_iterator entries(FileSystemPath(current.empty() ? "." : current), error);
        if (error) return std::nullopt;
        bool found = false;
        for (const auto& entry : entries) {
          const std::u8string name = entry.path().filename().u8string();
          const std::string utf8(name.begin(), name.end());
          if (EqualIgnoringCase(utf8, component)) {
            candidate = current + utf8;
            found = true;
            break;
          }
        }
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
  return found && std::filesystem::is_regular_file(StatusOf(*found));
}

bool DirectoryExists(const std::string& path) {
  const auto found = FindPathIgnoringCase(StripTrailingSlashes(path));
  return found && std::filesystem::is_directory(StatusOf(*found));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(FileSystemPath(a), FileSystemPath(b), error) && !error;
}

bool SameOutputFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const auto status = std::filesystem::status(FileSystemPath(a), error);
  if (std::filesystem::exists(status)) return std::filesystem::is_regular_file(status) && SameFile(a, b);
  const auto place = [&error](const std::string& path) {
    return std::filesystem::weakly_canonical(std::filesystem::absolute(FileSystemPath(path), error), error);
  };
  const auto placeA = place(a);
  const auto placeB = place(b);
  return !error && placeA == placeB;
}

bool InsideDataRoot(const std::string& path) {
  std::error_code error;
  const std::filesystem::path place =
      std::filesystem::weakly_canonical(std::filesystem::absolute(FileSystemPath(path), error), error);
  if (error) return false;
  const auto inside = [&place](const std::filesystem::path& folder) {
    std::error_code failed;
    const std::filesystem::path root = std::filesystem::canonical(folder, failed);
    if (failed) return false;
    const auto [rootEnd, placeEnd] = std::mismatch(root.begin(), root.end(), place.begin(), place.end());
    return rootEnd == root.end();
  };
  const std::filesystem::path root = FileSystemPath(DataRoot());
  if (inside(root)) return true;
  // A data root may link to folders elsewhere (a build tree's front-end data).
  for (const auto& entry : std::filesystem::directory_iterator(root, error)) {
    std::error_code failed;
    if (entry.is_symlink(failed) && entry.is_directory(failed) && inside(entry.path())) return true;
  }
  return false;
}

std::string ProfileFilePath(std::string_view fileName) {
  const bool bare = fileName.find('/') == std::string_view::npos && fileName.find('\\') == std::string_view::npos &&
                    fileName.find(':') == std::string_view::npos;
  if (!bare) return TranslateWindowsPath(fileName);
  const std::string folder = WindowsDirectory();
  if (folder.empty()) {
    return text::JoinPath(gFiles.folders.profileFallback.empty() ? DataRoot() : gFiles.folders.profileFallback,
                          fileName);
  }
  std::string path = text::JoinPath(folder, fileName);
  if (!gFiles.folders.profileFallback.empty() && (gFiles.folders.settingsRefused || !FindPathIgnoringCase(path))) {
    return text::JoinPath(gFiles.folders.profileFallback, fileName);
  }
  return path;
}

void SetProfileFallbackFolder(std::string folder) {
  gFiles.folders.profileFallback = StripTrailingSlashes(std::move(folder));
  gFiles.folders.settingsRefused = false;
}

std::string SettingsFileProblem(const std::string& path) {
  std::error_code error;
  const auto link = std::filesystem::symlink_status(FileSystemPath(path), error);
  if (!error && std::filesystem::is_symlink(link) && !std::filesystem::exists(StatusOf(path))) {
    return "is a link that leads to no file (nowhere, or round in a loop)";
  }
  text::FileRefusal refusal = text::FileRefusal::None;
  const auto content = text::ReadWholeFile(path, text::DataFileLimit, &refusal);
  if (!content) return text::RefusalText(refusal);
  if (content->empty()) return "is empty";
  // Text holds no control characters but line ends, tabs and the old end-of-file mark.
  const bool text = std::none_of(content->begin(), content->end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n' && byte != 0x1A;
  });
  if (!text) return "is not text";
  const std::string lines = text::DataTextToCp1252(*content);  // as the reader sees it: no byte order mark
  std::size_t pos = 0;
  while (pos < lines.size()) {
    if (Trim(LineAt(lines, pos)).starts_with('[')) return "";
  }
  return "has no [section]";
}

namespace {

// Makes folder and the folders above it, each for the user alone (as the XDG rules ask of
// ~/.config); false with the reason when one cannot be made.
bool MakeFolders(const std::string& folder, std::string& reason) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string part = folder.substr(0, slash);
    std::error_code error;
#ifdef _WIN32
    std::filesystem::create_directory(FileSystemPath(part), error);
#else
    if (::mkdir(part.c_str(), 0700) != 0) error = std::error_code(errno, std::generic_category());
#endif
    if (error && error != std::errc::file_exists) {
      reason = part + ": " + error.message();
      return false;
    }
    if (slash == std::string::npos) break;
  }
  if (!DirectoryExists(folder)) {
    reason = folder + ": not a folder";
    return false;
  }
  return true;
}

}  // namespace

SettingsFile PrepareSettingsFile(std::string_view fileName, std::string& path, std::string& reason) {
  const std::string folder = WindowsDirectory();
  const std::string shipped = text::JoinPath(DataRoot(), fileName);
  // No folder of the player's, or one that others could have planted settings in: the
  // shipped settings are read in place, and nothing of that folder is ever read.
  const auto readShipped = [&](SettingsFile result) {
    SetProfileFallbackFolder(DataRoot());
    gFiles.folders.settingsRefused = true;
    path = shipped;
    return FileExists(shipped) ? result : SettingsFile::NoDefault;
  };
  if (folder.empty()) {
    reason = "HOME is not set and the password database names no home folder for this user";
    return readShipped(SettingsFile::NoFolder);
  }
  if (const std::string why = WritableByOthers(folder); !why.empty()) {
    reason = "the settings folder " + folder + " " + why;
    return readShipped(SettingsFile::Untrusted);
  }
  const std::string wanted = text::JoinPath(folder, fileName);
  if (const auto existing = FindPathIgnoringCase(wanted)) {
    path = *existing;
    const std::string problem = SettingsFileProblem(*existing);
    if (problem.empty()) {
      if (const std::string why = WritableByOthers(*existing); !why.empty()) {
        reason = "the settings file " + *existing + " " + why;
        return readShipped(SettingsFile::Untrusted);
      }
      return SettingsFile::Present;
    }
    // Not a settings file at all: as if there were none, but never replaced.
    reason = *existing + " " + problem;
    if (!FileExists(shipped)) return SettingsFile::NoDefault;
    SetProfileFallbackFolder(DataRoot());
    gFiles.folders.settingsRefused = true;
    path = shipped;
    return SettingsFile::Refused;
  }
  const auto content = text::ReadWholeFile(shipped);
  if (!content) {
    path = wanted;
    return SettingsFile::NoDefault;
  }
  if (MakeFolders(folder, reason) && text::WriteNewFile(wanted, *content, reason)) {
    path = wanted;
    return SettingsFile::Written;
  }
  if (FileExists(wanted)) {  // another run wrote it meanwhile
    path = *FindPathIgnoringCase(wanted);
    return SettingsFile::Present;
  }
  SetProfileFallbackFolder(DataRoot());
  path = shipped;
  return SettingsFile::ReadInPlace;
}

namespace {

void IndexProfile(ProfileFile& file) {
  const std::string_view text = file.text;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    const std::string_view line = Trim(LineAt(text, pos));
    if (!line.empty() && line.front() == '[') file.headers.push_back(start);
  }
}

// Settings that someone else could have written, the file or the folder it is in, are no
// settings of the player's: they read as missing.
bool PlantedByOthers(const std::string& path) {
  return !WritableByOthers(path).empty() || !WritableByOthers(FolderOf(path)).empty();
}

// The profile file at path as it is now on disk (read again only when it has changed).
ProfileFile& CurrentProfile(const std::string& path) {
  const std::optional<text::FileStamp> stamp = text::StampOf(path);
  for (auto it = gFiles.profiles.files.begin(); it != gFiles.profiles.files.end(); ++it) {
    if (it->path != path) continue;
    if (it->settled && it->stamp == stamp) return *it;
    gFiles.profiles.files.erase(it);
    break;
  }
  if (gFiles.profiles.files.size() >= KeptProfiles) gFiles.profiles.files.pop_back();
  ProfileFile& file = gFiles.profiles.files.emplace_front();
  file.path = path;
  // A file rewritten with the same size within one tick of the file times would look
  // unchanged: a file changed this shortly before it was read is read again next time.
  file.settled = !stamp || std::max(stamp->modifiedNs, stamp->changedNs) < text::WallClockNs() - text::FileStampTickNs;
  file.stamp = stamp;
  // A file that cannot be read (a folder, a FIFO, too large) is a missing file.
  if (PlantedByOthers(path)) return file;
  if (const auto content = text::ReadWholeFile(path)) {
    file.present = true;
    file.text = text::DataTextToCp1252(*content);
    IndexProfile(file);
  }
  return file;
}

std::optional<std::string> FindProfileValue(const ProfileFile& file, std::string_view section, std::string_view key) {
  const std::string_view text = file.text;
  for (std::size_t h = 0; h < file.headers.size(); ++h) {
    std::size_t pos = file.headers[h];
    const std::string_view header = Trim(LineAt(text, pos));
    const std::size_t close = header.find(']');
    if (close == std::string_view::npos || !EqualIgnoringCase(Trim(header.substr(1, close - 1)), section)) continue;
    const std::size_t end = h + 1 < file.headers.size() ? file.headers[h + 1] : text.size();
    while (pos < end) {
      const std::string_view line = Trim(LineAt(text, pos));
      if (line.empty() || line.front() == ';') continue;
      const std::size_t equals = line.find('=');
      if (equals == std::string_view::npos) continue;
      if (!EqualIgnoringCase(Trim(line.substr(0, equals)), key)) continue;
      std::string_view value = Trim(line.substr(equals + 1));
      if (value.size() >= 2 &&
          ((value.front() == '"' && value.back() == '"') || (value.front() == '\'' && value.back() == '\''))) {
        value = value.substr(1, value.size() - 2);
      }
      return std::string(value);
    }
  }
  return std::nullopt;
}

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return upper;
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                                    std::string_view fileName, std::size_t bufferSize) {
  const auto cut = [bufferSize](std::string_view value) {
    if (bufferSize == 0) return std::string();
    return std::string(value.substr(0, std::min(value.size(), bufferSize - 1)));
  };
  const auto path = FindPathIgnoringCase(ProfileFilePath(fileName));
  if (!path) return cut(defaultValue);
  std::lock_guard lock(gFiles.profiles.mutex);
  ProfileFile& file = CurrentProfile(*path);
  if (!file.present) return cut(defaultValue);
  std::string question = UpperAscii(section);
  question += '\n';
  question += UpperAscii(key);
  auto answer = file.answers.find(question);
  if (answer == file.answers.end()) {
    if (file.answers.size() >= KeptAnswers) file.answers.clear();
    answer = file.answers.emplace(std::move(question), FindProfileValue(file, section, key)).first;
  }
  return answer->second ? cut(*answer->second) : cut(defaultValue);
}

void ForgetProfileFiles() {
  std::lock_guard lock(gFiles.profiles.mutex);
  gFiles.profiles.files.clear();
}

}  // namespace platform
