// Every wave file that once broke the reader has one known answer: what PlayWaveFile
// returns, and whether any sound reached the device, from the file and from memory alike.

#include <filesystem>
#include <map>

#include "platform/services/files.h"
#include "sound_fixture.h"
#include "speech/wave.h"
#include "text/files.h"

namespace {

using RegressionTest = SoundTest;

struct Expected {
  int result;  // of PlayWaveFile: 0 played, -1 malformed, else the device's open error
  bool heard;  // some samples reached the device
};

// A file added to the folder without an entry here fails the test, so that its answer is
// decided once, by a person.
const std::map<std::string, Expected> Answers = {
    {"empty.wav", {-1, false}},
    {"riff_only.wav", {-1, false}},
    {"truncated_header.wav", {-1, false}},
    {"chunk_past_end.wav", {-1, false}},                         // a chunk claims 2 GiB: no "data" is found
    {"huge_fmt_size.wav", {-1, false}},                          // "fmt " claims 4 GiB
    {"huge_data_size.wav", {-1, true}},                          // the samples present play; the rest is missing
    {"stereo16_odd_length.wav", {0, true}},                      // the odd last byte is left out
    {"odd_bits.wav", {platform::WAVERR_BADFORMAT, false}},       // 12 bits a sample
    {"zero_channels.wav", {platform::WAVERR_BADFORMAT, false}},  // no channels
};

TEST_F(RegressionTest, EachStoredInputHasItsKnownAnswer) {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUELVAR_SOUND_REGRESSIONS)) {
    if (!entry.is_regular_file()) continue;
    const std::string name = entry.path().filename().string();
    const auto answer = Answers.find(name);
    ASSERT_NE(answer, Answers.end()) << name << " has no known answer";
    ++count;

    platform::ClearNullWaveOutLog();
    EXPECT_EQ(speech::PlayWaveFile(entry.path().string()), answer->second.result) << name;
    EXPECT_EQ(BytesPlayed() > 0, answer->second.heard) << name << " from the file";

    platform::ClearNullWaveOutLog();
    const std::string bytes = text::ReadWholeFile(entry.path().string()).value_or("");
    PlayWaveImage({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    speech::WaveStop();
    EXPECT_EQ(BytesPlayed() > 0, answer->second.heard) << name << " from memory";
  }
  EXPECT_EQ(count, Answers.size());
}

}  // namespace
