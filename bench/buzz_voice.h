#pragma once
// A diphone database written for benchmarks: every unit of the given phones alone and in
// pairs, and a few named ones, sorted as the index must be and each named once. A
// one-letter unit is 900 samples, any other 1400; the caller shapes the buzz.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "text/diphone_index.h"

namespace bench {

// Writes folder/name.IND and folder/name.DIF; sample(unit, i) is the i-th sample of the
// unit-th unit in index order.
template <typename Sample>
void WriteBuzzDatabase(const std::string& folder, const std::string& name, std::string_view phones,
                       std::initializer_list<const char*> extras, Sample sample) {
  std::vector<std::string> names;
  for (const char a : phones) {
    names.push_back(std::string("$") + a);
    for (const char b : phones) names.push_back(std::string("$") + a + b);
  }
  for (const char* extra : extras) names.emplace_back(extra);
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::vector<text::DiphoneRecord> records;
  std::string sound;
  for (std::size_t u = 0; u < names.size(); ++u) {
    const uint16_t length = names[u].size() == 2 ? 900 : 1400;
    records.push_back({names[u], length, static_cast<uint32_t>(sound.size())});
    for (uint16_t i = 0; i < length; ++i) sound += static_cast<char>(sample(u, i));
  }
  const std::vector<uint8_t> index = text::DiphoneIndexImage(records);
  std::ofstream(folder + "/" + name + ".IND", std::ios::binary)
      .write(reinterpret_cast<const char*>(index.data()), static_cast<std::streamsize>(index.size()));
  std::ofstream(folder + "/" + name + ".DIF", std::ios::binary) << sound;
}

}  // namespace bench
