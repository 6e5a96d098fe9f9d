#pragma once
// The sound tests' fixture: a fake host over the headless backend, the null wave device, a private folder
// for fixture recordings, and program exits turned into exceptions.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "fake_host.h"
#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "scratch.h"

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::HeadlessBackend& Backend();
  // A PCM wave file in the fixture folder; returns its path.
  std::string WriteWave(const std::string& name, uint32_t rate, uint16_t bits, uint16_t channels,
                        const std::vector<uint8_t>& data);
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes);
  // A word recording: the 44-byte header and 'samples' samples of one value.
  void WriteWord(const std::string& name, uint8_t value, std::size_t samples = 100);
  // A key press, arriving now.
  void PressKey(char letter);

  const std::vector<platform::NullWaveBlock>& Blocks() { return platform::NullWaveOutLog().blocks; }
  std::size_t BytesPlayed();
  // The recordings heard, in order, from the value each word file holds.
  std::vector<std::string> WordsHeard();

  FakeHost host_;
  std::string dir_;
  std::map<uint8_t, std::string> words_;
};

// Plays a wave file's image from memory, as a file read whole: an image that is not a
// wave file plays nothing, one cut short what it holds.
void PlayWaveImage(std::span<const uint8_t> image);

// A wave image in memory: header and data.
std::vector<uint8_t> WaveImage(uint32_t rate, uint16_t bits, uint16_t channels, const std::vector<uint8_t>& data);
