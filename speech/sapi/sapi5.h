#pragma once
// The SAPI 5 engines: the engine interface over a speech voice
// (speech/sapi/sapi5_objects.h). EngineKind::Sapi5 sets the voice and the output stream
// through the voice's own properties; its late-bound twin (EngineKind::Sapi5LateBound)
// through properties set by name.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "speech/engine.h"
#include "speech/sapi/sapi5_objects.h"

namespace speech {

// The installed engine's objects, for EngineKind::Sapi5 or (lateBound) its late-bound twin
// (on Linux speech-dispatcher, on Windows the system's voices).
sapi::Sapi5Objects InstalledSapi5Objects(bool lateBound);

class Sapi5Engine final : public Engine {
 public:
  enum class Binding { Early, Late };
  explicit Sapi5Engine(Binding binding) : binding_(binding) {}

  // Opens voice number 'voice' (1-based; out of range: voice 1 at rate 0) at 'rate'
  // (-10..10; the pitch is not used); outputFile empty is the sound device. False leaves
  // nothing open.
  bool Open(int voice, int rate, int pitch, const std::string& outputFile) override;
  void Close() override;
  // Speaks a text (Windows-1252) in the background; an empty text speaks a blank.
  void Speak(std::string_view text) override;
  // True while the voice still speaks (asked for 20 ms); then the host is woken.
  bool Busy(int mode) override;
  void Stop() override { Purge(); }
  // Drops queued speech; true when the request failed.
  bool Purge();

  // The objects the engine creates; an empty set puts back the installed engine's.
  void SetObjects(sapi::Sapi5Objects objects);

 private:
  using Clock = std::chrono::steady_clock;

  // The engine failed for good: the built-in voice speaks from now on, which one line says.
  void GiveUp(const std::string& why);
  // An open that went wrong part way: nothing of it stays.
  bool Fail();
  const sapi::Sapi5Objects& Objects();

  struct Opening {
    int voice = 0, rate = 0;
    std::string outputFile;
  };

  const Binding binding_;
  Opening opening_;
  bool reopened_ = false;
  Clock::time_point busyUntil_{};
  std::optional<sapi::Sapi5Objects> objects_;
  std::optional<sapi::TSpVoice> voice_;
  std::optional<sapi::TSpFileStream> fileStream_;
  sapi::WaitHandle* speakDoneEvent_ = nullptr;  // owned by the voice
};

}  // namespace speech
