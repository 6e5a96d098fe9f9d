#include "speech/host.h"

#include <memory>

#include "platform/core/win.h"
#include "speech/state.h"

namespace speech {

namespace {

class QuietHost final : public Host {
 public:
  bool KeyAvailable() override { return false; }
  uint8_t WaitKey() override { return 0; }
  void Pause(uint16_t milliseconds) override { platform::Sleep(milliseconds); }
  void PumpMessages() override {}
  void WaitMessage() override { platform::WaitMessage(); }
  void WaitMessageFor(uint32_t milliseconds) override {
    platform::ScheduleCallback(platform::NowMs() + milliseconds, [] {});
    platform::WaitMessage();
  }
  void Wake() override {}
  void Write(std::string_view) override {}
  void WriteLine(std::string_view = {}) override {}
  std::string ReadEchoedLine() override { return {}; }
  platform::Hwnd RouteWaveCompletions(WaveDoneProc) override { return platform::ConsoleWindowHandle; }
  void SetNoticeSpeaker(NoticeSpeaker) override {}

 protected:
  void CloseWindow(int) override {}
};

}  // namespace

void Host::Close(int exitCode) {
  CloseWindow(exitCode);
  platform::ExitProgram(exitCode);
}

void InstallHost(Host& host) { TheSpeech().host = &host; }

void InstallHost(std::unique_ptr<Host> host) {
  TheSpeech().host = host.get();
  TheSpeech().ownHost = std::move(host);
}

void UninstallHost() { TheSpeech().host = nullptr; }

Host& CurrentHost() {
  Speech& speech = TheSpeech();
  if (speech.host) return *speech.host;
  if (!speech.quietHost) speech.quietHost = std::make_unique<QuietHost>();
  return *speech.quietHost;
}

}  // namespace speech
