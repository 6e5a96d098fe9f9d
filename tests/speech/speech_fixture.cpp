#include "speech_fixture.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/audio/wave_out.h"
#include "platform/backends/headless/headless.h"
#include "platform/core/backend.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/speak.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/diphone_index.h"
#include "text/wave.h"

void SpeechTest::SetUp() {
  root_ = MakeTestFolder("speech");
  ASSERT_FALSE(root_.empty());
  configDir_ = root_ + "/windows";
  startDir_ = root_ + "/start";
  lettersDir_ = root_ + "/letras";
  diphoneDir_ = root_ + "/difones";
  for (const auto& d : {configDir_, startDir_, lettersDir_, diphoneDir_}) std::filesystem::create_directories(d);
  platform::SetWindowsDirectory(configDir_);
  platform::SetDataRoot(root_ + "/data");
  host_.Start();

  speech::ResetSpeech();
  speech::State().startFolder = startDir_;
  speech::State().lettersFolder = lettersDir_ + "/";
  speech::State().punctuationNames = false;
  speech::SetDiphoneSettings({"FIX", 0, 0, 0});
  speech::AllocateDiphoneBuffer();
}

void SpeechTest::TearDown() {
  speech::FreeSpeechData();
  speech::ResetSpeech();
  for (auto kind : {speech::EngineKind::Mbrola, speech::EngineKind::Sapi5, speech::EngineKind::Sapi5LateBound,
                    speech::EngineKind::Sapi4}) {
    speech::SetEngine(kind, nullptr);
  }
  host_.Stop();
  std::filesystem::remove_all(root_);
}

void SpeechTest::WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void SpeechTest::WriteIni(const std::string& content) { WriteFile(configDir_ + "/TAMIRE.INI", content); }

void SpeechTest::WriteStartFolderIni(const std::string& content) { WriteFile(startDir_ + "/TAMIRE.INI", content); }

void SpeechTest::WriteRecording(const std::string& name, const std::vector<uint8_t>& samples) {
  const std::vector<uint8_t> image = text::WaveImage(samples, 11025, 8, 1);
  WriteFile(lettersDir_ + "/" + name + ".wav", std::string(image.begin(), image.end()));
}

void SpeechTest::WriteTaggedRecording(const std::string& name, uint8_t tag, std::size_t length) {
  WriteRecording(name, std::vector<uint8_t>(length, tag));
  tags_[tag] = name;
}

void SpeechTest::WriteDatabase(const std::string& name, const std::vector<FixtureUnit>& units) {
  std::vector<text::DiphoneUnit> layout;
  for (const auto& [unit, samples] : units) layout.push_back({unit, samples});
  const text::DiphoneDatabaseImages database = text::LayOutDiphoneDatabase(layout);
  WriteFile(diphoneDir_ + "/" + name + ".IND", std::string(database.index.begin(), database.index.end()));
  WriteFile(diphoneDir_ + "/" + name + ".DIF", std::string(database.samples.begin(), database.samples.end()));
}

std::string SpeechTest::FixtureIni(const std::string& extra) const {
  return "[TRADUTOR]\nDIRLETRAS=" + lettersDir_ + "\nDIRDIFONES=" + diphoneDir_ + "\n[SINTETIZADOR]\nDIFONES3=FIX\n" +
         extra;
}

std::vector<std::vector<uint8_t>> SpeechTest::PlayedBlocks() const {
  std::vector<std::vector<uint8_t>> blocks;
  for (const auto& block : platform::NullWaveOutLog().blocks) blocks.push_back(block.bytes);
  return blocks;
}

std::vector<std::string> SpeechTest::PlayedSounds() const {
  std::vector<std::string> sounds;
  for (const auto& block : PlayedBlocks()) {
    const bool click =
        block.size() == 256 && std::all_of(block.begin() + 64, block.end(), [](uint8_t b) { return b == 128; });
    if (click && !tags_.contains(block[0])) {
      sounds.push_back("click");
      continue;
    }
    // Every block ends on the silence level; tagged runs are read up to there.
    for (std::size_t i = 0; i < block.size();) {
      std::size_t j = i;
      while (j < block.size() && block[j] == block[i]) ++j;
      if (block[i] != 128) {
        const auto tag = tags_.find(block[i]);
        sounds.push_back(tag != tags_.end() ? tag->second : "?" + std::to_string(block[i]));
      }
      i = j;
    }
  }
  return sounds;
}

void SpeechTest::ClearPlayed() { platform::ClearNullWaveOutLog(); }

void SpeechTest::ScriptKeys(const std::string& script) {
  std::vector<platform::ScriptItem> items;
  std::string error;
  ASSERT_TRUE(platform::ParseKeyScript(script, items, error)) << error;
  uint64_t after = 0;
  for (const platform::ScriptItem& item : items) {
    if (item.isWait) {
      after += item.waitMs;
    } else if (item.key.character) {
      host_.Type(std::string(1, static_cast<char>(*item.key.character)), after);
    }
  }
}
