// The builder's output depends on its inputs only: not on how many jobs render it, not on
// the run; it stays inside its output folder and inside its size budget, and replaces an
// earlier build's files whole.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class RepeatableBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("quelvar-voicebuild-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "home");
    std::ofstream(root_ / "units.txt") << "$kAza\n$peTIL\n$samETIL\n$t\n$u\n$AwTIL\n$pa\n$ba\n$dA\n$gO\n$s\n";
    std::ofstream(root_ / "texts.txt") << "A casa do capitão.\n";
    std::ofstream(root_ / "words.txt") << "mesa\nporta\nlivro\nmapa\nilha\nnavio\nouro\nmoeda\nmar\npraia\n"
                                          "janela\ncaminho\nmesa\nporta\nlivro\nmapa\nilha\nnavio\nouro\nmoeda\n";
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(root_, error);
  }

  // Runs the builder with HOME and the runtime folder in an empty scratch folder.
  void Build(const std::string& out, const std::string& arguments) {
    const std::string command = "HOME=\"" + (root_ / "home").string() + "\" XDG_RUNTIME_DIR=\"" +
                                (root_ / "home").string() + "\" \"" + QUELVAR_VOICEDATA_BUILDER +
                                "\" --source-data=\"" + QUELVAR_SOURCE_DIR + "/data\" --out=\"" +
                                (root_ / out).string() + "\" " + arguments + " > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }

  // Every file under som/, by its path relative to the build's root.
  std::map<std::string, std::string> Files(const std::string& out) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root_ / out)) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      files[fs::relative(entry.path(), root_ / out).string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return files;
  }

  std::vector<std::string> IndexNames(const std::string& out, const std::string& database) {
    const std::string index = Files(out).at("som/difones/" + database + ".IND");
    std::vector<std::string> names;
    for (std::size_t at = 0; at + 15 <= index.size(); at += 15) {
      names.push_back(index.substr(at + 1, static_cast<unsigned char>(index[at])));
    }
    return names;
  }

  std::uintmax_t Size(const std::string& out) {
    std::uintmax_t total = 0;
    for (const auto& [name, bytes] : Files(out)) total += bytes.size();
    return total;
  }

  fs::path root_;
};

TEST_F(RepeatableBuild, OneJobAndTwoJobsGiveTheSameBytesAndNothingOutsideTheOutput) {
  // Chunks of three units, so that the two jobs really share the work.
  Build("one", "--units=\"" + (root_ / "units.txt").string() + "\" --rates=35 --jobs=1 --chunk=3");
  Build("two", "--units=\"" + (root_ / "units.txt").string() + "\" --rates=35 --jobs=2 --chunk=3");
  const auto one = Files("one"), two = Files("two");
  ASSERT_TRUE(one.contains("som/difones/DIFONES3.DIF"));
  ASSERT_TRUE(one.contains("som/difones/DIFONES5.IND"));
  ASSERT_TRUE(one.contains("som/letras/_65.wav"));
  ASSERT_EQ(one.size(), two.size());
  for (const auto& [name, bytes] : one) {
    ASSERT_TRUE(two.contains(name)) << name;
    EXPECT_TRUE(bytes == two.at(name)) << name << " differs between one and two jobs";
  }
  // espeak-ng is given no sound output, so no sound server leaves its folders behind.
  EXPECT_TRUE(fs::is_empty(root_ / "home")) << "something was written into HOME or the runtime folder";
}

// A rebuild over an earlier voice puts each file in place whole, by a rename: a game that
// has a file open keeps reading the old one, and a game starting meanwhile finds the old
// file or the new, never one half written. So every file is a new one afterwards.
TEST_F(RepeatableBuild, ARebuildPutsEveryFileInPlaceWhole) {
  const std::string units = "--units=\"" + (root_ / "units.txt").string() + "\" --rates=3 --jobs=1";
  Build("voice", units);
  const auto inodes = [this] {
    std::map<std::string, ino_t> found;
    for (const char* name : {"som/difones/DIFONES3.DIF", "som/difones/regras.rgr", "som/letras/_65.wav"}) {
      struct stat status {};
      EXPECT_EQ(::stat((root_ / "voice" / name).c_str(), &status), 0) << name;
      found[name] = status.st_ino;
    }
    return found;
  };
  const auto before = inodes();
  std::ifstream reader(root_ / "voice/som/difones/DIFONES3.DIF", std::ios::binary);
  const std::string opened = Files("voice").at("som/difones/DIFONES3.DIF");
  Build("voice", units);
  const auto after = inodes();
  for (const auto& [name, inode] : before) EXPECT_NE(inode, after.at(name)) << name << " was written in place";
  EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(reader), {}) == opened);
  for (const auto& [name, bytes] : Files("voice")) EXPECT_EQ(name.find(".new-"), std::string::npos) << name;
}

TEST_F(RepeatableBuild, TheBudgetCutsOnlyWordListUnitsAndIsKept) {
  const std::string inputs = "--texts=\"" + (root_ / "texts.txt").string() + "\" --words=\"" +
                             (root_ / "words.txt").string() + "\" --rates=3 --no-letters --chunk=16 --jobs=2";
  Build("all", inputs + " --budget-mb=0");
  Build("least", inputs + " --budget-mb=0.07");
  const std::uintmax_t all = Size("all"), least = Size("least");
  ASSERT_LT(least, all);
  // Half-way between what every build holds and everything the word list asks for.
  const double budget = static_cast<double>(least + all) / 2 + 65536;
  Build("half", inputs + " --budget-mb=" + std::to_string(budget / 1e6));
  const std::uintmax_t half = Size("half");
  EXPECT_LE(static_cast<double>(half), budget);
  EXPECT_GT(half, least);
  EXPECT_LT(half, all);

  const auto names = IndexNames("half", "DIFONES3");
  const auto allNames = IndexNames("all", "DIFONES3");
  for (const std::string& name : IndexNames("least", "DIFONES3")) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name << " dropped by the budget";
  }
  for (const std::string& name : names) {
    EXPECT_NE(std::find(allNames.begin(), allNames.end(), name), allNames.end()) << name;
  }
  EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

}  // namespace
