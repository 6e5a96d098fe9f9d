#pragma once
// Reading the suite's configuration file TAMIRE.INI: where it is found, "@" expansion,
// and how integers, yes/no values and folders are read from it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace speech {

inline constexpr std::string_view SuiteIniName = "TAMIRE.INI";

// The value of key in section ("TAMIRE" when empty) of the suite's configuration file:
// the copy in the Windows directory when there is one, else the one in the start folder.
// A "@" at the start of the value and every "@" followed by "\" become the suite folder.
// Missing keys give empty text.
std::string ReadSuiteSetting(std::string_view section, std::string_view key);

// The profile file name ReadSuiteSetting reads: the bare name when the Windows directory
// holds TAMIRE.INI, else the start folder's TAMIRE.INI.
std::string SuiteIniFile();

// Replaces "@" at the start and every "@\" by suiteFolder; inserted text is not expanded.
std::string ExpandSuiteFolder(std::string_view value, std::string_view suiteFolder);

// A key read straight from TAMIRE.INI in the Windows directory (no location rule, no "@").
std::string ReadWindowsDirectorySetting(std::string_view section, std::string_view key, std::string_view defaultValue,
                                        std::size_t bufferSize = 256);

// Decimal text with an optional sign; nothing when empty, not numeric or out of range.
std::optional<int32_t> ParseSettingInteger(std::string_view text);
// A numeric setting kept within [lowest, highest]: a missing or invalid value gives
// fallback, a value outside the range its nearest end, so no setting can overflow the
// arithmetic it feeds or make a pause or a silence run away.
int32_t BoundedSetting(std::string_view text, int32_t fallback, int32_t lowest, int32_t highest);
// A yes/no value is on when it is not empty and does not begin with "N" or "n".
bool SettingIsOn(std::string_view text);
// Appends "\" unless the folder is empty or already ends in a separator ("\" or "/").
std::string WithFolderSeparator(std::string folder);

}  // namespace speech
