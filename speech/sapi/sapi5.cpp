#include "speech/sapi/sapi5.h"
#include "platform/audio/sound_output.h"
#include "platform/services/process.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>

#include "platform/core/win.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/host.h"
#include "speech/state.h"
#include "text/cp1252.h"

namespace speech {
namespace {

using sapi::Failed;

using Clock = std::chrono::steady_clock;

// The longest a text may keep the voice busy: an engine that never reports the end (as
// speech-dispatcher without a sound device does) must not keep the game waiting. Generous:
// a slow voice says about four characters a second.
Clock::duration LongestSpeech(std::size_t characters) {
  return std::min<Clock::duration>(std::chrono::seconds(5) + std::chrono::milliseconds(250) * characters,
                                   std::chrono::minutes(5));
}

std::u16string ToUtf16(std::string_view cp1252) {
  std::u16string text;
  for (const char c : cp1252) text += static_cast<char16_t>(text::Cp1252ToCodePoint(static_cast<uint8_t>(c)));
  return text;
}

}  // namespace

void Sapi5Engine::SetObjects(sapi::Sapi5Objects objects) {
  if (objects.CreateSpVoice || objects.CreateSpFileStream)
    objects_ = std::move(objects);
  else
    objects_.reset();
}

bool Sapi5Engine::Open(int voice, int rate, int, const std::string& outputFile) {
  Close();
  opening_ = {voice, rate, outputFile};
  reopened_ = false;
  busyUntil_ = {};
  auto created = Objects().CreateSpVoice ? Objects().CreateSpVoice() : nullptr;
  if (!created) return false;
  voice_.emplace(std::move(created));
  voice_->EventInterests(sapi::AllVoiceEvents);

  std::shared_ptr<sapi::ISpeechObjectTokens> tokens;
  if (Failed(voice_->GetVoices(u"", u"", tokens)) || !tokens || tokens->Count() < 1) return Fail();
  if (voice < 1 || voice > tokens->Count()) {
    voice = 1;
    rate = 0;
  }
  std::shared_ptr<sapi::ISpeechObjectToken> token;
  if (Failed(tokens->Item(voice - 1, token)) || !token) return Fail();
  const sapi::HResult chosen =
      binding_ == Binding::Early ? voice_->Voice(token) : voice_->PutPropertyByRef("Voice", token);
  if (Failed(chosen)) return Fail();

  voice_->Rate(rate);  // an engine that refuses the rate keeps its own

  if (Failed(voice_->SpeakCompleteEvent(speakDoneEvent_)) || !speakDoneEvent_) return Fail();
  // The connection's thread must be gone before the program's statics are.
  CloseAtExit(*this);

  if (!outputFile.empty()) {
    auto stream = Objects().CreateSpFileStream ? Objects().CreateSpFileStream() : nullptr;
    if (!stream) return Fail();
    fileStream_.emplace(std::move(stream));
    if (Failed(fileStream_->Open(ToUtf16(outputFile), sapi::StreamCreateForWrite, true))) return Fail();
    const sapi::HResult routed = binding_ == Binding::Early
                                     ? voice_->AudioOutputStream(fileStream_->Stream())
                                     : voice_->PutPropertyByRef("AudioOutputStream", fileStream_->Stream());
    if (Failed(routed)) return Fail();
  }
  return true;
}

void Sapi5Engine::Speak(std::string_view text) {
  if (!voice_) return;
  const std::u16string utf16 = text.empty() ? std::u16string(u" ") : ToUtf16(text);
  if (!Failed(voice_->Speak(utf16, sapi::SpeakAsync | sapi::SpeakIsNotXml))) {
    busyUntil_ = Clock::now() + LongestSpeech(utf16.size());
    return;
  }
  platform::MessageBeep();
  // The engine went away or stopped answering: it is started once more, and if that
  // does not help, the built-in voice speaks from here on.
  if (!reopened_) {
    const Opening again = opening_;
    Fail();
    const bool opened = Open(again.voice, again.rate, 0, again.outputFile);
    reopened_ = true;
    if (opened && !Failed(voice_->Speak(utf16, sapi::SpeakAsync | sapi::SpeakIsNotXml))) {
      busyUntil_ = Clock::now() + LongestSpeech(utf16.size());
      return;
    }
  }
  GiveUp("does not answer");
}

bool Sapi5Engine::Busy(int) {
  if (!voice_ || !speakDoneEvent_) return false;
  if (speakDoneEvent_->Wait(std::chrono::milliseconds(20))) return false;
  if (busyUntil_ != Clock::time_point{} && Clock::now() >= busyUntil_) {
    // An engine that never reports the end of speech would make every line wait this
    // long: it is as good as one that does not answer.
    voice_->Speak(u" ", sapi::SpeakPurgeBeforeSpeak);
    GiveUp("never reported the end of its speech");
    return false;
  }
  CurrentHost().Wake();
  return true;
}

bool Sapi5Engine::Purge() {
  if (!voice_) return false;
  const bool failed = Failed(voice_->Speak(u" ", sapi::SpeakPurgeBeforeSpeak));
  CurrentHost().Pause(50);
  return failed;
}

void Sapi5Engine::Close() {
  if (!voice_) return;
  // An engine that never reports the end (speech-dispatcher without a sound device
  // does that) must not keep the program from ending: give it half a minute.
  for (int round = 0; round < 100 && Busy(0); ++round) CurrentHost().Pause(300);
  if (fileStream_) {
    fileStream_->Close();
    fileStream_.reset();
  }
  speakDoneEvent_ = nullptr;
  voice_.reset();
}

void Sapi5Engine::GiveUp(const std::string& why) {
  Fail();
  platform::TellUser("quelvar: the speech engine " + why + "; the built-in voice speaks from now on");
  State().engineActive = false;
}

bool Sapi5Engine::Fail() {
  if (fileStream_) fileStream_->Close();
  fileStream_.reset();
  speakDoneEvent_ = nullptr;
  voice_.reset();
  return false;
}

const sapi::Sapi5Objects& Sapi5Engine::Objects() {
  if (!objects_) objects_ = InstalledSapi5Objects(binding_ == Binding::Late);
  return *objects_;
}

}  // namespace speech
