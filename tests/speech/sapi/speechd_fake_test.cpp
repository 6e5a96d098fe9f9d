// The SAPI 5 adapters over speech-dispatcher daemons that misbehave: none at all, one that
// never answers, one that answers garbage or half a line, one that goes away in the middle
// of speech, one that never reports the end of speech. The daemons are our own small
// stand-ins speaking just enough of SSIP, so the tests run in every build, the sanitizers'
// included. Whatever a daemon does, the program goes on: the open fails, or the built-in
// voice takes over with one line on stderr.

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "fake_daemon.h"
#include "sapi_fixture.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/sapi/sapi5.h"
#include "speech/state.h"

namespace {

class SpeechdFakeTest : public SapiTest {
 protected:
  void SetUp() override {
    SapiTest::SetUp();
    socket_ = dir_ + "/speechd.sock";
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket_).c_str(), 1);
    // No real daemon is started in place of the fake ones.
    ::setenv("SPEECHD_CMD", "/nonexistent/speech-dispatcher", 1);
  }
  void TearDown() override {
    Sapi5Close();
    Sapi54Close();
    ::unsetenv("SPEECHD_ADDRESS");
    ::unsetenv("SPEECHD_CMD");
    SapiTest::TearDown();
  }
  // Speaks a line with the engine as the program would, and says what stderr got.
  std::string SpeakAndTell(const std::string& line) {
    testing::internal::CaptureStderr();
    Sapi5Speak(line);
    EXPECT_TRUE(PumpUntil([] { return !Sapi5Busy(); }, 30000)) << "busy for ever";
    return testing::internal::GetCapturedStderr();
  }
  std::string socket_;
};

TEST_F(SpeechdFakeTest, NoDaemonAtAllFailsTheOpen) {
  EXPECT_FALSE(Sapi5Open(1, 0, ""));
  EXPECT_FALSE(Sapi54Open(1, 0, ""));
  EXPECT_FALSE(Sapi5Busy());
}

// With no daemon there, speech-dispatcher is started on the socket, as its clients are
// asked to do ($SPEECHD_CMD names the program).
TEST_F(SpeechdFakeTest, NoDaemonAtAllStartsOneOnTheSocket) {
  const std::string program = dir_ + "/spawn.sh", called = dir_ + "/called";
  std::ofstream(program) << "#!/bin/sh\necho \"$@\" > " << called << "\nexit 1\n";
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  ::setenv("SPEECHD_CMD", program.c_str(), 1);
  EXPECT_FALSE(Sapi5Open(1, 0, ""));
  std::ifstream said(called);
  std::string arguments;
  std::getline(said, arguments);
  EXPECT_EQ(arguments, "--spawn --communication-method unix_socket --socket-path " + socket_);
}

// The open gives up within its bound and the program goes on; nothing is left waiting.
TEST_F(SpeechdFakeTest, ADaemonThatNeverAnswersFailsTheOpenInsteadOfHanging) {
  FakeDaemon daemon(socket_, Manner::Silent, 2);
  ASSERT_TRUE(daemon.Listening());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Sapi5Open(1, 0, ""));
  EXPECT_FALSE(Sapi54Open(1, 0, ""));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(Sapi5Busy());
  Sapi5Stop();
}

// Garbage or half a reply where a reply should be: the open fails; the program does not end.
TEST_F(SpeechdFakeTest, GarbageOrHalfALineFailsTheOpen) {
  {
    FakeDaemon daemon(socket_, Manner::Garbage, 1);
    speech::TakeEngineOpenFailure();
    EXPECT_FALSE(Sapi5Open(1, 0, ""));
    EXPECT_EQ(speech::TakeEngineOpenFailure().rfind("answers garbage: a line that is not a reply", 0), 0u);
  }
  FakeDaemon daemon(socket_, Manner::HalfLineThenLeaves, 1);
  EXPECT_FALSE(Sapi54Open(1, 0, ""));
  EXPECT_FALSE(Sapi54Busy());
}

