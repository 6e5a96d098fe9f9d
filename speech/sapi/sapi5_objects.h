#pragma once
// The speech automation objects the SAPI 5 adapters drive (voice, voice tokens, file
// stream), as abstract classes with the published member names, and the wrappers TSpVoice
// and TSpFileStream the adapters use. The installed engine provides them
// (speech/sapi/speechd_objects.h); tests give fakes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "speech/sapi/com.h"

namespace speech::sapi {

// Speak flags.
enum : int32_t { SpeakAsync = 1, SpeakPurgeBeforeSpeak = 2, SpeakIsNotXml = 16 };
// Every voice event.
inline constexpr int32_t AllVoiceEvents = 33790;
// File stream mode: create for writing.
inline constexpr int32_t StreamCreateForWrite = 3;

class ISpeechObjectToken {
 public:
  virtual ~ISpeechObjectToken() = default;
  virtual std::string GetDescription() = 0;  // UTF-8
};

class ISpeechObjectTokens {
 public:
  virtual ~ISpeechObjectTokens() = default;
  virtual int32_t Count() = 0;
  virtual HResult Item(int32_t index, std::shared_ptr<ISpeechObjectToken>& token) = 0;
};

class ISpeechFileStream {
 public:
  virtual ~ISpeechFileStream() = default;
  virtual HResult Open(std::u16string_view fileName, int32_t mode, bool doEvents) = 0;
  virtual HResult Close() = 0;
};

// A value handed to a property set by name.
using PropertyValue = std::variant<std::shared_ptr<ISpeechObjectToken>, std::shared_ptr<ISpeechFileStream>>;

class ISpeechVoice {
 public:
  virtual ~ISpeechVoice() = default;
  virtual HResult SetEventInterests(int32_t interests) = 0;
  virtual HResult GetVoices(std::u16string_view requiredAttributes, std::u16string_view optionalAttributes,
                            std::shared_ptr<ISpeechObjectTokens>& tokens) = 0;
  virtual HResult SetVoice(std::shared_ptr<ISpeechObjectToken> token) = 0;
  virtual HResult SetRate(int32_t rate) = 0;
  virtual HResult SetAudioOutputStream(std::shared_ptr<ISpeechFileStream> stream) = 0;
  // The handle that is set while the voice has nothing left to speak.
  virtual HResult SpeakCompleteEvent(WaitHandle*& handle) = 0;
  virtual HResult Speak(std::u16string_view text, int32_t flags, uint32_t* streamNumber) = 0;
  // The late-bound way in: a property put-by-reference of a name ("Voice",
  // "AudioOutputStream"), looked up at run time.
  virtual HResult PutPropertyByRef(std::string_view name, const PropertyValue& value) = 0;
};

struct Sapi5Objects {
  std::function<std::shared_ptr<ISpeechVoice>()> CreateSpVoice;
  std::function<std::shared_ptr<ISpeechFileStream>()> CreateSpFileStream;
};

// The wrapper of a voice, with its properties as setters.
class TSpVoice {
 public:
  explicit TSpVoice(std::shared_ptr<ISpeechVoice> voice) : voice_(std::move(voice)) {}
  HResult EventInterests(int32_t interests) { return voice_->SetEventInterests(interests); }
  HResult GetVoices(std::u16string_view required, std::u16string_view optional,
                    std::shared_ptr<ISpeechObjectTokens>& tokens) {
    return voice_->GetVoices(required, optional, tokens);
  }
  HResult Voice(std::shared_ptr<ISpeechObjectToken> token) { return voice_->SetVoice(std::move(token)); }
  HResult Rate(int32_t rate) { return voice_->SetRate(rate); }
  HResult AudioOutputStream(std::shared_ptr<ISpeechFileStream> stream) {
    return voice_->SetAudioOutputStream(std::move(stream));
  }
  HResult SpeakCompleteEvent(WaitHandle*& handle) { return voice_->SpeakCompleteEvent(handle); }
  HResult Speak(std::u16string_view text, int32_t flags) { return voice_->Speak(text, flags, nullptr); }
  HResult PutPropertyByRef(std::string_view name, const PropertyValue& value) {
    return voice_->PutPropertyByRef(name, value);
  }

 private:
  std::shared_ptr<ISpeechVoice> voice_;
};

// The wrapper of a file stream.
class TSpFileStream {
 public:
  explicit TSpFileStream(std::shared_ptr<ISpeechFileStream> stream) : stream_(std::move(stream)) {}
  HResult Open(std::u16string_view fileName, int32_t mode, bool doEvents) {
    return stream_->Open(fileName, mode, doEvents);
  }
  HResult Close() { return stream_->Close(); }
  const std::shared_ptr<ISpeechFileStream>& Stream() const { return stream_; }

 private:
  std::shared_ptr<ISpeechFileStream> stream_;
};

}  // namespace speech::sapi
