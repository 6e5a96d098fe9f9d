#pragma once
// Test helpers: Portuguese literals written in UTF-8 become the program's Windows-1252 bytes.

#include <string>
#include <string_view>

#include "text/cp1252.h"

inline std::string W(std::string_view utf8) { return text::Utf8ToCp1252(utf8); }
