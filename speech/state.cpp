#include "speech/state.h"

#include <filesystem>
#include <system_error>

namespace speech {

namespace {

std::string WorkingFolder() {
  std::error_code error;
  std::string folder = std::filesystem::current_path(error).string();
  while (!folder.empty() && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

}  // namespace

SpeechState::SpeechState() : startFolder(WorkingFolder()) {}

}  // namespace speech
