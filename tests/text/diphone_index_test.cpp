// The diphone index format: 15-byte records, read and written by one pair of routines, and
// the layout of a whole database from its units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/diphone_index.h"

namespace {

TEST(DiphoneIndex, WhatIsWrittenIsReadBack) {
  const std::vector<text::DiphoneRecord> records = {{"$A", 900, 0}, {"$AB", 0xFFFF, 900}, {"\xC7", 1, 0x12345678}};
  const std::vector<uint8_t> image = text::DiphoneIndexImage(records);
  ASSERT_EQ(image.size(), 3 * text::DiphoneRecordSize);
  EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 15),
            (std::vector<uint8_t>{2, '$', 'A', 0, 0, 0, 0, 0, 0, 0x84, 0x03, 0, 0, 0, 0}));
  std::vector<text::DiphoneRecord> read;
  ASSERT_TRUE(text::ParseDiphoneIndex(image, read));
  ASSERT_EQ(read.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(read[i].name, records[i].name);
    EXPECT_EQ(read[i].lengthSamples, records[i].lengthSamples);
    EXPECT_EQ(read[i].offset, records[i].offset);
  }
}

TEST(DiphoneIndex, LongNamesAreCutWhenWrittenAndRefusedWhenRead) {
  const std::vector<text::DiphoneRecord> longName = {{"$ABCDEFGHIJ", 1, 0}};
  std::vector<text::DiphoneRecord> read;
  ASSERT_TRUE(text::ParseDiphoneIndex(text::DiphoneIndexImage(longName), read));
  EXPECT_EQ(read.at(0).name, "$ABCDEFG");

  std::vector<uint8_t> image = text::DiphoneIndexImage(std::vector<text::DiphoneRecord>{{"$A", 1, 0}});
  image[0] = 9;
  EXPECT_FALSE(text::ParseDiphoneIndex(image, read));
  EXPECT_TRUE(read.empty());
}

TEST(DiphoneIndex, UnsortedIndexesAreRefusedAndAPartialRecordIsNotRead) {
  std::vector<text::DiphoneRecord> read;
  const std::vector<text::DiphoneRecord> unsorted = {{"$B", 1, 0}, {"$A", 1, 1}};
  EXPECT_FALSE(text::ParseDiphoneIndex(text::DiphoneIndexImage(unsorted), read));
  // Bytes compare unsigned: a name with 0xC7 sorts after plain letters.
  const std::vector<text::DiphoneRecord> highLast = {{"$Z", 1, 0}, {"$\xC7", 1, 1}};
  EXPECT_TRUE(text::ParseDiphoneIndex(text::DiphoneIndexImage(highLast), read));

  std::vector<uint8_t> image = text::DiphoneIndexImage(std::vector<text::DiphoneRecord>{{"$A", 1, 0}});
  image.insert(image.end(), 14, 0);
  ASSERT_TRUE(text::ParseDiphoneIndex(image, read));
  EXPECT_EQ(read.size(), 1u);
}

TEST(DiphoneIndex, DatabaseLayoutSortsTheUnitsAndPointsIntoTheSamples) {
  const std::vector<uint8_t> b(3, 20), a(2, 10), c(1, 30), twin(1, 31);
  const std::vector<text::DiphoneUnit> units = {{"$B", b}, {"$\xC7", c}, {"$A", a}, {"$B", twin}};
  const text::DiphoneDatabaseImages database = text::LayOutDiphoneDatabase(units);
  EXPECT_EQ(database.samples, (std::vector<uint8_t>{10, 10, 20, 20, 20, 31, 30}));
  std::vector<text::DiphoneRecord> read;
  ASSERT_TRUE(text::ParseDiphoneIndex(database.index, read));
  ASSERT_EQ(read.size(), 4u);
  const std::vector<std::string> names = {"$A", "$B", "$B", "$\xC7"};
  const std::vector<uint16_t> lengths = {2, 3, 1, 1};
  const std::vector<uint32_t> offsets = {0, 2, 5, 6};
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].name, names[i]);
    EXPECT_EQ(read[i].lengthSamples, lengths[i]);
    EXPECT_EQ(read[i].offset, offsets[i]);
  }
}

TEST(DiphoneIndex, AUnitLongerThanARecordSaysKeepsWhatItCanSay) {
  const std::vector<uint8_t> longUnit(70000, 7), after(1, 9);
  const text::DiphoneDatabaseImages database =
      text::LayOutDiphoneDatabase(std::vector<text::DiphoneUnit>{{"$A", longUnit}, {"$B", after}});
  std::vector<text::DiphoneRecord> read;
  ASSERT_TRUE(text::ParseDiphoneIndex(database.index, read));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].lengthSamples, 65535u);
  EXPECT_EQ(read[1].offset, 65535u);
  EXPECT_EQ(database.samples.size(), 65536u);
  EXPECT_EQ(database.samples.back(), 9);
}

}  // namespace
