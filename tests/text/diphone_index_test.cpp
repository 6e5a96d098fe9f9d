// The diphone index format: 15-byte records, read and written by one pair of routines.
#include <gtest/gtest.h>

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

}  // namespace
