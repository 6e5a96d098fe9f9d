#pragma once
// Rendering with espeak-ng (pt-br) and the sample work that turns its output into the
// suite's 11025 Hz unsigned 8-bit sound: trimming, levelling, low-pass and decimation.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace voicedata {

inline constexpr int OutputRate = 11025;

struct Voice {
  int wordsPerMinute = 175;
  int pitch = 50;  // espeak-ng 0..100
  int range = 50;  // pitch range 0..100; small for units so they join without jumps
};

// Starts espeak-ng with the Brazilian voice; false when the library or the voice is missing.
[[nodiscard]] bool StartRenderer();
void StopRenderer();
// Renders text (plain Portuguese, or phonemes inside "[[...]]") at 22050 Hz, 16-bit;
// the start of every phoneme (in ms) is added to phonemeStartsMs when given.
std::vector<int16_t> Render(std::string_view text, const Voice& voice, std::vector<int>* phonemeStartsMs = nullptr);
int RendererRate();

// Drops the quiet start and end (below threshold of full scale), keeping marginMs around.
std::vector<float> TrimSilence(const std::vector<int16_t>& samples, int rate, float threshold, int marginMs);
// Low-pass (windowed sinc below 5 kHz) and decimation by two: 22050 Hz -> 11025 Hz.
std::vector<float> HalveRate(const std::vector<float>& samples);
// Short raised-cosine ramps at both ends so joined pieces do not click.
void FadeEnds(std::vector<float>& samples, int rate, int rampMs);
// Scales by gain and converts to unsigned 8-bit (128 is silence), with TPDF-free rounding
// and a soft limit so nothing clips.
std::vector<uint8_t> ToUnsigned8(const std::vector<float>& samples, float gain);
float Peak(const std::vector<float>& samples);

}  // namespace voicedata
