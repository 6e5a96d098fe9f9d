// The SAPI 5 adapters over speech-dispatcher. The test starts a private speech-dispatcher
// (espeak-ng module, ALSA's null device, its own socket); where none can be started or
// reached, the tests are skipped.

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/speech_wiring.h"
#include "sapi_fixture.h"
#include "speech/engine.h"
#include "speech/sapi/sapi5.h"

namespace {

class SpeechdTest : public SapiTest {
 protected:
  static void SetUpTestSuite() {
    if (access("/usr/bin/speech-dispatcher", X_OK) != 0) return;
    char pattern[] = "/tmp/quelvar-speechd-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder_ = pattern;
    std::filesystem::create_directories(folder_ + "/conf/modules");
    std::ofstream(folder_ + "/conf/speechd.conf")
        << "LogLevel 1\nLogDir \"" << folder_ << "\"\nAudioOutputMethod \"alsa\"\nAudioALSADevice \"null\"\n"
        << "AddModule \"espeak-ng\" \"sd_espeak-ng\" \"espeak-ng.conf\"\nDefaultModule espeak-ng\n"
        << "DefaultLanguage \"pt\"\n";
    std::ofstream(folder_ + "/conf/modules/espeak-ng.conf") << "EspeakMinRate 80\n";
    const std::string socket = folder_ + "/sock";
    daemon_ = fork();
    if (daemon_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlives the tests
      execl("/usr/bin/speech-dispatcher", "speech-dispatcher", "-s", "-C", (folder_ + "/conf").c_str(), "-c",
            "unix_socket", "-S", socket.c_str(), "-t", "0", "-P", (folder_ + "/pid").c_str(), nullptr);
      _exit(127);
    }
    for (int i = 0; i < 50 && !std::filesystem::exists(socket); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket).c_str(), 1);
  }

  static void TearDownTestSuite() {
    if (daemon_ > 0) {
      kill(daemon_, SIGTERM);
      waitpid(daemon_, nullptr, 0);
      daemon_ = -1;
    }
    unsetenv("SPEECHD_ADDRESS");
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  void TearDown() override {
    Sapi5Close();
    Sapi54Close();
    SapiTest::TearDown();
  }

  static inline pid_t daemon_ = -1;
  static inline std::string folder_;
};

// Polls busy as the program's waits do; how many times it answered true.
int WaitWhileBusy(bool (*busy)(), int limitPolls = 1000) {
  int polls = 0;
  while (busy() && polls < limitPolls) ++polls;
  return polls;
}

TEST_F(SpeechdTest, KindFiveSpeaksAndReportsBusyWithTheWakeMessage) {
  if (!Sapi5Open(1, 0, "")) GTEST_SKIP() << "no speech-dispatcher to connect to, or no voice";
  Sapi5Speak("Bom dia, marujo. A ilha fica a oeste.");
  ASSERT_TRUE(Sapi5Busy());
  EXPECT_TRUE(TakePosted(app::SpeechWakeMessage));
  const int polls = WaitWhileBusy(Sapi5Busy);
  EXPECT_LT(polls, 1000) << "the end notification never came";
  EXPECT_FALSE(Sapi5Busy());
}

TEST_F(SpeechdTest, StopPurgesLongSpeechAtOnce) {
  if (!Sapi5Open(0, 0, "")) GTEST_SKIP() << "no speech-dispatcher to connect to, or no voice";
  std::string text;
  for (int i = 0; i < 20; ++i) text += "Uma descri\xE7\xE3o longa do navio e do mar. ";
  Sapi5Speak(text);
  Sapi5Speak(text);
  ASSERT_TRUE(Sapi5Busy());
  EXPECT_FALSE(Sapi5Stop());
  EXPECT_LT(WaitWhileBusy(Sapi5Busy), 50);
}

TEST_F(SpeechdTest, TheLateBoundTwinSpeaks) {
  if (!Sapi54Open(99, 5, "")) GTEST_SKIP() << "no speech-dispatcher to connect to, or no voice";
  Sapi54Speak("");
  // Long enough that its end cannot come before the first look, even with no sound card.
  Sapi54Speak("Terra \xE0 vista! O navio chega \xE0 ilha de Quelvar ao p\xF4r do sol, com a mar\xE9 alta.");
  EXPECT_TRUE(Sapi54Busy());
  EXPECT_LT(WaitWhileBusy(Sapi54Busy), 1000);
}

TEST_F(SpeechdTest, ALostSpeechDispatcherEndsTheSpeechAndNotTheProgram) {
  if (!Sapi5Open(0, 0, "")) GTEST_SKIP() << "no speech-dispatcher to connect to, or no voice";
  std::string text;
  for (int i = 0; i < 20; ++i) text += "Uma descri\xE7\xE3o longa do navio e do mar. ";
  Sapi5Speak(text);
  ASSERT_TRUE(Sapi5Busy());
  kill(daemon_, SIGKILL);
  waitpid(daemon_, nullptr, 0);
  daemon_ = -1;
  EXPECT_LT(WaitWhileBusy(Sapi5Busy, 500), 500) << "busy for ever with no one to end the speech";
  // Later texts and a key find nobody to speak to; the program goes on.
  Sapi5Speak("Terra \xE0 vista!");
  EXPECT_LT(WaitWhileBusy(Sapi5Busy, 500), 500);
  Sapi5Stop();
  EXPECT_FALSE(Sapi5Busy());
  Sapi5Close();
  // A new daemon for the tests that follow in this process.
  TearDownTestSuite();
  SetUpTestSuite();
}

TEST_F(SpeechdTest, AFileOutputIsRefusedAndLeavesNothingOpen) {
  if (!Sapi5Open(1, 0, "")) GTEST_SKIP() << "no speech-dispatcher to connect to, or no voice";
  Sapi5Close();
  EXPECT_FALSE(Sapi5Open(1, 0, dir_ + "/fala.wav"));
  EXPECT_FALSE(Sapi5Busy());
}

}  // namespace
