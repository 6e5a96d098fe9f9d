#pragma once
// A small host for speech tests, in place of the whole console: keys the test types, now or
// at a later moment of the headless clock (so that a key can arrive while speech is
// playing), what speech writes kept as text, and wave completions handed back from the
// platform's message queue as the console would.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>

#include "speech/host.h"

class FakeHost final : public speech::Host {
 public:
  // Installs this host and the headless backend (program exits thrown as ProgramExit).
  void Start();
  // Uninstalls it and closes its window.
  void Stop();

  // Keys (Windows-1252 characters, "\n" for Enter) waiting now, or arriving 'afterMs'
  // milliseconds of headless time from now.
  void Type(std::string_view keys, uint64_t afterMs = 0);
  const std::string& Written() const { return written_; }
  int KeyPolls() const { return keyPolls_; }
  // How often speech woke the host's wait.
  int Wakes() const { return wakes_; }

  bool KeyAvailable() override;
  uint8_t WaitKey() override;
  void Pause(uint16_t milliseconds) override;
  void PumpMessages() override;
  void WaitMessage() override;
  void WaitMessageFor(uint32_t milliseconds) override;
  void Wake() override;
  void Write(std::string_view cp1252) override { written_ += cp1252; }
  void WriteLine(std::string_view cp1252 = {}) override {
    written_ += cp1252;
    written_ += '\n';
  }
  std::string ReadEchoedLine() override;
  platform::Hwnd RouteWaveCompletions(speech::WaveDoneProc done) override;
  void SetNoticeSpeaker(speech::NoticeSpeaker speaker) override { noticeSpeaker_ = speaker; }

 protected:
  void CloseWindow(int exitCode) override;

 private:
  void TakeArrived();

  std::deque<std::pair<uint64_t, uint8_t>> arriving_;  // (headless time, key), in order
  std::deque<uint8_t> keys_;
  std::string written_;
  int keyPolls_ = 0;
  int wakes_ = 0;
  uint32_t window_ = 0;
  speech::NoticeSpeaker noticeSpeaker_ = nullptr;
};
