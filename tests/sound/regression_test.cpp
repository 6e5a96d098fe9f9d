// Every wave file that once broke the reader plays nothing harmful: each answers 0 or -1
// (or a device error) and returns.

#include <filesystem>

#include "sound_fixture.h"
#include "speech/wave.h"

namespace {

using RegressionTest = SoundTest;

TEST_F(RegressionTest, StoredInputsNeverCrashTheReader) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUELVAR_SOUND_REGRESSIONS)) {
    if (!entry.is_regular_file()) continue;
    const int result = speech::PlayWaveFile(entry.path().string());
    EXPECT_GE(result, -1) << entry.path();
    std::vector<uint8_t> bytes(static_cast<std::size_t>(entry.file_size()));
    if (FILE* f = std::fopen(entry.path().c_str(), "rb")) {
      bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
      std::fclose(f);
    }
    speech::PlayWaveBuffer(bytes);
    speech::WaveStop();
    ++count;
  }
  EXPECT_GT(count, 0u);
}

}  // namespace
