// Opening documents, programs and web addresses: argument vectors only, never a shell.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/backends/headless/headless.h"
#include "platform/services/process.h"
#include "platform/services/shell.h"
#include "speech/config.h"
#include "speech_fixture.h"

namespace {

std::vector<std::vector<std::string>> gStarted;

// Records the programs it is asked to start instead of starting them.
bool RecordStart(const std::vector<std::string>& command) {
  gStarted.push_back(command);
  return true;
}

class ShellTest : public SpeechTest {
 protected:
  void SetUp() override {
    SpeechTest::SetUp();
    oldPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    oldDir_ = std::filesystem::current_path();
    bin_ = root_ + "/bin";
    std::filesystem::create_directories(bin_);
    Executable(bin_ + "/xdg-open", "#!/bin/sh\nexit 0\n");
    ::setenv("PATH", (bin_ + ":/usr/bin:/bin").c_str(), 1);
    std::filesystem::current_path(startDir_);
    gStarted.clear();
    platform::SetProgramStarter(RecordStart);
  }
  void TearDown() override {
    platform::SetProgramStarter({});
    ::setenv("PATH", oldPath_.c_str(), 1);
    std::filesystem::current_path(oldDir_);
    SpeechTest::TearDown();
  }
  void Executable(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    ::chmod(path.c_str(), 0755);
  }

  std::string oldPath_, bin_;
  std::filesystem::path oldDir_;
};

using Command = std::vector<std::string>;

TEST_F(ShellTest, HostileWordsOpenNothing) {
  Executable(bin_ + "/poweroff", "#!/bin/sh\n");  // a typed word is never looked for on PATH
  for (const char* text :
       {"x;rm -rf ~", "a;touch${IFS}/tmp/pwned", "$(touch x)", "`id`", "|sh", "-h", "", "poweroff"}) {
    speech::OpenDocument(text);
  }
  EXPECT_TRUE(gStarted.empty());
}

TEST_F(ShellTest, DocumentsGoToTheirProgramAsOneArgument) {
  Executable(bin_ + "/leitor", "#!/bin/sh\n");
  WriteIni("[TAMIRE]\nPROG.TXT=leitor\nPROG.HTM=" + bin_ + "/leitor\n");
  speech::OpenDocument("a;b c.txt");
  speech::OpenDocument("www.example.com/?a=1&b=2");
  EXPECT_EQ(gStarted,
            (std::vector<Command>{{bin_ + "/leitor", "a;b c.txt"}, {bin_ + "/leitor", "www.example.com/?a=1&b=2"}}));
}

TEST_F(ShellTest, WithoutAProgramFilesAndAddressesGoToTheDesktop) {
  WriteFile(startDir_ + "/leia.doc", "x");
  Executable(startDir_ + "/jogo.exe", "#!/bin/sh\n");
  speech::OpenDocument("leia.doc");
  speech::OpenDocument("www.example.com");
  speech::OpenDocument("https://example.com/a b");  // a blank never reaches the opener
  speech::OpenDocument("jogo.exe");
  speech::OpenDocument("falta.exe");
  EXPECT_EQ(gStarted, (std::vector<Command>{{bin_ + "/xdg-open", startDir_ + "/leia.doc"},
                                            {bin_ + "/xdg-open", "http://www.example.com"},
                                            {startDir_ + "/jogo.exe"}}));
}

TEST_F(ShellTest, WindowsFormProgramIsTranslated) {
  std::filesystem::create_directories(root_ + "/data/bin");
  Executable(root_ + "/data/bin/Leitor", "#!/bin/sh\n");
  EXPECT_EQ(platform::ShellOpenCommand("c:\\lorben\\bin\\leitor", "x"), (Command{root_ + "/data/bin/Leitor", "x"}));
}

// A typed word starting with '-' reaches a configured opener as a file, never an option.
TEST_F(ShellTest, TypedWordStartingWithAHyphenIsAFileNotAnOption) {
  Executable(bin_ + "/leitor", "#!/bin/sh\n");
  EXPECT_EQ(platform::ShellOpenCommand("leitor", "--help.txt", platform::ProgramSearch::FilesAndPath),
            (Command{bin_ + "/leitor", "./--help.txt"}));
  EXPECT_EQ(platform::ShellOpenCommand("leitor", "a-b.txt", platform::ProgramSearch::FilesAndPath),
            (Command{bin_ + "/leitor", "a-b.txt"}));
  WriteIni("[TAMIRE]\nPROG.TXT=leitor\n");
  gStarted.clear();
  speech::OpenDocument("-rf.txt");
  EXPECT_EQ(gStarted, (std::vector<Command>{{bin_ + "/leitor", "./-rf.txt"}}));
}

TEST_F(ShellTest, RealStartPassesTheTextUntouched) {
  platform::SetProgramStarter({});  // the system starts them
  const std::string out = root_ + "/argument";
  Executable(bin_ + "/grava", "#!/bin/sh\nprintf '%s' \"$1\" > " + out + "\n");
  WriteIni("[TAMIRE]\nPROG.TXT=grava\n");
  const std::string text = "a;touch${IFS}pwned;$(touch pwned2).txt";
  speech::OpenDocument(text);
  speech::OpenDocument("b;touch " + root_ + "/pwned3");
  for (int i = 0; i < 200 && !std::filesystem::exists(out); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::ifstream in(out);
  std::stringstream got;
  got << in.rdbuf();
  EXPECT_EQ(got.str(), text);
  EXPECT_FALSE(std::filesystem::exists(startDir_ + "/pwned"));
  EXPECT_FALSE(std::filesystem::exists(startDir_ + "/pwned2"));
  EXPECT_FALSE(std::filesystem::exists(root_ + "/pwned3"));
}

}  // namespace
