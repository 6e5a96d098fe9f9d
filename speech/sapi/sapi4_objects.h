#pragma once
// The direct text-to-speech objects the SAPI 4 adapter drives (enumerator, engine, audio
// destinations, notification interfaces), as abstract classes with the published method
// names. The installed engine provides them (speech/sapi/espeak_objects.h); tests give fakes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "speech/sapi/com.h"

namespace speech::sapi {

// One engine mode as the enumerator lists it. The adapter reads only gModeID.
struct TtsModeInfo {
  Guid gEngineID;
  Guid gModeID;
  std::string szModeName;  // UTF-8
  std::string szSpeaker;   // the engine's own name of the voice
  std::string language;    // for example "pt-br"
};

// The engine's news about its audio; called on the program's thread.
class ITTSNotifySink {
 public:
  virtual ~ITTSNotifySink() = default;
  virtual HResult AttribChanged(uint32_t attribute) = 0;
  virtual HResult AudioStart(uint64_t timeStamp) = 0;
  virtual HResult AudioStop(uint64_t timeStamp) = 0;
  virtual HResult Visual(uint64_t timeStamp) = 0;
};

// The engine's news about one text handed to TextData; called on the program's thread.
class ITTSBufNotifySink {
 public:
  virtual ~ITTSBufNotifySink() = default;
  virtual HResult TextDataDone(uint64_t timeStamp, uint32_t flags) = 0;
  virtual HResult TextDataStarted(uint64_t timeStamp) = 0;
  virtual HResult BookMark(uint64_t timeStamp, uint32_t mark) = 0;
  virtual HResult WordPosition(uint64_t timeStamp, uint32_t byteOffset) = 0;
};

// Where an engine's sound goes.
class IAudioDest {
 public:
  virtual ~IAudioDest() = default;
};
// The sound device.
class IAudioMultiMediaDevice : public IAudioDest {};
// A wave file.
class IAudioFile : public IAudioDest {
 public:
  // Names the file (flags 1: create it). Non-zero: the file cannot be written.
  virtual HResult Set(std::u16string_view fileName, uint32_t flags) = 0;
  virtual HResult Flush() = 0;
};

class ITTSAttributes {
 public:
  virtual ~ITTSAttributes() = default;
  virtual HResult SpeedSet(uint32_t wordsPerMinute) = 0;
  virtual HResult PitchSet(uint16_t pitchHz) = 0;
};

enum class CharacterSet : uint32_t { Text = 0 };

class ITTSCentral {
 public:
  virtual ~ITTSCentral() = default;
  virtual HResult Register(std::shared_ptr<ITTSNotifySink> sink, const Guid& interfaceId, uint32_t& key) = 0;
  virtual HResult UnRegister(uint32_t key) = 0;
  // Queues a text (its bytes with the terminating zero: Windows-1252) for speaking in the
  // background; the sink hears when its speaking starts and ends.
  virtual HResult TextData(CharacterSet characterSet, uint32_t flags, std::string_view textWithZero,
                           std::shared_ptr<ITTSBufNotifySink> sink, const Guid& interfaceId) = 0;
  // Silences the engine at once and drops every queued text.
  virtual HResult AudioReset() = 0;
  // The engine's attributes interface; nullptr when it has none.
  virtual ITTSAttributes* QueryAttributes() = 0;
};

class ITTSEnum {
 public:
  virtual ~ITTSEnum() = default;
  virtual HResult Reset() = 0;
  // Copies the next 'count' modes (the adapter asks for one); HrFalse when fewer remained,
  // and then a record not reached keeps what it held.
  virtual HResult Next(uint32_t count, TtsModeInfo* records, uint32_t* fetched) = 0;
  virtual HResult Select(const Guid& modeId, std::shared_ptr<ITTSCentral>& engine,
                         std::shared_ptr<IAudioDest> destination) = 0;
};

// How the adapter creates its objects; an empty result is a failed creation.
struct Sapi4Objects {
  std::function<std::shared_ptr<IAudioMultiMediaDevice>()> CreateMMAudioDest;
  std::function<std::shared_ptr<IAudioFile>()> CreateAudioDestFile;
  std::function<std::shared_ptr<ITTSEnum>()> CreateTTSEnumerator;
};

}  // namespace speech::sapi
