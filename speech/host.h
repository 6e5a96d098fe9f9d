#pragma once
// What speech needs from the program around it: the key queue (a key silences speech),
// pauses, waits and message pumping that keep the window answering, waking a wait, the few
// lines speech writes itself, and the window that wave-device completions reach. Speech
// knows the program only through this. The console is the host of the program
// (app/speech_wiring.h installs it); tests install a small fake.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/core/win.h"

namespace speech {

// Called with each block the wave device has finished (the MM_WOM_DONE parameters).
using WaveDoneProc = void (*)(uintptr_t wParam, intptr_t lParam);
// Speaks a notice of the host's own (Windows-1252).
using NoticeSpeaker = void (*)(std::string_view cp1252);

class Host {
 public:
  virtual ~Host() = default;

  virtual bool KeyAvailable() = 0;  // pumps messages first
  virtual uint8_t WaitKey() = 0;
  // Sleeps, then dispatches the messages that arrived meanwhile.
  virtual void Pause(uint16_t milliseconds) = 0;
  virtual void PumpMessages() = 0;
  // Waits until a message arrives for the program (a key, a finished block, a wake-up),
  // without dispatching it; WaitMessageFor waits at most 'milliseconds'.
  virtual void WaitMessage() = 0;
  virtual void WaitMessageFor(uint32_t milliseconds) = 0;
  // Ends a wait in WaitMessage at once, so that whoever waits looks again.
  virtual void Wake() = 0;

  virtual void Write(std::string_view cp1252) = 0;
  virtual void WriteLine(std::string_view cp1252 = {}) = 0;
  // Reads a line with echo, as for "press Enter".
  virtual std::string ReadEchoedLine() = 0;
  // Ends the program: the host closes its window (and may end the program there), then
  // the program ends with exitCode.
  [[noreturn]] void Close(int exitCode);

  // Makes sure the window that wave devices report to exists, hands its completions to
  // 'done', and answers that window.
  virtual platform::Hwnd RouteWaveCompletions(WaveDoneProc done) = 0;
  // The host's notices are spoken with 'speaker' from now on; nullptr: no longer spoken.
  virtual void SetNoticeSpeaker(NoticeSpeaker speaker) = 0;

 protected:
  virtual void CloseWindow(int exitCode) = 0;
};

// The host speech uses from now on; it must outlive its use. Until one is installed a
// quiet host stands in: no keys, pauses only sleep, writing goes nowhere, closing ends
// the program.
void InstallHost(Host& host);
// The same, with speech keeping the host from now on (the program's own).
void InstallHost(std::unique_ptr<Host> host);
void UninstallHost();  // back to the quiet host
Host& CurrentHost();

}  // namespace speech
