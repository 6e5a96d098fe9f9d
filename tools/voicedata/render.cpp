// espeak-ng rendering and sample conversion for the voice-data builder.

#include "tools/voicedata/render.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voicedata {
namespace {

int gRate = 0;
std::vector<int16_t>* gTarget = nullptr;
std::vector<int>* gPhonemeStarts = nullptr;

int Collect(short* samples, int count, espeak_EVENT* events) {
  if (samples && count > 0 && gTarget) gTarget->insert(gTarget->end(), samples, samples + count);
  for (espeak_EVENT* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
    if (e->type == espeakEVENT_PHONEME && gPhonemeStarts) gPhonemeStarts->push_back(e->audio_position);
  }
  return 0;
}

// 63-tap low-pass at 4.8 kHz for 22050 Hz input (Blackman window), unity gain at DC.
const std::vector<float>& LowPass() {
  static const std::vector<float> taps = [] {
    constexpr int Count = 63;
    constexpr double Cutoff = 4800.0 / 22050.0;  // cycles per sample
    std::vector<float> t(Count);
    double sum = 0;
    for (int i = 0; i < Count; ++i) {
      const double m = i - (Count - 1) / 2.0;
      const double sinc = m == 0 ? 2 * Cutoff : std::sin(2 * std::numbers::pi * Cutoff * m) / (std::numbers::pi * m);
      const double w = 0.42 - 0.5 * std::cos(2 * std::numbers::pi * i / (Count - 1)) +
                       0.08 * std::cos(4 * std::numbers::pi * i / (Count - 1));
      t[i] = static_cast<float>(sinc * w);
      sum += sinc * w;
    }
    for (float& v : t) v = static_cast<float>(v / sum);
    return t;
  }();
  return taps;
}

}  // namespace

}  // namespace voicedata

// espeak-ng makes a sound output for itself when it starts, whatever the output mode, and
// the sound library probes PulseAudio to do it, which leaves /tmp/pulse-* and
// ~/.config/pulse behind. We only take the samples back, so we give it no sound output:
// this definition, exported from the program, is found before the sound library's.
// espeak-ng never uses the output in synchronous retrieval.
extern "C" struct audio_object* create_audio_device_object(const char* /*device*/, const char* /*application*/,
                                                           const char* /*description*/) {
  return nullptr;
}

namespace voicedata {

bool StartRenderer() {
  gRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_PHONEME_EVENTS);
  if (gRate <= 0) return false;
  espeak_SetSynthCallback(Collect);
  return espeak_SetVoiceByName("pt-br") == EE_OK || espeak_SetVoiceByName("pt") == EE_OK;
}

void StopRenderer() { espeak_Terminate(); }

int RendererRate() { return gRate; }

std::vector<int16_t> Render(std::string_view text, const Voice& voice, std::vector<int>* phonemeStartsMs) {
  std::vector<int16_t> samples;
  gTarget = &samples;
  gPhonemeStarts = phonemeStartsMs;
  espeak_SetParameter(espeakRATE, voice.wordsPerMinute, 0);
  espeak_SetParameter(espeakPITCH, voice.pitch, 0);
  espeak_SetParameter(espeakRANGE, voice.range, 0);
  const std::string copy(text);
  espeak_Synth(copy.c_str(), copy.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | espeakPHONEMES, nullptr, nullptr);
  espeak_Synchronize();
  gTarget = nullptr;
  gPhonemeStarts = nullptr;
  return samples;
}

std::vector<float> TrimSilence(const std::vector<int16_t>& samples, int rate, float threshold, int marginMs) {
  const auto limit = static_cast<int>(threshold * 32768.0f);
  std::size_t first = 0;
  while (first < samples.size() && std::abs(samples[first]) < limit) ++first;
  std::size_t last = samples.size();
  while (last > first && std::abs(samples[last - 1]) < limit) --last;
  const std::size_t margin = static_cast<std::size_t>(rate) * static_cast<std::size_t>(marginMs) / 1000;
  first = first > margin ? first - margin : 0;
  last = std::min(samples.size(), last + margin);
  std::vector<float> out;
  out.reserve(last - first);
  for (std::size_t i = first; i < last; ++i) out.push_back(static_cast<float>(samples[i]) / 32768.0f);
  return out;
}

std::vector<float> HalveRate(const std::vector<float>& samples) {
  const std::vector<float>& taps = LowPass();
  const int half = static_cast<int>(taps.size()) / 2;
  const int n = static_cast<int>(samples.size());
  std::vector<float> out;
  out.reserve(samples.size() / 2 + 1);
  for (int i = 0; i < n; i += 2) {
    float acc = 0;
    for (int k = 0; k < static_cast<int>(taps.size()); ++k) {
      const int j = i + k - half;
      if (j >= 0 && j < n) acc += taps[k] * samples[j];
    }
    out.push_back(acc);
  }
  return out;
}

void FadeEnds(std::vector<float>& samples, int rate, int rampMs) {
  const std::size_t ramp = std::min(samples.size() / 2, static_cast<std::size_t>(rate * rampMs / 1000));
  for (std::size_t i = 0; i < ramp; ++i) {
    const auto g = static_cast<float>(0.5 - 0.5 * std::cos(std::numbers::pi * (i + 0.5) / ramp));
    samples[i] *= g;
    samples[samples.size() - 1 - i] *= g;
  }
}

float Peak(const std::vector<float>& samples) {
  float peak = 0;
  for (const float v : samples) peak = std::max(peak, std::abs(v));
  return peak;
}

std::vector<uint8_t> ToUnsigned8(const std::vector<float>& samples, float gain) {
  std::vector<uint8_t> out;
  out.reserve(samples.size());
  for (const float v : samples) {
    float x = v * gain;
    // Soft knee above 0.8 keeps the rare louder peak inside the 8-bit range.
    if (std::abs(x) > 0.8f) x = std::copysign(0.8f + 0.19f * std::tanh((std::abs(x) - 0.8f) / 0.19f), x);
    const long level = std::lround(128.0f + x * 127.0f);
    out.push_back(static_cast<uint8_t>(std::clamp(level, 1L, 255L)));
  }
  return out;
}

}  // namespace voicedata
