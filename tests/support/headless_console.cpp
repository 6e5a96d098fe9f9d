#include "headless_console.h"

#include "app/speech_wiring.h"
#include "console/console.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"

void StartHeadlessConsole(std::unique_ptr<platform::Backend> backend) {
  platform::SetBackend(backend ? std::move(backend) : std::make_unique<platform::HeadlessBackend>());
  platform::SetSoundOutput(std::make_unique<platform::HeadlessSound>());
  platform::SetProcessExitHook([](int code) { throw ProgramExit{code}; });
  console::InitConsole("quelvar");
  app::ConnectSpeech();
  platform::ClearNullWaveOutLog();
}

void StopHeadlessConsole() { console::InitConsole("quelvar"); }
