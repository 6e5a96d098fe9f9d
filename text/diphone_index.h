#pragma once
// The diphone index (.IND): 15-byte records naming each unit of a diphone database and
// where its samples lie in the .DIF file.
//
// A record is: the name's length (one byte, at most 8), the name (8 bytes, the unused ones
// zero), the unit's length in samples (16 bits) and its offset in the sample file (32
// bits), little-endian. Records are sorted by name in byte order (unsigned bytes, a prefix
// before the longer names it begins), so that a unit is found by bisection.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace text {

inline constexpr std::size_t DiphoneRecordSize = 15;
inline constexpr std::size_t DiphoneNameMaximum = 8;

struct DiphoneRecord {
  std::string name;
  uint16_t lengthSamples = 0;
  uint32_t offset = 0;
};

// Reads an index image: its size div 15 records (a partial record at the end is not read).
// False, with no records, when a name is longer than 8 bytes or the names are not in
// ascending order.
bool ParseDiphoneIndex(std::span<const uint8_t> bytes, std::vector<DiphoneRecord>& records);

// The index image of records in the order given (the caller sorts them). A name longer
// than 8 bytes is cut to 8.
std::vector<uint8_t> DiphoneIndexImage(std::span<const DiphoneRecord> records);

// One unit of a database to be written: its name and its samples.
struct DiphoneUnit {
  std::string name;
  std::span<const uint8_t> samples;
};

// The two files of a diphone database.
struct DiphoneDatabaseImages {
  std::vector<uint8_t> index;    // name.IND
  std::vector<uint8_t> samples;  // name.DIF
};

// Lays units out as a database: their records sorted by name as the index must be (units
// of one name keep their order), each unit's samples after those of the one before it. A
// unit longer than a record can say (65535 samples) keeps its first 65535.
DiphoneDatabaseImages LayOutDiphoneDatabase(std::span<const DiphoneUnit> units);

}  // namespace text
