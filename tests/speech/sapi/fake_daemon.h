#pragma once
// A speech-dispatcher of our own that misbehaves in one chosen manner, speaking just enough
// of SSIP: for the tests of the adapters and of the whole program (fake_speechd).

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

enum class Manner {
  Silent,              // accepts and never answers
  Garbage,             // answers "x" to every line
  GarbageWhenSpoken,   // answers well until a text comes, then "x"
  HalfLineThenLeaves,  // answers the first line with half a reply, then closes
  LeavesMidSpeech,     // answers until a text comes, then closes the connection
  NeverEnds,           // takes every text and never reports its end
  Speaks,              // reports the end of every text at once
  Floods               // answers the first line with one reply of long lines without end
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
      listening_ = false;
      return;
    }
    thread_ = std::thread([this, connections] {
      for (int served = 0; served < connections && !stopping_; ++served) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) break;
        client_ = client;
        Serve(client);
        client_ = -1;
        ::close(client);
      }
    });
  }

  ~FakeDaemon() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    ::shutdown(client_, SHUT_RDWR);  // the connection being served, if any
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
    ::unlink(path_.c_str());
  }

  bool Listening() const { return listening_; }
  int Texts() const { return texts_; }

 private:
  void Send(int client, const std::string& text) {
    [[maybe_unused]] const ssize_t sent = ::send(client, text.data(), text.size(), MSG_NOSIGNAL);
  }

  // Reads everything, answers nothing, lets go only when the test ends.
  void Hold(int client) {
    char buffer[512];
    while (!stopping_ && ::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
  }

  void Serve(int client) {
    if (manner_ == Manner::Silent) return Hold(client);
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
        if (manner_ == Manner::Garbage) {
          Send(client, "x\r\n");
          continue;
        }
        if (manner_ == Manner::HalfLineThenLeaves) {
          Send(client, "208 OK CLIE");
          return;
        }
        if (manner_ == Manner::Floods) {
          const std::string longLine = "200-" + std::string(60000, 'x') + "\r\n";
          while (!stopping_ && ::send(client, longLine.data(), longLine.size(), MSG_NOSIGNAL) > 0) {
          }
          return;
        }
        if (inText) {
          if (line != ".") continue;
          inText = false;
          ++texts_;
          if (manner_ == Manner::GarbageWhenSpoken) {
            Send(client, "x\r\n");
            continue;
          }
          const std::string id = std::to_string(texts_);
          Send(client, "225-" + id + "\r\n225 OK MESSAGE QUEUED\r\n");
          Send(client, "701-" + id + "\r\n701-1\r\n701 BEGIN\r\n");
          if (manner_ == Manner::LeavesMidSpeech) return;  // and gone, in the middle of speaking
          if (manner_ == Manner::Speaks) Send(client, "702-" + id + "\r\n702-1\r\n702 END\r\n");
          continue;
        }
        for (char& c : line) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if (line == "SPEAK") {
          inText = true;
          Send(client, "230 OK RECEIVING DATA\r\n");
        } else if (line.rfind("LIST SYNTHESIS_VOICES", 0) == 0) {
          Send(client, "249-Falante\tpt-BR\tnone\r\n249 OK VOICE LIST SENT\r\n");
        } else if (line.rfind("SET SELF CLIENT_NAME", 0) == 0) {
          Send(client, "208 OK CLIENT NAME SET\r\n");
        } else if (line == "QUIT") {
          Send(client, "231 HAPPY HACKING\r\n");
        } else {
          Send(client, "200 OK\r\n");
        }
      }
    }
  }

  std::string path_;
  Manner manner_;
  int listener_ = -1;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> texts_{0};
  std::atomic<int> client_{-1};
  bool listening_ = true;
};
