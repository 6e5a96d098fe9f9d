#include "text/diphone_index.h"

#include <algorithm>

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

}  // namespace text
