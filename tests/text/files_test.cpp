// Whole-file reading: only regular files within the limit, never blocking.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "text/files.h"

namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelvar-text-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
    return dir_ + "/" + name;
  }
  std::string dir_;
};

TEST_F(FilesTest, ARegularFileIsReadWholeUpToTheLimit) {
  const std::string path = Write("a.txt", std::string("x\0y", 3));
  EXPECT_EQ(text::ReadWholeFile(path), std::string("x\0y", 3));
  text::FileRefusal why = text::FileRefusal::Missing;
  EXPECT_EQ(text::ReadWholeFile(path, 3, &why), std::string("x\0y", 3));
  EXPECT_EQ(why, text::FileRefusal::None);
  EXPECT_FALSE(text::ReadWholeFile(path, 2, &why));
  EXPECT_EQ(why, text::FileRefusal::TooLarge);
  EXPECT_EQ(text::RefusalText(why, 2), "is larger than 2 bytes");
  EXPECT_EQ(text::RefusalText(why), "is larger than 64 MiB");
}

TEST_F(FilesTest, WhatIsNotARegularFileIsRefusedWithoutBlocking) {
  text::FileRefusal why = text::FileRefusal::None;
  EXPECT_FALSE(text::ReadWholeFile(dir_ + "/absent", text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::Missing);
  EXPECT_FALSE(text::ReadWholeFile(dir_, text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::Folder);
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(text::ReadWholeFile(fifo, text::DataFileLimit, &why));  // no writer: would block if opened
  EXPECT_EQ(why, text::FileRefusal::NotRegular);
  EXPECT_EQ(text::OpenDataFile(fifo), nullptr);
  EXPECT_FALSE(text::OpenRegularFile(fifo).IsOpen());
  EXPECT_FALSE(text::ReadWholeFile("/dev/zero", text::DataFileLimit, &why));
  EXPECT_EQ(why, text::FileRefusal::NotRegular);
}

TEST_F(FilesTest, ADescriptorIsClosedOnceByItsLastOwner) {
  const std::string path = Write("d.bin", "abc");
  text::FileDescriptor first = text::OpenRegularFile(path);
  ASSERT_TRUE(first.IsOpen());
  const int fd = first.Get();
  text::FileDescriptor second = std::move(first);
  EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  EXPECT_EQ(second.Get(), fd);
  EXPECT_NE(::fcntl(fd, F_GETFD), -1);
  second = text::FileDescriptor();
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed by the assignment
  {
    text::FileDescriptor scoped = text::OpenRegularFile(path);
    ASSERT_TRUE(scoped.IsOpen());
    std::FILE* stream = text::OpenDataFile(path);
    ASSERT_NE(stream, nullptr);
    std::fclose(stream);
    EXPECT_NE(::fcntl(scoped.Get(), F_GETFD), -1);
  }
}

TEST_F(FilesTest, AStampChangesWithTheFileAndIsNothingForAMissingOne) {
  const std::string path = Write("s.ini", "[A]\n");
  const auto before = text::StampOf(path);
  ASSERT_TRUE(before);
  EXPECT_TRUE(before->regular);
  EXPECT_EQ(before->size, 4);
  EXPECT_EQ(text::StampOf(path), before);
  Write("s.ini", "[A]\nB=1\n");
  EXPECT_NE(text::StampOf(path), before);
  EXPECT_FALSE(text::StampOf(dir_ + "/absent"));
  const auto folder = text::StampOf(dir_);
  ASSERT_TRUE(folder);
  EXPECT_FALSE(folder->regular);
  std::FILE* open = text::OpenFile(path, "rb");
  ASSERT_NE(open, nullptr);
  EXPECT_EQ(text::StampOf(open), text::StampOf(path));
  std::fclose(open);
}

TEST_F(FilesTest, ARandomAccessFileReadsInPlaceAndOnlyRegularFilesOpen) {
  const auto file = text::RandomAccessFile::Open(Write("m.dif", std::string("\x80\x81\x00\x7F", 4)));
  ASSERT_TRUE(file);
  ASSERT_EQ(file->Size(), 4u);
  uint8_t bytes[4] = {};
  EXPECT_EQ(file->ReadAt(1, bytes, 3), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 3), std::string("\x81\x00\x7F", 3));
  EXPECT_EQ(file->ReadAt(3, bytes, 4), 1u);  // past the end: fewer bytes
  EXPECT_EQ(file->ReadAt(9, bytes, 4), 0u);
  text::FileRefusal refusal = text::FileRefusal::None;
  EXPECT_FALSE(text::RandomAccessFile::Open(dir_ + "/absent", &refusal));
  EXPECT_EQ(refusal, text::FileRefusal::Missing);
  EXPECT_FALSE(text::RandomAccessFile::Open(dir_, &refusal));
  EXPECT_EQ(refusal, text::FileRefusal::Folder);
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(text::RandomAccessFile::Open(fifo));  // no writer: would block if opened
}

// Cut short, or removed, under a reader: reads give fewer bytes, or the old ones, and
// never fault.
TEST_F(FilesTest, ARandomAccessFileCutShortOrRemovedGivesShortReads) {
  const std::string path = Write("cut.dif", std::string(8192, 'x'));
  const auto file = text::RandomAccessFile::Open(path);
  ASSERT_TRUE(file);
  ASSERT_EQ(::truncate(path.c_str(), 100), 0);
  uint8_t bytes[256];
  EXPECT_EQ(file->ReadAt(50, bytes, sizeof bytes), 50u);
  EXPECT_EQ(file->ReadAt(4096, bytes, sizeof bytes), 0u);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  EXPECT_EQ(file->ReadAt(0, bytes, 10), 10u);
}

TEST_F(FilesTest, ANewFileNeverReplacesOneThatIsThere) {
  std::string reason;
  const std::string path = dir_ + "/TAMIRE.INI";
  ASSERT_TRUE(text::WriteNewFile(path, "[A]\n", reason)) << reason;
  EXPECT_EQ(text::ReadWholeFile(path), "[A]\n");
  EXPECT_FALSE(text::WriteNewFile(path, "[B]\n", reason));
  EXPECT_NE(reason.find("TAMIRE.INI"), std::string::npos);
  EXPECT_EQ(text::ReadWholeFile(path), "[A]\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temporary left
  EXPECT_FALSE(text::WriteNewFile(dir_ + "/absent/TAMIRE.INI", "x", reason));
}

TEST(JoinPathTest, OneSeparatorOfTheSystemBetweenFolderAndName) {
  const char own = text::PathSeparators.back();
  EXPECT_EQ(text::JoinPath("pasta", "TAMIRE.INI"), std::string("pasta") + own + "TAMIRE.INI");
  EXPECT_EQ(text::JoinPath("pasta/", "TAMIRE.INI"), "pasta/TAMIRE.INI");  // never doubled
  EXPECT_EQ(text::JoinPath("", "TAMIRE.INI"), "TAMIRE.INI");
}

}  // namespace
