#include "speech/sapi/sapi4.h"

#include <filesystem>
#include <optional>

#include "platform/win.h"
#include "speech/host.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/cp1252.h"

namespace speech {
namespace {

using sapi::Failed;

constexpr std::size_t TextBufferSize = 64000;  // characters, besides the terminator

struct Sapi4State {
  std::shared_ptr<sapi::IAudioMultiMediaDevice> multimediaDest;
  std::shared_ptr<sapi::IAudioFile> fileDest;
  std::shared_ptr<sapi::ITTSEnum> enumerator;
  std::optional<sapi::TtsModeInfo> mode;
  std::shared_ptr<sapi::ITTSCentral> engine;
  std::shared_ptr<TTSNotifySink> notifySink;
  uint32_t notifyKey = 0;
  std::shared_ptr<TTSBufNotifySink> bufSink;
};

Sapi4State gSapi4;
bool AudioPlaying = false;  // between the engine's audio start and audio stop
int PendingTexts = 0;       // texts whose speaking started and has not ended; never below 0

std::optional<sapi::Sapi4Objects> gObjects;

const sapi::Sapi4Objects& Objects() {
  if (!gObjects) gObjects = InstalledSapi4Objects();
  return *gObjects;
}

// Puts the process's current directory back when the open ends, however it ends.
class CurrentDirectoryKeeper {
 public:
  CurrentDirectoryKeeper() { saved_ = std::filesystem::current_path(error_); }
  ~CurrentDirectoryKeeper() {
    if (!error_) std::filesystem::current_path(saved_, error_);
  }
  CurrentDirectoryKeeper(const CurrentDirectoryKeeper&) = delete;
  CurrentDirectoryKeeper& operator=(const CurrentDirectoryKeeper&) = delete;

