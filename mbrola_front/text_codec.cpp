// Data-file helpers of the front end.
#include "mbrola_front/text_codec.h"

#include "text/cp1252.h"
#include "text/files.h"

namespace mbrola_front {

std::string_view TrimText(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  return text;
}

std::vector<std::string> SplitDataLines(std::string_view contents) {
  const std::string content = text::DataTextToCp1252(contents);
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadDataFileLines(const std::string& path) {
  const auto contents = text::ReadWholeFile(path);
  if (!contents) return std::nullopt;
  return SplitDataLines(*contents);
}

std::optional<long> ParseInteger(std::string_view text) {
  if (text.empty()) return std::nullopt;
  size_t i = 0;
  bool negative = false;
  if (text[0] == '+' || text[0] == '-') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i == text.size()) return std::nullopt;
  long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    if (value > 100000000L) return std::nullopt;  // far beyond any duration or pitch
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

}  // namespace mbrola_front
