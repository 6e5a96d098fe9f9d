#include "app/speech_wiring.h"

#include <memory>

#include "console/keyboard.h"
#include "console/screen.h"
#include "mbrola_front/mbrola_engine.h"
#include "platform/core/win.h"
#include "speech/host.h"
#include "speech/sapi/engines.h"

namespace app {

namespace {

// The console as speech sees it.
class ConsoleHost final : public speech::Host {
 public:
  bool KeyAvailable() override { return console::KeyAvailable(); }
  uint8_t WaitKey() override { return console::WaitKey(); }
  void Pause(uint16_t milliseconds) override { console::Pause(milliseconds); }
  void PumpMessages() override { console::PumpMessages(); }
  void WaitMessage() override { platform::WaitMessage(); }
  void WaitMessageFor(uint32_t milliseconds) override {
    platform::ScheduleCallback(platform::NowMs() + milliseconds, [] {});
    platform::WaitMessage();
  }
  void Wake() override { platform::PostMessage(platform::ConsoleWindowHandle, SpeechWakeMessage); }
  void Write(std::string_view cp1252) override { console::Write(cp1252); }
  void WriteLine(std::string_view cp1252 = {}) override { console::WriteLine(cp1252); }
  std::string ReadEchoedLine() override { return console::ReadEchoedLine(); }
  platform::Hwnd RouteWaveCompletions(speech::WaveDoneProc done) override {
    console::EnsureConsoleWindow();
    console::SetWaveDoneHandler(done, true);
    return platform::ConsoleWindowHandle;
  }
  void SetNoticeSpeaker(speech::NoticeSpeaker speaker) override { console::SetNoticeSpeaker(speaker); }

 protected:
  void CloseWindow(int exitCode) override { console::CloseConsole(exitCode); }
};

}  // namespace

void ConnectSpeech() {
  speech::InstallHost(std::make_unique<ConsoleHost>());
  mbrola_front::RegisterMbrolaEngine();
  speech::RegisterSapiEngines();
}

}  // namespace app
