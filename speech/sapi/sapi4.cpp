#include "speech/sapi/sapi4.h"

#include <filesystem>
#include <optional>

#include "platform/core/win.h"
#include "speech/host.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/cp1252.h"

namespace speech {
namespace {

using sapi::Failed;

constexpr std::size_t TextBufferSize = 64000;  // characters, besides the terminator

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

class TTSNotifySink final : public sapi::ITTSNotifySink {
 public:
  explicit TTSNotifySink(std::shared_ptr<Sapi4Engine::Activity> activity) : activity_(std::move(activity)) {}
  sapi::HResult AttribChanged(uint32_t) override { return sapi::HrOk; }
  sapi::HResult AudioStart(uint64_t) override {
    activity_->audioPlaying = true;
    return sapi::HrOk;
  }
  sapi::HResult AudioStop(uint64_t) override {
    activity_->audioPlaying = false;
    return sapi::HrOk;
  }
  sapi::HResult Visual(uint64_t) override { return sapi::HrOk; }

 private:
  std::shared_ptr<Sapi4Engine::Activity> activity_;
};

class TTSBufNotifySink final : public sapi::ITTSBufNotifySink {
 public:
  explicit TTSBufNotifySink(std::shared_ptr<Sapi4Engine::Activity> activity) : activity_(std::move(activity)) {}
  sapi::HResult TextDataDone(uint64_t, uint32_t) override {
    if (--activity_->pendingTexts < 0) activity_->pendingTexts = 0;
    return sapi::HrOk;
  }
  sapi::HResult TextDataStarted(uint64_t) override {
    ++activity_->pendingTexts;
    return sapi::HrOk;
  }
  sapi::HResult BookMark(uint64_t, uint32_t) override { return sapi::HrOk; }
  sapi::HResult WordPosition(uint64_t, uint32_t) override { return sapi::HrOk; }

 private:
  std::shared_ptr<Sapi4Engine::Activity> activity_;
};

}  // namespace

const sapi::Sapi4Objects& Sapi4Engine::Objects() {
  if (!objects_) objects_ = InstalledSapi4Objects();
  return *objects_;
}

void Sapi4Engine::SetObjects(sapi::Sapi4Objects objects) { objects_ = std::move(objects); }

void Sapi4Engine::DropEngineObjects() {
  multimediaDest_.reset();
  fileDest_.reset();
  enumerator_.reset();
  mode_.reset();
  engine_.reset();
}

bool Sapi4Engine::Open(int voice, int speed, int pitch, const std::string& outputFile) {
  const CurrentDirectoryKeeper directory;
  if (voice == 0) voice = 1;

  std::shared_ptr<sapi::IAudioDest> destination;
  if (!outputFile.empty()) {
    fileDest_ = Objects().CreateAudioDestFile ? Objects().CreateAudioDestFile() : nullptr;
    if (!fileDest_) return false;
    if (fileDest_->Set(ToUtf16(outputFile), 1) != sapi::HrOk) {
      fileDest_.reset();
      return false;
    }
    destination = fileDest_;
  } else {
    multimediaDest_ = Objects().CreateMMAudioDest ? Objects().CreateMMAudioDest() : nullptr;
    if (!multimediaDest_) return false;
    destination = multimediaDest_;
  }

  bool selected = false;
  enumerator_ = Objects().CreateTTSEnumerator ? Objects().CreateTTSEnumerator() : nullptr;
  if (enumerator_ && !Failed(enumerator_->Reset())) {
    mode_.emplace();
    bool enumerated = true;
    for (int i = 0; i < voice && enumerated; ++i) {
      enumerated = !Failed(enumerator_->Next(1, &*mode_, nullptr));
    }
    selected = enumerated && !Failed(enumerator_->Select(mode_->gModeID, engine_, destination)) && engine_;
  }
  if (!selected) {
    DropEngineObjects();
    return false;
  }

  bufSink_ = std::make_shared<TTSBufNotifySink>(activity_);
  notifySink_ = std::make_shared<TTSNotifySink>(activity_);
  if (Failed(engine_->Register(notifySink_, sapi::IidTtsNotifySink, notifyKey_))) {
    notifyKey_ = 0;
  }

  // The engine's worker must be gone before the program's statics are.
  CloseAtExit(*this);

  if (sapi::ITTSAttributes* attributes = engine_->QueryAttributes()) {
    if (speed != 0) attributes->SpeedSet(static_cast<uint32_t>(speed));
    if (pitch != 0) attributes->PitchSet(static_cast<uint16_t>(pitch));
  }
  return true;
}

void Sapi4Engine::Speak(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return;
  std::string buffer(text.substr(0, TextBufferSize));
  if (buffer.size() == 1 && buffer[0] >= '0' && buffer[0] <= '9') buffer += '.';
  if (!engine_) return;
  if (State().keyStopsPlayback && CurrentHost().KeyAvailable()) return;
  buffer += '\0';
  if (activity_->pendingTexts > 0) CurrentHost().Pause(20);
  // The engine may have been closed by a message handled during the pause.
  if (!engine_) return;
  if (Failed(engine_->TextData(sapi::CharacterSet::Text, 0, buffer, bufSink_, sapi::IidTtsBufNotifySink))) {
    Stop();
  }
}

bool Sapi4Engine::Busy(int mode) {
  return mode == 1 ? activity_->pendingTexts > 0 : activity_->pendingTexts > 0 || activity_->audioPlaying;
}

void Sapi4Engine::Stop() {
  // Texts handed over whose sound has not started yet are silenced too: otherwise a key
  // pressed just after a text was queued would not stop it.
  if ((activity_->audioPlaying || activity_->pendingTexts > 0) && engine_) {
    CurrentHost().Pause(50);
    if (engine_) engine_->AudioReset();
    CurrentHost().Pause(150);
  }
  *activity_ = {};
}

void Sapi4Engine::Close() {
  if (fileDest_) {
    fileDest_->Flush();
    fileDest_.reset();
  }
  multimediaDest_.reset();
  enumerator_.reset();
  mode_.reset();
  bufSink_.reset();
  if (notifySink_) {
    if (engine_) engine_->UnRegister(notifyKey_);
    notifySink_.reset();
  }
  engine_.reset();
  *activity_ = {};
}

}  // namespace speech
