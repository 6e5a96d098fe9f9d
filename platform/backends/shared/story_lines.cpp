#include "platform/backends/shared/story_lines.h"

namespace platform {
namespace {

bool Blank(std::string_view line) { return line.find_first_not_of(' ') == std::string_view::npos; }

}  // namespace

std::vector<std::string> StoryLines::Add(std::string_view cp1252) {
  std::vector<std::string> lines;
  for (const char c : cp1252) {
    if (c == '\r') continue;
    if (c != '\n') {
      open_ += c;
      continue;
    }
    if (!Blank(open_)) lines.push_back(open_);
    open_.clear();
  }
  return lines;
}

std::vector<std::string> StoryLines::TakeOpenLine() {
  std::string_view line = open_;
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  std::vector<std::string> lines;
  if (!Blank(line) && line != ">") lines.push_back(open_);
  open_.clear();
  return lines;
}

}  // namespace platform
