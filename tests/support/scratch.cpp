#include "scratch.h"

#include <stdlib.h>

std::string MakeTestFolder(const std::string& what) {
  std::string pattern = "/tmp/quelvar-" + what + "-XXXXXX";
  const char* folder = ::mkdtemp(pattern.data());
  return folder ? std::string(folder) : std::string();
}
