#pragma once
// The speech tests' fixture: a fake host over the headless backend, null wave device, a private configuration
// folder with letters and diphone folders, recordings and diphone databases written by the
// test, and program exits turned into exceptions.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>
#include "fake_host.h"
#include "scratch.h"

// A unit of a fixture database: its name and samples.
using FixtureUnit = std::pair<std::string, std::vector<uint8_t>>;

class SpeechTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void WriteIni(const std::string& content);             // in the Windows directory
  void WriteStartFolderIni(const std::string& content);  // in StartFolder
  void WriteFile(const std::string& path, const std::string& bytes);
  // A canonical 11025 Hz 8-bit mono recording in the letters folder.
  void WriteRecording(const std::string& name, const std::vector<uint8_t>& samples);
  // A recording of 'length' samples of one value, remembered as that sound's tag.
  void WriteTaggedRecording(const std::string& name, uint8_t tag, std::size_t length = 200);
  // name.IND and name.DIF in the diphone folder, sorted as the index must be.
  void WriteDatabase(const std::string& name, const std::vector<FixtureUnit>& units);
  // An INI naming the fixture folders and database for rate 3 (extra lines appended).
  std::string FixtureIni(const std::string& extra = "") const;

  // Every block written to the null device, as bytes.
  std::vector<std::vector<uint8_t>> PlayedBlocks() const;
  // The played sounds in order, each block read as runs of tagged values; a click shows as
  // "click", an untagged run as "?" + value.
  std::vector<std::string> PlayedSounds() const;
  void ClearPlayed();
  void ScriptKeys(const std::string& script);

  FakeHost host_;
  std::string root_, configDir_, startDir_, lettersDir_, diphoneDir_;
  std::map<uint8_t, std::string> tags_;
};
