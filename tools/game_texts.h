#pragma once
// Reading the game's texts out of its sources, for the tools that must know every line the
// game can say: the voice-data builder and the transcript coverage check.

#include <filesystem>
#include <string>
#include <vector>

#include "text/files.h"

namespace tools {

// A whole file's bytes; empty when it cannot be read.
inline std::string ReadWhole(const std::filesystem::path& path) {
  return text::ReadWholeFile(path.string()).value_or(std::string());
}

// Every "..."_text literal of a C++ source, with \" and \\ unescaped.
inline std::vector<std::string> TextLiterals(const std::string& source) {
  std::vector<std::string> texts;
  const std::string suffix = "\"_text";
  for (std::size_t end = source.find(suffix); end != std::string::npos; end = source.find(suffix, end + 1)) {
    // Walk back to the opening quote, skipping escaped quotes.
    std::size_t open = end;
    while (open > 0) {
      --open;
      if (source[open] != '"') continue;
      std::size_t backslashes = 0;
      while (open > backslashes && source[open - 1 - backslashes] == '\\') ++backslashes;
      if (backslashes % 2 == 0) break;
    }
    std::string text;
    for (std::size_t i = open + 1; i < end; ++i) {
      if (source[i] == '\\' && i + 1 < end) ++i;
      text += source[i];
    }
    texts.push_back(text);
  }
  return texts;
}

}  // namespace tools
