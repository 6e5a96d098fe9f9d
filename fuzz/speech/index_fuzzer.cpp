// A diphone index of arbitrary bytes: parsed whole, then every record is searched for.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "speech/diphone.h"
#include "text/diphone_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<text::DiphoneRecord> records;
  if (!text::ParseDiphoneIndex(std::span<const uint8_t>(data, size), records)) return 0;
  if (records.size() != size / text::DiphoneRecordSize) __builtin_trap();
  for (const auto& record : records) {
    if (record.name.size() > text::DiphoneNameMaximum) __builtin_trap();
    // Names with lower-case letters cannot be found, since searches are upper-cased.
    bool upper = true;
    for (const char c : record.name) upper = upper && !(c >= 'a' && c <= 'z');
    if (upper && speech::FindDiphoneUnit(records, record.name) == nullptr) __builtin_trap();
  }
  (void)speech::FindDiphoneUnit(records, "$A");
  (void)speech::FindDiphoneUnit(records, "");
  return 0;
}
