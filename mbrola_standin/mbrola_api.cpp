// The C entry points of the library over one process-wide synthesizer.
#include "mbrola_standin/mbrola.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "mbrola_standin/audio_format.h"
#include "mbrola_standin/engine.h"

namespace {

using mbrola_standin::Engine;

constexpr const char* Version = "3.3-quelvar formant";

Engine& TheEngine() {
  static Engine engine;
  return engine;
}

// Copies text into a caller's buffer, always terminated; returns the full length.
int CopyOut(const std::string& text, char* buffer, int size) {
  if (buffer != nullptr && size > 0) {
    const std::size_t count = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
  }
  return static_cast<int>(text.size());
}

std::string_view Text(const char* text) { return text == nullptr ? std::string_view() : std::string_view(text); }

}  // namespace

extern "C" {

int init_MBR(const char* databasePath) { return TheEngine().Open(Text(databasePath), {}, {}); }

int init_rename_MBR(const char* databasePath, const char* rename, const char* clone) {
  return TheEngine().Open(Text(databasePath), Text(rename), Text(clone));
}

int write_MBR(const char* text) { return TheEngine().Write(Text(text)); }

int flush_MBR(void) { return TheEngine().Flush(); }

int read_MBR(short* buffer, int wanted) { return TheEngine().Read(buffer, wanted); }

int readtype_MBR(void* buffer, int wanted, AudioType type) {
  Engine& engine = TheEngine();
  if (type != LIN16 && type != LIN8 && type != ULAW && type != ALAW) {
    return engine.Refuse(MBR_ERROR_BAD_ARGUMENT, "unknown sample format");
  }
  if (type == LIN16) return engine.Read(static_cast<short*>(buffer), wanted);
  if (buffer == nullptr && wanted > 0) return engine.Refuse(MBR_ERROR_BAD_ARGUMENT, "no sample buffer");
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::int16_t chunk[1024];
  int total = 0;
  while (total < wanted) {
    const int got = engine.Read(chunk, std::min(wanted - total, 1024));
    if (got < 0) return total > 0 ? total : got;
    if (got == 0) break;
    mbrola_standin::EncodeSamples(chunk, got, static_cast<mbrola_standin::SampleFormat>(type), bytes + total);
    total += got;
  }
  return total;
}

void close_MBR(void) { TheEngine().Close(); }

void reset_MBR(void) { TheEngine().Reset(); }

int lastError_MBR(void) { return TheEngine().LastError(); }

int lastErrorStr_MBR(char* buffer, int size) { return CopyOut(TheEngine().LastErrorText(), buffer, size); }

void setNoError_MBR(int noError) { TheEngine().SetNoError(noError != 0); }

int getNoError_MBR(void) { return TheEngine().NoError() ? 1 : 0; }

void setFreq_MBR(int frequency) { TheEngine().SetRate(frequency); }

int getFreq_MBR(void) { return TheEngine().Rate(); }

void setVolumeRatio_MBR(float ratio) {
  if (ratio >= 0 && ratio <= 64) TheEngine().SetVolume(ratio);
}

float getVolumeRatio_MBR(void) { return TheEngine().Volume(); }

int getVersion_MBR(char* buffer, int size) { return CopyOut(Version, buffer, size); }

int getDatabaseInfo_MBR(char* buffer, int size, int index) {
  const Engine& engine = TheEngine();
  const auto& voice = engine.CurrentVoice();
  std::string text;
  if (engine.IsOpen()) {
    if (index == 0) {
      text = voice.name;
    } else if (index == 1) {
      text = std::to_string(voice.sampleRate) + " Hz";
    } else if (index >= 2 && static_cast<std::size_t>(index - 2) < voice.info.size()) {
      text = voice.info[static_cast<std::size_t>(index - 2)];
    }
  }
  return CopyOut(text, buffer, size);
}

void setParser_MBR(Parser* parser) { TheEngine().SetParser(parser); }

Phone* init_Phone(const char* name, float durationMs) {
  auto* phone = new Phone;
  phone->name = std::string(Text(name));
  phone->durationMs = durationMs;
  return phone;
}

void reset_Phone(Phone* phone) {
  if (phone != nullptr) phone->points.clear();
}

void close_Phone(Phone* phone) { delete phone; }

void appendf0_Phone(Phone* phone, float position, float pitch) {
  if (phone != nullptr) phone->points.push_back(mbrola_standin::PitchPoint{position, pitch});
}

}  // extern "C"
