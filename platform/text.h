#pragma once
// Names under which the console, the program and the engine adapters still reach the
// Windows-1252 codec of text/cp1252.h; new code includes text/cp1252.h itself.

#include "text/cp1252.h"

namespace platform {

using text::Cp1252ToCodePoint;
using text::Cp1252ToUtf8;
using text::CodePointToCp1252;
using text::Utf8ToCp1252;

}  // namespace platform