// A reply of long lines without end: the daemon is given up once it has sent more than any
// reply holds, and what it sent is not kept.
TEST_F(SpeechdFakeTest, ADaemonFloodingRepliesFailsTheOpen) {
  speech::TakeEngineOpenFailure();
  FakeDaemon daemon(socket_, Manner::Floods, 1);
  EXPECT_FALSE(Sapi5Open(1, 0, ""));
  EXPECT_EQ(speech::TakeEngineOpenFailure(), "answers garbage: more than it was asked for");
}

// Garbage in answer to a text: the engine is tried once more, and then the built-in voice
// speaks, which one line on stderr says.
TEST_F(SpeechdFakeTest, GarbageInTheMiddleOfTheGameLeavesTheBuiltInVoice) {
  FakeDaemon daemon(socket_, Manner::GarbageWhenSpoken, 2);
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  speech::State().engineActive = true;
  const std::string said = SpeakAndTell("Bom dia, marujo.");
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_NE(said.find("built-in voice"), std::string::npos) << said;
  EXPECT_EQ(said.find("quelvar:"), said.rfind("quelvar:")) << said;
  EXPECT_EQ(daemon.Texts(), 2);
}

// Lost in the middle of speech, the engine is started again once; with no daemon left the
// built-in voice takes over, which one line on stderr says.
TEST_F(SpeechdFakeTest, ADaemonGoneMidSpeechLeavesTheBuiltInVoice) {
  auto daemon = std::make_unique<FakeDaemon>(socket_, Manner::LeavesMidSpeech, 1);
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  speech::State().engineActive = true;
  Sapi5Speak("Bom dia, marujo.");
  EXPECT_TRUE(PumpUntil([] { return !Sapi5Busy(); })) << "busy for ever with no one to end the speech";
  EXPECT_EQ(daemon->Texts(), 1);
  daemon.reset();

  const std::string said = SpeakAndTell("Terra \xE0 vista!");
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_NE(said.find("built-in voice"), std::string::npos) << said;
  EXPECT_FALSE(Sapi5Busy());
  Sapi5Stop();
}

// A daemon that comes back is spoken to again.
TEST_F(SpeechdFakeTest, ADaemonBackAfterLeavingIsSpokenToAgain) {
  auto daemon = std::make_unique<FakeDaemon>(socket_, Manner::LeavesMidSpeech, 2);
  ASSERT_TRUE(Sapi54Open(1, 0, ""));
  speech::State().engineActive = true;
  Sapi54Speak("Bom dia.");
  EXPECT_TRUE(PumpUntil([] { return !Sapi54Busy(); }));
  Sapi54Speak("Boa noite.");
  EXPECT_TRUE(speech::State().engineActive);
  EXPECT_EQ(daemon->Texts(), 2);
}

// A daemon that says every text is done keeps speaking; the end of speech is heard.
TEST_F(SpeechdFakeTest, ADaemonThatReportsTheEndIsBusyOnlyUntilThen) {
  FakeDaemon daemon(socket_, Manner::Speaks, 1);
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  speech::State().engineActive = true;
  for (const char* line : {"Bom dia.", ".Ponto no come\xE7o\r\n.\r\nE o fim."}) {
    EXPECT_EQ(SpeakAndTell(line), "");
    EXPECT_TRUE(speech::State().engineActive);
  }
  EXPECT_EQ(daemon.Texts(), 2);
}

// Text taken, end never reported: the first line that runs into its bound counts as a
// failure, as a silent daemon does; the built-in voice speaks from then on.
TEST_F(SpeechdFakeTest, ADaemonThatNeverReportsTheEndIsGivenUpAfterOneLine) {
  FakeDaemon daemon(socket_, Manner::NeverEnds, 1);
  ASSERT_TRUE(Sapi5Open(1, 0, ""));
  speech::State().engineActive = true;
  const auto start = std::chrono::steady_clock::now();
  const std::string said = SpeakAndTell("Oi.");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_NE(said.find("never reported the end"), std::string::npos) << said;
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_FALSE(Sapi5Busy());
}

}  // namespace
