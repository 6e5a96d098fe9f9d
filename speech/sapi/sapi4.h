#pragma once
// The SAPI 4 adapter: the engine dispatch's five operations over the direct text-to-speech
// objects (speech/sapi/sapi4_objects.h), with the two notification sinks that keep count
// of texts being spoken and of audio playing.

#include <cstdint>
#include <string>
#include <string_view>

#include "speech/sapi/sapi4_objects.h"

namespace speech {

// Opens voice number 'voice' (1-based, 0 taken as 1) with speed and pitch (0: the
// engine's own); outputFile empty is the sound device. False leaves nothing open.
bool Sapi4Open(int voice, int speed, int pitch, const std::string& outputFile);
void Sapi4Close();
// Hands a text (Windows-1252) to the engine; blank texts and texts while a key waits are
// not spoken.
void Sapi4Speak(std::string_view text);
// textOnly: texts are still being spoken; otherwise also audio still playing.
bool Sapi4Busy(bool textOnly);
// Silences the engine and forgets every pending text.
void Sapi4Stop();

// The objects the adapter creates; by default those of the installed engine.
void SetSapi4Objects(sapi::Sapi4Objects objects);
sapi::Sapi4Objects InstalledSapi4Objects();

class TTSNotifySink final : public sapi::ITTSNotifySink {
 public:
  sapi::HResult AttribChanged(uint32_t attribute) override;
  sapi::HResult AudioStart(uint64_t timeStamp) override;
  sapi::HResult AudioStop(uint64_t timeStamp) override;
  sapi::HResult Visual(uint64_t timeStamp) override;
};

class TTSBufNotifySink final : public sapi::ITTSBufNotifySink {
 public:
  sapi::HResult TextDataDone(uint64_t timeStamp, uint32_t flags) override;
  sapi::HResult TextDataStarted(uint64_t timeStamp) override;
  sapi::HResult BookMark(uint64_t timeStamp, uint32_t mark) override;
  sapi::HResult WordPosition(uint64_t timeStamp, uint32_t byteOffset) override;
};

}  // namespace speech
