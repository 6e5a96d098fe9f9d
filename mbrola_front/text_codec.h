#pragma once
// Data-file helpers of the front end: lines of Windows-1252 text, trimming and integers.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_front {

// Blanks and control characters (codes 0..32) removed at both ends.
std::string_view TrimText(std::string_view text);

// Reads a data file as Windows-1252 lines (LF or CR LF ends a line; CR is dropped).
// The content is taken as text::DataTextToCp1252 takes it. Nothing when unreadable.
std::optional<std::vector<std::string>> ReadDataFileLines(const std::string& path);
std::vector<std::string> SplitDataLines(std::string_view contents);

// Parses an optionally signed decimal integer that fills the whole text.
std::optional<long> ParseInteger(std::string_view text);

}  // namespace mbrola_front
