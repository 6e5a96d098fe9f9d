// The platform stand-in's files, output files and key scripts.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/backends/headless/headless.h"
#include "platform/services/files.h"
#include "platform/services/output_file.h"
#include "platform/services/process.h"

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

// A settings file that is no settings file is read as missing: the shipped one is read in
// place, and the file there is left as it is.
TEST_F(ProfileTest, ASettingsFileThatIsNoSettingsFileIsReadAsMissing) {
  const std::string shipped = dir_ + "/shipped";
  std::filesystem::create_directories(shipped);
  std::ofstream(shipped + "/TAMIRE.INI") << "[VIDEO]\nCORLETRA=12\n";
  platform::SetDataRoot(shipped);
  Write("TAMIRE.INI", std::string("\x7F"
                                  "ELF\x02\x01\x01\0\0\0[VIDEO]",
                                  16));
  EXPECT_EQ(platform::SettingsFileProblem(dir_ + "/TAMIRE.INI"), "is not text");
  std::string path, reason;
  EXPECT_EQ(platform::PrepareSettingsFile("TAMIRE.INI", path, reason), platform::SettingsFile::Refused);
  EXPECT_EQ(path, shipped + "/TAMIRE.INI");
  EXPECT_NE(reason.find("is not text"), std::string::npos) << reason;
  EXPECT_EQ(platform::GetPrivateProfileString("VIDEO", "CORLETRA", "", "TAMIRE.INI"), "12");
  EXPECT_EQ(text::ReadWholeFile(dir_ + "/TAMIRE.INI")->size(), 16u);

  Write("other.ini", "; only a comment\n");
  EXPECT_EQ(platform::SettingsFileProblem(dir_ + "/other.ini"), "has no [section]");
  Write("other.ini", "");
  EXPECT_EQ(platform::SettingsFileProblem(dir_ + "/other.ini"), "is empty");
  Write("other.ini", "\xEF\xBB\xBF [TRADUTOR]\r\nSAPI=N\r\n\x1A");
  EXPECT_EQ(platform::SettingsFileProblem(dir_ + "/other.ini"), "");
  platform::SetProfileFallbackFolder("");
}

// ---- output files ----

using OutputFileTest = ProfileTest;  // a scratch folder

TEST_F(OutputFileTest, AFullDeviceFailsAnOutputOnceWithItsNameAndReason) {
  platform::OutputFile file;
  std::string reason;
  ASSERT_TRUE(file.Create("/dev/full", "the transcript", &reason)) << reason;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(file.Write(std::string_view("Bom dia.\n")));
  EXPECT_FALSE(file.Write(std::string_view("Boa noite.\n")));
  EXPECT_FALSE(file.Close());
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("the transcript '/dev/full'"), std::string::npos) << said;
  EXPECT_NE(said.find(std::strerror(ENOSPC)), std::string::npos) << said;
  EXPECT_EQ(said.find("quelvar:"), said.rfind("quelvar:")) << "told more than once: " << said;
  EXPECT_TRUE(platform::RunFailed());
}

TEST_F(OutputFileTest, AFifoWithNoReaderIsRefusedWithinASecond) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  platform::OutputFile file;
  std::string reason;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(file.Create(fifo, "the speech log", &reason));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_NE(reason.find("FIFO"), std::string::npos) << reason;
}

// The reader goes away: the write fails instead of the program ending by SIGPIPE.
TEST_F(OutputFileTest, AFifoWhoseReaderLeavesFailsTheWrite) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  platform::OutputFile file;
  std::string reason;
  ASSERT_TRUE(file.Create(fifo, "the audio file", &reason)) << reason;
  EXPECT_FALSE(file.Seekable());
  EXPECT_TRUE(file.Write(std::string_view("RIFF")));
  ::close(reader);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(file.Write(std::string_view("WAVE")));
  EXPECT_NE(testing::internal::GetCapturedStderr().find(std::strerror(EPIPE)), std::string::npos);
}

TEST_F(OutputFileTest, WriteAtFillsInAHeaderAndGoesOnAtTheEnd) {
  platform::OutputFile file;
  std::string reason;
  ASSERT_TRUE(file.Create(dir_ + "/out.wav", "the audio file", &reason)) << reason;
  EXPECT_TRUE(file.Seekable());
  EXPECT_TRUE(file.Write(std::string_view("0000abcd")));
  const uint8_t header[] = {'R', 'I', 'F', 'F'};
  EXPECT_TRUE(file.WriteAt(0, header));
  EXPECT_TRUE(file.Write(std::string_view("ef")));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(text::ReadWholeFile(dir_ + "/out.wav").value_or(""), "RIFFabcdef");
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
      "<BrlRoute 1><BrlRoute 80><BrlPanLeft><BrlPanRight><BrlLineUp><BrlLineDown><BrlDots 1245><NoEnter>", items,
      error))
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

// Read from a file in pieces, a script gives the same keys as read whole: pieces end inside
// UTF-8 characters, key names and line ends.
TEST_F(ProfileTest, AKeyScriptFileStreamsTheSameKeysAsItsText) {
  std::string script = "## a comment\r\nab<Ctrl+Left>\r\n";
  for (int i = 0; i < 70000; ++i) script += (i % 7 == 0) ? "<Wait:5>" : (i % 3 == 0 ? "\xC3\xA7" : "x");
  script += "<NoEnter>\n## another\n<lt>\xC3<Esc>\nfim\r";
  Write("long.keys", script);
  std::vector<platform::ScriptItem> whole;
  std::string error;
  ASSERT_TRUE(platform::ParseKeyScript(script, whole, error)) << error;
  auto reader = platform::KeyScriptReader::Open(dir_ + "/long.keys", error);
  ASSERT_TRUE(reader) << error;
  std::size_t count = 0;
  while (const auto item = reader->Next()) {
    ASSERT_LT(count, whole.size());
    const platform::ScriptItem& expected = whole[count++];
    ASSERT_EQ(item->isWait, expected.isWait) << "item " << count;
    ASSERT_EQ(item->waitMs, expected.waitMs) << "item " << count;
    ASSERT_EQ(item->key.virtualKey, expected.key.virtualKey) << "item " << count;
    ASSERT_EQ(item->key.modifiers, expected.key.modifiers) << "item " << count;
    ASSERT_EQ(item->key.character, expected.key.character) << "item " << count;
  }
  EXPECT_TRUE(reader->Error().empty()) << reader->Error();
  EXPECT_EQ(count, whole.size());
  EXPECT_EQ(whole.back().key.virtualKey, platform::VK_RETURN);  // "fim" and the lone CR at the end
}

TEST_F(ProfileTest, AKeyScriptThatIsNotAFileOrBreaksLaterSaysWhere) {
  std::string error;
  EXPECT_FALSE(platform::KeyScriptReader::Open(dir_, error));
  EXPECT_NE(error.find("folder"), std::string::npos) << error;
  Write("bad.keys", "olhar\nn<NoEnter> s\n<Hyper+x>\n");
  auto reader = platform::KeyScriptReader::Open(dir_ + "/bad.keys", error);
  ASSERT_TRUE(reader);
  while (reader->Next()) {
  }
  // <NoEnter> counts only at the end of its line.
  EXPECT_NE(reader->Error().find("line 2"), std::string::npos) << reader->Error();
}

}  // namespace
