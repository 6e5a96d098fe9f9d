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
  std::vector<std::vector<uint8_t>> samples(names.size());
  std::vector<text::DiphoneUnit> units;
  for (std::size_t u = 0; u < names.size(); ++u) {
    const uint16_t length = names[u].size() == 2 ? 900 : 1400;
    for (uint16_t i = 0; i < length; ++i) samples[u].push_back(static_cast<uint8_t>(sample(u, i)));
    units.push_back({names[u], samples[u]});
  }
  const text::DiphoneDatabaseImages database = text::LayOutDiphoneDatabase(units);
  const auto write = [&](const char* extension, const std::vector<uint8_t>& bytes) {
    std::ofstream(folder + "/" + name + extension, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  };
  write(".IND", database.index);
  write(".DIF", database.samples);
}

}  // namespace bench
