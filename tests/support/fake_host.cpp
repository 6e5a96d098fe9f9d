#include "fake_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/win.h"
#include "scratch.h"

namespace {

speech::WaveDoneProc gWaveDone = nullptr;

intptr_t WindowProc(platform::Hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == platform::MM_WOM_DONE && gWaveDone) gWaveDone(wParam, lParam);
  return 0;
}

}  // namespace

void FakeHost::Start() {
  platform::SetBackend(std::make_unique<platform::HeadlessBackend>());
  platform::SetProcessExitHook([](int code) { throw ProgramExit{code}; });
  platform::ClearNullWaveOutLog();
  if (platform::IsWindow(platform::ConsoleWindowHandle)) platform::DestroyWindow(platform::ConsoleWindowHandle);
  speech::InstallHost(*this);
}

void FakeHost::Stop() {
  speech::UninstallHost();
  if (window_ != 0) platform::DestroyWindow(window_);
  window_ = 0;
  gWaveDone = nullptr;
}

void FakeHost::Type(std::string_view keys, uint64_t afterMs) {
  const uint64_t at = platform::NowMs() + afterMs;
  for (const char c : keys) arriving_.emplace_back(at, static_cast<uint8_t>(c == '\n' ? 13 : c));
  // A wait for messages ends when the key arrives, as it does for a real key's message.
  const auto wake = [] { platform::PostMessage(platform::ConsoleWindowHandle, 0); };
  if (afterMs > 0) {
    platform::ScheduleCallback(at, wake);
  } else {
    wake();
  }
}

void FakeHost::TakeArrived() {
  while (!arriving_.empty() && arriving_.front().first <= platform::NowMs()) {
    keys_.push_back(arriving_.front().second);
    arriving_.pop_front();
  }
}

bool FakeHost::KeyAvailable() {
  ++keyPolls_;
  PumpMessages();
  TakeArrived();
  return !keys_.empty();
}

uint8_t FakeHost::WaitKey() {
  TakeArrived();
  if (keys_.empty() && !arriving_.empty()) {
    platform::Sleep(static_cast<uint32_t>(arriving_.front().first - platform::NowMs()));
    TakeArrived();
  }
  if (keys_.empty()) {
    ADD_FAILURE() << "speech waited for a key the test never typed";
    return 13;
  }
  const uint8_t key = keys_.front();
  keys_.pop_front();
  return key;
}

void FakeHost::Pause(uint16_t milliseconds) {
  platform::Sleep(milliseconds);
  PumpMessages();
}

void FakeHost::PumpMessages() {
  platform::Message message;
  while (platform::PeekMessage(message)) platform::DispatchMessage(message);
}

void FakeHost::WaitMessage() { platform::WaitMessage(); }

void FakeHost::WaitMessageFor(uint32_t milliseconds) {
  platform::ScheduleCallback(platform::NowMs() + milliseconds, [] {});
  platform::WaitMessage();
}

void FakeHost::Wake() {
  ++wakes_;
  platform::PostMessage(platform::ConsoleWindowHandle, 0);
}

std::string FakeHost::ReadEchoedLine() {
  std::string line;
  for (uint8_t key = WaitKey(); key != 13; key = WaitKey()) line += static_cast<char>(key);
  written_ += line + "\n";
  return line;
}

platform::Hwnd FakeHost::RouteWaveCompletions(speech::WaveDoneProc done) {
  if (window_ == 0) window_ = platform::CreateAppWindow(WindowProc, "speech test", {640, 400});
  gWaveDone = done;
  return platform::ConsoleWindowHandle;
}

void FakeHost::CloseWindow(int) { Stop(); }
