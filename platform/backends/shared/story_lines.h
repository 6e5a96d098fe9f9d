#pragma once
// The story as the player's screen reader should hear it (the web page's live region): the
// program's text output cut into lines. A line still open when the program waits for a key
// (a question) is heard then, unless it is only the command prompt.

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class StoryLines {
 public:
  // The lines this text (Windows-1252) completes, blank ones left out; CR is dropped.
  std::vector<std::string> Add(std::string_view cp1252);
  // The open line, when the program waits for a key: nothing for a blank line or the prompt.
  std::vector<std::string> TakeOpenLine();

 private:
  std::string open_;
};

}  // namespace platform
