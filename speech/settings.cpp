#include "speech/settings.h"

#include <algorithm>
#include <charconv>

#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/state.h"
#include "text/files.h"

namespace speech {

std::string SuiteIniFile() {
  // The Windows directory's copy, or the shipped one read in place when none could be
  // written there.
  if (platform::FileExists(platform::ProfileFilePath(SuiteIniName))) return std::string(SuiteIniName);
  return text::JoinPath(State().startFolder, SuiteIniName);
}

std::string ExpandSuiteFolder(std::string_view value, std::string_view suiteFolder) {
  std::string expanded;
  expanded.reserve(value.size() + suiteFolder.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    const bool atStart = i == 0;
    const bool beforeBackslash = i + 1 < value.size() && value[i + 1] == '\\';
    if (value[i] == '@' && (atStart || beforeBackslash)) {
      expanded += suiteFolder;
    } else {
      expanded += value[i];
    }
  }
  return expanded;
}

std::string ReadSuiteSetting(std::string_view section, std::string_view key) {
  if (section.empty()) section = "TAMIRE";
  const std::string file = SuiteIniFile();
  const std::string value = platform::GetPrivateProfileString(section, key, "", file, 256);
  if (value.find('@') == std::string::npos) return value;
  std::string suiteFolder = platform::GetPrivateProfileString("TAMIRE", "PGMTAMIRE", "", file, 256);
  if (suiteFolder.empty() || suiteFolder.front() == '@') suiteFolder = State().startFolder;
  return ExpandSuiteFolder(value, suiteFolder);
}

std::string ReadWindowsDirectorySetting(std::string_view section, std::string_view key, std::string_view defaultValue,
                                        std::size_t bufferSize) {
  return platform::GetPrivateProfileString(section, key, defaultValue, SuiteIniName, bufferSize);
}

std::optional<int32_t> ParseSettingInteger(std::string_view text) {
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int32_t BoundedSetting(std::string_view text, int32_t fallback, int32_t lowest, int32_t highest) {
  const std::optional<int32_t> value = ParseSettingInteger(text);
  if (!value) return fallback;
  return std::clamp(*value, lowest, highest);
}

bool SettingIsOn(std::string_view text) { return !text.empty() && text.front() != 'N' && text.front() != 'n'; }

std::string WithFolderSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

}  // namespace speech
