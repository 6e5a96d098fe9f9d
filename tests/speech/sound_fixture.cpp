#include "sound_fixture.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/engine.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/wave.h"

void PlayWaveImage(std::span<const uint8_t> image) {
  const auto wave = text::ParseWaveImage(image);
  if (!wave) return;
  speech::PlayPcm({wave->data, {wave->format.sampleRate, wave->format.bitsPerSample, wave->format.channels}});
}

std::vector<uint8_t> WaveImage(uint32_t rate, uint16_t bits, uint16_t channels, const std::vector<uint8_t>& data) {
  return text::WaveImage(data, rate, bits, channels);
}

void SoundTest::SetUp() {
  dir_ = MakeTestFolder("sound");
  ASSERT_FALSE(dir_.empty());
  platform::SetWindowsDirectory(dir_);
  host_.Start();
  speech::ResetSpeech();
  speech::State().lettersFolder = dir_ + "/";
  speech::State().soundFolder = dir_ + "/";
}

void SoundTest::TearDown() {
  speech::State().keyStopsPlayback = false;
  speech::WaveStop();
  host_.Stop();
  platform::ClearNullWaveOutLog();
  std::filesystem::remove_all(dir_);
}

platform::HeadlessBackend& SoundTest::Backend() {
  return static_cast<platform::HeadlessBackend&>(platform::CurrentBackend());
}

std::string SoundTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = dir_ + "/" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string SoundTest::WriteWave(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels,
                                 const std::vector<uint8_t>& data) {
  return WriteFile(name, WaveImage(rate, bits, channels, data));
}

void SoundTest::WriteWord(const std::string& name, uint8_t value, std::size_t samples) {
  WriteWave(name + ".wav", 11025, 8, 1, std::vector<uint8_t>(samples, value));
  words_[value] = name;
}

void SoundTest::PressKey(char letter) { host_.Type(std::string(1, letter)); }

std::size_t SoundTest::BytesPlayed() {
  std::size_t total = 0;
  for (const auto& block : Blocks()) total += block.bytes.size();
  return total;
}

std::vector<std::string> SoundTest::WordsHeard() {
  std::vector<std::string> heard;
  int last = -1;
  for (const auto& block : Blocks()) {
    for (const uint8_t value : block.bytes) {
      if (value == 128) continue;
      if (value != last) {
        const auto it = words_.find(value);
        heard.push_back(it == words_.end() ? "?" : it->second);
      }
      last = value;
    }
    last = -1;  // the same word again in the next block is heard again
  }
  return heard;
}
