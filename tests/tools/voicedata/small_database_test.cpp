// A small database built end to end by the builder and opened by the synthesizer.

#include "platform/services/files.h"
#include "speech/diphone.h"
#include "text/diphone_index.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class SmallDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("quelvar-voicedata-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
    std::ofstream(root_ / "units.txt") << "$kAza\n$peTIL\n$samETIL\n$t\n$u\n$AwTIL\n$kapitACIRC\n";
    const std::string command = std::string("\"") + QUELVAR_VOICEDATA_BUILDER + "\" --source-data=\"" +
                                QUELVAR_SOURCE_DIR + "/data\" --out=\"" + root_.string() + "\" --units=\"" +
                                (root_ / "units.txt").string() + "\" --rates=3 --jobs=1 > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  void TearDown() override {
    speech::CloseDiphoneDatabase();
    std::error_code error;
    fs::remove_all(root_, error);
  }

  std::vector<uint8_t> Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  fs::path root_;
};

TEST_F(SmallDatabase, TheSynthesizerOpensItAndFindsEveryUnit) {
  const fs::path difones = root_ / "som" / "difones";
  const fs::path letras = root_ / "som" / "letras";
  for (const char* file : {"DIFONES3.IND", "DIFONES3.DIF", "regras.rgr", "portug.exc"}) {
    EXPECT_TRUE(fs::exists(difones / file)) << file;
  }
  EXPECT_TRUE(fs::exists(letras / "_65.wav"));
  EXPECT_TRUE(fs::exists(letras / "dtmf_#.wav"));

  const auto index = Bytes(difones / "DIFONES3.IND");
  std::vector<text::DiphoneRecord> records;
  ASSERT_TRUE(text::ParseDiphoneIndex(index, records));
  ASSERT_EQ(records.size(), 6u);  // the 11-character name cannot be a unit
  const auto sound = fs::file_size(difones / "DIFONES3.DIF");
  std::size_t next = 0;
  for (const auto& r : records) {
    EXPECT_EQ(r.offset, next) << r.name;  // samples follow one another in index order
    EXPECT_GT(r.lengthSamples, 200) << r.name;
    EXPECT_LT(r.lengthSamples, 11025) << r.name;
    next += r.lengthSamples;
  }
  EXPECT_EQ(next, sound);
  for (const char* name : {"$KAZA", "$peTIL", "$SAMETIL", "$T", "$U", "$AWTIL"}) {
    EXPECT_NE(speech::FindDiphoneUnit(records, name), nullptr) << name;
  }

  // Opened the way start-up opens it: folders from TAMIRE.INI in the Windows directory.
  std::ofstream(root_ / "TAMIRE.INI") << "[TRADUTOR]\nDIRLETRAS=" << letras.string()
                                      << "/\nDIRDIFONES=" << difones.string() << "\n";
  platform::SetWindowsDirectory(root_.string());
  speech::DiphoneSettings settings;
  settings.databaseName = "DIFONES3";
  speech::SetDiphoneSettings(settings);
  ASSERT_TRUE(speech::OpenDiphoneDatabase());
  EXPECT_TRUE(speech::DiphoneDatabaseOpen());
}

TEST_F(SmallDatabase, RecordingsAreEightBitMonoAt11025AndUnclipped) {
  const auto wave = Bytes(root_ / "som" / "letras" / "_97.wav");
  ASSERT_GT(wave.size(), 44u + 500u);
  EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
  EXPECT_EQ(wave[22], 1);                        // mono
  EXPECT_EQ(wave[24] | (wave[25] << 8), 11025);  // rate
  EXPECT_EQ(wave[34], 8);                        // bits
  EXPECT_EQ(std::string(wave.begin() + 36, wave.begin() + 40), "data");
  int low = 255, high = 0;
  for (std::size_t i = 44; i < wave.size(); ++i) {
    low = std::min<int>(low, wave[i]);
    high = std::max<int>(high, wave[i]);
  }
  EXPECT_GT(low, 0);
  EXPECT_LT(high, 255);
  EXPECT_GT(high - low, 60);  // speech, not near-silence
}

TEST_F(SmallDatabase, DialTonesHoldTheirTwoFrequencies) {
  const auto wave = Bytes(root_ / "som" / "letras" / "dtmf_5.wav");
  ASSERT_GT(wave.size(), 44u + 1000u);
  // Goertzel power at the keypad frequencies: 770 and 1336 Hz strong, the others weak.
  auto power = [&wave](double hz) {
    const double k = 2 * std::cos(2 * 3.141592653589793 * hz / 11025);
    double s1 = 0, s2 = 0;
    for (std::size_t i = 44; i < wave.size(); ++i) {
      const double s = (wave[i] - 128.0) + k * s1 - s2;
      s2 = s1;
      s1 = s;
    }
    return s1 * s1 + s2 * s2 - k * s1 * s2;
  };
  EXPECT_GT(power(770), 50 * power(697));
  EXPECT_GT(power(1336), 50 * power(1209));
  EXPECT_GT(power(1336), 50 * power(1477));
}

}  // namespace
