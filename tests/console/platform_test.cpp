// The platform stand-in's files and key scripts.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/files.h"
#include "platform/headless.h"

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quelvar-ini-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    platform::SetWindowsDirectory(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(const std::string& name, const std::string& content) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
  }
  std::string dir_;
};

TEST_F(ProfileTest, ReadsKeysWithoutRegardToCase) {
  Write("tamire.ini", "; comment\n[Video]\n  CorLetra = 12  \nFONTE=\"Lucida Console\"\nVAZIO=\n");
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "CORLETRA", "15", "TAMIRE.INI"), "12");
  EXPECT_EQ(platform::GetPrivateProfileString("video", "fonte", "", "TAMIRE.INI"), "Lucida Console");
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "VAZIO", "d", "TAMIRE.INI"), "");
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "FALTA", "d", "TAMIRE.INI"), "d");
  EXPECT_EQ(platform::GetPrivateProfileString("OUTRA", "CORLETRA", "d", "TAMIRE.INI"), "d");
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "FONTE", "", "TAMIRE.INI", 4), "Luc");
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "FONTE", "", "NADA.INI"), "");
}

TEST_F(ProfileTest, AcceptsUtf8Files) {
  Write("TAMIRE.INI", "[X]\nNOME=Jo\xC3\xA3o\n");
  EXPECT_EQ(platform::GetPrivateProfileString("X", "NOME", "", "TAMIRE.INI"), "Jo\xE3o");
}

TEST_F(ProfileTest, WindowsPathsMapToTheDataRootAndIgnoreCase) {
  platform::SetDataRoot(dir_);
  std::filesystem::create_directories(dir_ + "/som/Letras");
  Write("som/Letras/_65.WAV", "x");
  EXPECT_EQ(platform::TranslateWindowsPath("c:\\lorben\\som\\letras\\"), dir_ + "/som/letras/");
  EXPECT_EQ(platform::TranslateWindowsPath("\\LORBEN\\som"), dir_ + "/som");
  EXPECT_EQ(platform::TranslateWindowsPath("/usr/share/x"), "/usr/share/x");
  EXPECT_EQ(platform::TranslateWindowsPath("d:\\outro\\a.wav"), "/outro/a.wav");
  const auto found = platform::FindPathIgnoringCase(platform::TranslateWindowsPath("c:\\lorben\\som\\letras\\_65.wav"));
  ASSERT_TRUE(found);
  EXPECT_EQ(*found, dir_ + "/som/Letras/_65.WAV");
  EXPECT_TRUE(platform::DirectoryExists(dir_ + "/SOM/letras/"));
  EXPECT_FALSE(platform::FileExists(dir_ + "/som/letras/_66.wav"));
}

TEST(KeyScript, NamesKeysModifiersWaitsAndLineEnds) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  ASSERT_TRUE(
      platform::ParseKeyScript("## comment\nab<Ctrl+Left><Wait:250><lt>\n<Ctrl+c><NoEnter>\n\xC3\xA7", items, error))
      << error;
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[0].key.character, 'a');
  EXPECT_EQ(items[2].key.virtualKey, platform::VK_LEFT);
  EXPECT_EQ(items[2].key.modifiers, platform::ModCtrl);
  EXPECT_TRUE(items[3].isWait);
  EXPECT_EQ(items[3].waitMs, 250u);
  EXPECT_EQ(items[4].key.character, '<');
  EXPECT_EQ(items[5].key.character, platform::VK_RETURN);
  EXPECT_EQ(items[6].key.character, 3);  // Ctrl+C, no Enter after it
  EXPECT_EQ(items[7].key.character, 0xE7);
  EXPECT_EQ(items[8].key.virtualKey, platform::VK_RETURN);
}

TEST(KeyScript, ABrokenCharacterBeforeAKeyNameLeavesTheKeyName) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  ASSERT_TRUE(platform::ParseKeyScript("\xC3<Esc><NoEnter>", items, error)) << error;
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].key.character, 0xC3);  // not UTF-8: the byte is typed as it is
  EXPECT_EQ(items[1].key.character, 27);
}

TEST(KeyScript, RejectsUnknownKeysAndUnclosedNames) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  EXPECT_FALSE(platform::ParseKeyScript("<Hyper+F1>", items, error));
  EXPECT_FALSE(platform::ParseKeyScript("<F13>", items, error));
  EXPECT_FALSE(platform::ParseKeyScript("a<Enter", items, error));
  EXPECT_FALSE(platform::ParseKeyScript("<Wait:x>", items, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}

TEST(KeyScript, NamesTheBrailleDisplaysKeys) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  ASSERT_TRUE(platform::ParseKeyScript(
                  "<BrlRoute 1><BrlRoute 80><BrlPanLeft><BrlPanRight><BrlLineUp><BrlLineDown><BrlDots 1245><NoEnter>",
                  items, error))
      << error;
  ASSERT_EQ(items.size(), 7u);
  using platform::BrailleCommand;
  EXPECT_EQ(items[0].braille, BrailleCommand::Route);
  EXPECT_EQ(items[0].brailleArgument, 0);  // cells count from 1 in scripts, from 0 on the display
  EXPECT_EQ(items[1].brailleArgument, 79);
  EXPECT_EQ(items[2].braille, BrailleCommand::PanLeft);
  EXPECT_EQ(items[5].braille, BrailleCommand::LineDown);
  EXPECT_EQ(items[6].braille, BrailleCommand::Dots);
  EXPECT_EQ(items[6].brailleArgument, 0b11011);
  for (const char* bad : {"<BrlRoute 0>", "<BrlRoute 81>", "<BrlRoute x>", "<BrlDots 9>", "<BrlDots >", "<BrlBeep>"}) {
    EXPECT_FALSE(platform::ParseKeyScript(bad, items, error)) << bad;
  }
}

}  // namespace
