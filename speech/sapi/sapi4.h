#pragma once
// The SAPI 4 engine: the engine interface over the direct text-to-speech objects
// (speech/sapi/sapi4_objects.h), with the two notification sinks that keep count of texts
// being spoken and of audio playing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "speech/engine.h"
#include "speech/sapi/sapi4_objects.h"

namespace speech {

// The installed engine's objects (on Linux espeak-ng's; none where there is no SAPI 4).
sapi::Sapi4Objects InstalledSapi4Objects();

class Sapi4Engine final : public Engine {
 public:
  // Opens voice number 'voice' (1-based, 0 taken as 1) with speed and pitch (0: the
  // engine's own); outputFile empty is the sound device. False leaves nothing open.
  bool Open(int voice, int speed, int pitch, const std::string& outputFile) override;
  void Close() override;
  // Hands a text (Windows-1252) to the engine; blank texts and texts while a key waits are
  // not spoken.
  void Speak(std::string_view text) override;
  // Mode 1: texts are still being spoken; otherwise also audio still playing.
  bool Busy(int mode) override;
  // Silences the engine and forgets every pending text.
  void Stop() override;

  // The objects the engine creates; by default those of the installed engine.
  void SetObjects(sapi::Sapi4Objects objects);

  // What the sinks report: audio between its start and stop, texts whose speaking started
  // and has not ended (never below 0).
  struct Activity {
    bool audioPlaying = false;
    int pendingTexts = 0;
  };

 private:
  const sapi::Sapi4Objects& Objects();
  void DropEngineObjects();

  std::optional<sapi::Sapi4Objects> objects_;
  std::shared_ptr<sapi::IAudioMultiMediaDevice> multimediaDest_;
  std::shared_ptr<sapi::IAudioFile> fileDest_;
  std::shared_ptr<sapi::ITTSEnum> enumerator_;
  std::optional<sapi::TtsModeInfo> mode_;
  std::shared_ptr<sapi::ITTSCentral> engine_;
  std::shared_ptr<sapi::ITTSNotifySink> notifySink_;
  uint32_t notifyKey_ = 0;
  std::shared_ptr<sapi::ITTSBufNotifySink> bufSink_;
  std::shared_ptr<Activity> activity_ = std::make_shared<Activity>();
};

}  // namespace speech
