// The command line of arbitrary words (the input split at NUL bytes): either the options
// are taken, or an English message says why not. Files the options name are read by the
// bounded reader; what they name may be anything.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<std::string> words{"quelvar"};
  std::string word;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  app::Options options;
  std::string error;
  if (!app::ParseOptions(static_cast<int>(words.size()), argv.data(), options, error) && error.empty()) std::abort();
  return 0;
}
