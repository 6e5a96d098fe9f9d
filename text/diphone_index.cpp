#include "text/diphone_index.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace text {
namespace {

uint32_t ReadLittleEndian(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) value = (value << 8) | bytes[i];
  return value;
}

void PutLittleEndian(std::vector<uint8_t>& out, uint32_t value, std::size_t bytes) {
  for (std::size_t i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

bool ParseDiphoneIndex(std::span<const uint8_t> bytes, std::vector<DiphoneRecord>& records) {
  records.clear();
  const std::size_t count = bytes.size() / DiphoneRecordSize;
  records.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto record = bytes.subspan(i * DiphoneRecordSize, DiphoneRecordSize);
    const std::size_t nameLength = record[0];
    if (nameLength > DiphoneNameMaximum) {
      records.clear();
      return false;
    }
    DiphoneRecord entry;
    entry.name.assign(reinterpret_cast<const char*>(record.data() + 1), nameLength);
    entry.lengthSamples = static_cast<uint16_t>(ReadLittleEndian(record.subspan(9, 2)));
    entry.offset = ReadLittleEndian(record.subspan(11, 4));
    // std::string compares bytes as unsigned values, a prefix first: the index's order.
    if (!records.empty() && entry.name < records.back().name) {
      records.clear();
      return false;
    }
    records.push_back(std::move(entry));
  }
  return true;
}

std::vector<uint8_t> DiphoneIndexImage(std::span<const DiphoneRecord> records) {
  std::vector<uint8_t> image;
  image.reserve(records.size() * DiphoneRecordSize);
  for (const DiphoneRecord& record : records) {
    const std::size_t length = std::min(record.name.size(), DiphoneNameMaximum);
    image.push_back(static_cast<uint8_t>(length));
    for (std::size_t c = 0; c < DiphoneNameMaximum; ++c) {
      image.push_back(c < length ? static_cast<uint8_t>(record.name[c]) : 0);
    }
    PutLittleEndian(image, record.lengthSamples, 2);
    PutLittleEndian(image, record.offset, 4);
  }
  return image;
}

DiphoneDatabaseImages LayOutDiphoneDatabase(std::span<const DiphoneUnit> units) {
  std::vector<std::size_t> order(units.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&units](std::size_t a, std::size_t b) { return units[a].name < units[b].name; });
  DiphoneDatabaseImages images;
  std::vector<DiphoneRecord> records;
  records.reserve(units.size());
  for (const std::size_t u : order) {
    const std::span<const uint8_t> samples =
        units[u].samples.first(std::min<std::size_t>(units[u].samples.size(), std::numeric_limits<uint16_t>::max()));
    records.push_back(
        {units[u].name, static_cast<uint16_t>(samples.size()), static_cast<uint32_t>(images.samples.size())});
    images.samples.insert(images.samples.end(), samples.begin(), samples.end());
  }
  images.index = DiphoneIndexImage(records);
  return images;
}

}  // namespace text
