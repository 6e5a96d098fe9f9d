#include "sapi_fixture.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "console/console.h"
#include "console/keyboard.h"
#include "platform/audio/wave_out.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/sapi/sapi4.h"
#include "speech/state.h"
#include "speech/wave.h"

speech::Sapi4Engine& Sapi4() { return static_cast<speech::Sapi4Engine&>(*speech::EngineOf(speech::EngineKind::Sapi4)); }
speech::Sapi5Engine& Sapi5() { return static_cast<speech::Sapi5Engine&>(*speech::EngineOf(speech::EngineKind::Sapi5)); }
speech::Sapi5Engine& Sapi54() {
  return static_cast<speech::Sapi5Engine&>(*speech::EngineOf(speech::EngineKind::Sapi5LateBound));
}

void SapiTest::SetUp() {
  dir_ = MakeTestFolder("sapi");
  ASSERT_FALSE(dir_.empty());
  platform::SetWindowsDirectory(dir_);
  StartHeadlessConsole();
  speech::ResetSpeech();
}

void SapiTest::TearDown() {
  StopHeadlessConsole();
  platform::ClearNullWaveOutLog();
  std::filesystem::remove_all(dir_);
}

platform::HeadlessBackend& SapiTest::Backend() {
  return static_cast<platform::HeadlessBackend&>(platform::CurrentBackend());
}
platform::HeadlessSound& SapiTest::Sound() {
  return static_cast<platform::HeadlessSound&>(platform::CurrentSoundOutput());
}

void SapiTest::PressKey(char letter) {
  platform::PostKeyEvent({letter - 'a' + 'A', 0, static_cast<uint8_t>(letter)}, true);
}

bool SapiTest::TakePosted(uint32_t number) {
  std::vector<platform::Message> kept;
  bool found = false;
  platform::Message message;
  while (platform::PeekMessage(message, 0)) {
    if (message.message == number)
      found = true;
    else
      kept.push_back(message);
  }
  for (const auto& m : kept) platform::PostMessage(m.hwnd, m.message, m.wParam, m.lParam);
  return found;
}

// One round of the program's waiting: due timers, then the messages, then a millisecond
// of real time for the engines' threads.
bool PumpOnce() {
  console::PumpMessages();
  if (!platform::BackgroundWorkPending()) {
    // Let the virtual clock reach the next timer (the null device's block ends).
    platform::Sleep(10);
    console::PumpMessages();
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

bool Sapi4Idle() {
  const bool workDone = !platform::BackgroundWorkPending();
  console::PumpMessages();
  return workDone && !Sapi4Busy(false);
}