 private:
  std::filesystem::path saved_;
  std::error_code error_;
};

std::u16string ToUtf16(std::string_view cp1252) {
  std::u16string text;
  for (const char c : cp1252) text += static_cast<char16_t>(text::Cp1252ToCodePoint(static_cast<uint8_t>(c)));
  return text;
}

bool IsBlankOrControl(char c) { return static_cast<uint8_t>(c) <= ' '; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

void DropEngineObjects() {
  gSapi4.multimediaDest.reset();
  gSapi4.fileDest.reset();
  gSapi4.enumerator.reset();
  gSapi4.mode.reset();
  gSapi4.engine.reset();
}

}  // namespace

void SetSapi4Objects(sapi::Sapi4Objects objects) { gObjects = std::move(objects); }

bool Sapi4Open(int voice, int speed, int pitch, const std::string& outputFile) {
  const CurrentDirectoryKeeper directory;
  if (voice == 0) voice = 1;

  std::shared_ptr<sapi::IAudioDest> destination;
  if (!outputFile.empty()) {
    gSapi4.fileDest = Objects().CreateAudioDestFile ? Objects().CreateAudioDestFile() : nullptr;
    if (!gSapi4.fileDest) return false;
    if (gSapi4.fileDest->Set(ToUtf16(outputFile), 1) != sapi::HrOk) {
      gSapi4.fileDest.reset();
      return false;
    }
    destination = gSapi4.fileDest;
  } else {
    gSapi4.multimediaDest = Objects().CreateMMAudioDest ? Objects().CreateMMAudioDest() : nullptr;
    if (!gSapi4.multimediaDest) return false;
    destination = gSapi4.multimediaDest;
  }

  bool selected = false;
  gSapi4.enumerator = Objects().CreateTTSEnumerator ? Objects().CreateTTSEnumerator() : nullptr;
  if (gSapi4.enumerator && !Failed(gSapi4.enumerator->Reset())) {
    gSapi4.mode.emplace();
    bool enumerated = true;
    for (int i = 0; i < voice && enumerated; ++i) {
      enumerated = !Failed(gSapi4.enumerator->Next(1, &*gSapi4.mode, nullptr));
    }
    selected = enumerated && !Failed(gSapi4.enumerator->Select(gSapi4.mode->gModeID, gSapi4.engine, destination)) &&
               gSapi4.engine;
  }
  if (!selected) {
    DropEngineObjects();
    return false;
  }

  gSapi4.bufSink = std::make_shared<TTSBufNotifySink>();
  gSapi4.notifySink = std::make_shared<TTSNotifySink>();
  if (Failed(gSapi4.engine->Register(gSapi4.notifySink, sapi::IidTtsNotifySink, gSapi4.notifyKey))) {
    gSapi4.notifyKey = 0;
  }

  // The engine's worker must be gone before the program's statics are.
  static bool exitStepAdded = false;
  if (!exitStepAdded) {
    exitStepAdded = true;
    platform::AddExitStep(Sapi4Close);
  }

  if (sapi::ITTSAttributes* attributes = gSapi4.engine->QueryAttributes()) {
    if (speed != 0) attributes->SpeedSet(static_cast<uint32_t>(speed));
    if (pitch != 0) attributes->PitchSet(static_cast<uint16_t>(pitch));
  }
  return true;
}

void Sapi4Speak(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return;
  std::string buffer(text.substr(0, TextBufferSize));
  if (buffer.size() == 1 && buffer[0] >= '0' && buffer[0] <= '9') buffer += '.';
  if (!gSapi4.engine) return;
  if (State().keyStopsPlayback && CurrentHost().KeyAvailable()) return;
  buffer += '\0';
  if (PendingTexts > 0) CurrentHost().Pause(20);
  // The engine may have been closed by a message handled during the pause.
  if (!gSapi4.engine) return;
  if (Failed(gSapi4.engine->TextData(sapi::CharacterSet::Text, 0, buffer, gSapi4.bufSink, sapi::IidTtsBufNotifySink))) {
    Sapi4Stop();
  }
}

bool Sapi4Busy(bool textOnly) { return textOnly ? PendingTexts > 0 : PendingTexts > 0 || AudioPlaying; }

void Sapi4Stop() {
  // Texts handed over whose sound has not started yet are silenced too: otherwise a key
  // pressed just after a text was queued would not stop it.
  if ((AudioPlaying || PendingTexts > 0) && gSapi4.engine) {
    CurrentHost().Pause(50);
    if (gSapi4.engine) gSapi4.engine->AudioReset();
    CurrentHost().Pause(150);
  }
  AudioPlaying = false;
  PendingTexts = 0;
}

void Sapi4Close() {
  if (gSapi4.fileDest) {
    gSapi4.fileDest->Flush();
    gSapi4.fileDest.reset();
  }
  gSapi4.multimediaDest.reset();
  gSapi4.enumerator.reset();
  gSapi4.mode.reset();
  gSapi4.bufSink.reset();
  if (gSapi4.notifySink) {
    if (gSapi4.engine) gSapi4.engine->UnRegister(gSapi4.notifyKey);
    gSapi4.notifySink.reset();
  }
  gSapi4.engine.reset();
  AudioPlaying = false;
  PendingTexts = 0;
}

// ---- the sinks ----

sapi::HResult TTSNotifySink::AttribChanged(uint32_t) { return sapi::HrOk; }
sapi::HResult TTSNotifySink::AudioStart(uint64_t) {
  AudioPlaying = true;
  return sapi::HrOk;
}
sapi::HResult TTSNotifySink::AudioStop(uint64_t) {
  AudioPlaying = false;
  return sapi::HrOk;
}
sapi::HResult TTSNotifySink::Visual(uint64_t) { return sapi::HrOk; }

sapi::HResult TTSBufNotifySink::TextDataDone(uint64_t, uint32_t) {
  if (--PendingTexts < 0) PendingTexts = 0;
  return sapi::HrOk;
}
sapi::HResult TTSBufNotifySink::TextDataStarted(uint64_t) {
  ++PendingTexts;
  return sapi::HrOk;
}
sapi::HResult TTSBufNotifySink::BookMark(uint64_t, uint32_t) { return sapi::HrOk; }
sapi::HResult TTSBufNotifySink::WordPosition(uint64_t, uint32_t) { return sapi::HrOk; }

}  // namespace speech
