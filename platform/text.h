#pragma once
// Windows-1252 text at the platform boundary: conversion to and from UTF-8, and reading
// data files that users may have saved as UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The Unicode code point of a Windows-1252 byte (undefined bytes map to themselves).
char32_t Cp1252ToCodePoint(uint8_t byte);
// The Windows-1252 byte of a code point, or nothing when it has none.
std::optional<uint8_t> CodePointToCp1252(char32_t codePoint);

std::string Cp1252ToUtf8(std::string_view bytes);
// Characters with no Windows-1252 byte are dropped; malformed UTF-8 bytes are taken as
// Windows-1252 bytes of their own.
std::string Utf8ToCp1252(std::string_view utf8);
bool IsValidUtf8(std::string_view text);

// Converts a file's content to Windows-1252 when it is valid UTF-8 with non-ASCII bytes;
// otherwise returns it unchanged.
std::string DataTextToCp1252(std::string content);

// Reads a whole file as bytes with the rule of platform/files.h (regular files of at most
// DataFileLimit bytes); nothing when it cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path);

// Game texts written as UTF-8 literals in source, converted once.
inline std::string Cp(std::string_view utf8) { return Utf8ToCp1252(utf8); }

}  // namespace platform
