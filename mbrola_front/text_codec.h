#pragma once
// Windows-1252 helpers of the front end: case mapping, UTF-8 conversion and data-file reading.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_front {

// Upper-cases a-z and the accented Windows-1252 letters (à..þ, š œ ž ÿ); other bytes stay.
char UpperChar(char c);
char LowerChar(char c);
std::string UpperText(std::string_view text);
std::string LowerText(std::string_view text);

// Blanks and control characters (codes 0..32) removed at both ends.
std::string_view TrimText(std::string_view text);

// True when the bytes are well-formed UTF-8 holding at least one non-ASCII character.
bool IsUtf8WithNonAscii(std::string_view bytes);

// UTF-8 to Windows-1252; a character with no Windows-1252 byte is dropped.
std::string Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::string_view cp1252);

// Reads a data file as Windows-1252 lines (LF or CR LF ends a line; CR is dropped).
// A file that is valid UTF-8 with non-ASCII bytes is converted first. Empty when unreadable.
std::optional<std::vector<std::string>> ReadDataFileLines(const std::string& path);
std::vector<std::string> SplitDataLines(std::string_view contents);

// Parses an optionally signed decimal integer that fills the whole text.
std::optional<long> ParseInteger(std::string_view text);

}  // namespace mbrola_front
