// The SAPI 5 adapters over speech-dispatcher daemons that misbehave: none at all, one that
// accepts the connection and never answers, one that goes away in the middle of speech.
// The daemons are our own small stand-ins speaking just enough of the SSIP protocol, so the
// tests run in every build, the sanitizers' included.

#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "sapi_fixture.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/sapi/sapi5.h"
#include "speech/state.h"

namespace {

enum class Manner {
  Silent,          // accepts and never answers
  LeavesMidSpeech  // answers until a text comes, then closes the connection
};

// A daemon on a socket of its own, serving connections one after another on a thread.
class FakeDaemon {
 public:
  FakeDaemon(const std::string& path, Manner manner, int connections) : path_(path), manner_(manner) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::unlink(path.c_str());
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listener_, 4) != 0) {
      ADD_FAILURE() << "cannot listen on " << path;
      return;
    }
    thread_ = std::thread([this, connections] {
      for (int served = 0; served < connections && !stopping_; ++served) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) break;
        Serve(client);
      }
    });
  }

  ~FakeDaemon() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    for (const int client : held_) ::shutdown(client, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    for (const int client : held_) ::close(client);
    ::close(listener_);
    ::unlink(path_.c_str());
  }

  int Texts() const { return texts_; }

 private:
  void Send(int client, const std::string& text) {
    [[maybe_unused]] const ssize_t sent = ::send(client, text.data(), text.size(), MSG_NOSIGNAL);
  }

  void Serve(int client) {
    if (manner_ == Manner::Silent) {
      // Reads everything, answers nothing, lets go only when the test ends.
      held_.push_back(client);
      char buffer[512];
      while (!stopping_ && ::recv(client, buffer, sizeof buffer, 0) > 0) {
      }
      return;
    }
    std::string pending;
    bool inText = false;
    char buffer[512];
    for (;;) {
      const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      pending.append(buffer, static_cast<std::size_t>(got));
      std::size_t end = 0;
      while ((end = pending.find("\r\n")) != std::string::npos) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 2);
        if (std::getenv("FAKE_SPEECHD_TRACE")) std::fprintf(stderr, "fake daemon: %s\n", line.c_str());
        if (inText) {
          if (line != ".") continue;
          inText = false;
          ++texts_;
          Send(client, "225-" + std::to_string(texts_) + "\r\n225 OK MESSAGE QUEUED\r\n");
          Send(client, "701-" + std::to_string(texts_) + "\r\n701-1\r\n701 BEGIN\r\n");
          ::close(client);  // and gone, in the middle of speaking
          return;
        }
        for (char& c : line) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (line == "SPEAK") {
          inText = true;
          Send(client, "230 OK RECEIVING DATA\r\n");
        } else if (line.rfind("LIST SYNTHESIS_VOICES", 0) == 0) {
          Send(client, "249-Falante\tpt-BR\tnone\r\n249 OK VOICE LIST SENT\r\n");
        } else if (line.rfind("SET SELF CLIENT_NAME", 0) == 0) {
          Send(client, "208 OK CLIENT NAME SET\r\n");
        } else if (line.rfind("HISTORY GET CLIENT_ID", 0) == 0) {
          Send(client, "245-1\r\n245 OK CLIENT ID SENT\r\n");
        } else if (line == "QUIT") {
          Send(client, "231 HAPPY HACKING\r\n");
        } else {
          Send(client, "200 OK\r\n");
        }
      }
    }
    ::close(client);
  }

  std::string path_;
  Manner manner_;
  int listener_ = -1;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> texts_{0};
  std::vector<int> held_;
};

class SpeechdFakeTest : public SapiTest {
 protected:
  void SetUp() override {
    SapiTest::SetUp();
    socket_ = dir_ + "/speechd.sock";
    ::setenv("SPEECHD_ADDRESS", ("unix_socket:" + socket_).c_str(), 1);
  }
  void TearDown() override {
    speech::Sapi5Close();
    speech::Sapi54Close();
    ::unsetenv("SPEECHD_ADDRESS");
    SapiTest::TearDown();
  }
  std::string socket_;
};

TEST_F(SpeechdFakeTest, NoDaemonAtAllFailsTheOpen) {
  EXPECT_FALSE(speech::Sapi5Open(1, 0, ""));
  EXPECT_FALSE(speech::Sapi54Open(1, 0, ""));
  EXPECT_FALSE(speech::Sapi5Busy());
}

// The open gives up within its bound and the program goes on; nothing is left waiting.
TEST_F(SpeechdFakeTest, ADaemonThatNeverAnswersFailsTheOpenInsteadOfHanging) {
  FakeDaemon daemon(socket_, Manner::Silent, 2);
  EXPECT_FALSE(speech::Sapi5Open(1, 0, ""));
  EXPECT_FALSE(speech::Sapi54Open(1, 0, ""));
  EXPECT_FALSE(speech::Sapi5Busy());
  speech::Sapi5Stop();
}

// Lost in the middle of speech, the engine is started again once; with no daemon left the
// built-in voice takes over, which one line on stderr says.
TEST_F(SpeechdFakeTest, ADaemonGoneMidSpeechLeavesTheBuiltInVoice) {
  auto daemon = std::make_unique<FakeDaemon>(socket_, Manner::LeavesMidSpeech, 1);
  ASSERT_TRUE(speech::Sapi5Open(1, 0, ""));
  speech::State().engineActive = true;
  speech::Sapi5Speak("Bom dia, marujo.");
  EXPECT_TRUE(PumpUntil([] { return !speech::Sapi5Busy(); })) << "busy for ever with no one to end the speech";
  EXPECT_EQ(daemon->Texts(), 1);
  daemon.reset();

  testing::internal::CaptureStderr();
  speech::Sapi5Speak("Terra \xE0 vista!");
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(speech::State().engineActive);
  EXPECT_NE(said.find("built-in voice"), std::string::npos) << said;
  EXPECT_FALSE(speech::Sapi5Busy());
  speech::Sapi5Stop();
}

// A daemon that comes back is spoken to again.
TEST_F(SpeechdFakeTest, ADaemonBackAfterLeavingIsSpokenToAgain) {
  auto daemon = std::make_unique<FakeDaemon>(socket_, Manner::LeavesMidSpeech, 2);
  ASSERT_TRUE(speech::Sapi54Open(1, 0, ""));
  speech::State().engineActive = true;
  speech::Sapi54Speak("Bom dia.");
  EXPECT_TRUE(PumpUntil([] { return !speech::Sapi54Busy(); }));
  speech::Sapi54Speak("Boa noite.");
  EXPECT_TRUE(speech::State().engineActive);
  EXPECT_EQ(daemon->Texts(), 2);
}

}  // namespace
