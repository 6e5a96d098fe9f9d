// Cascade/parallel formant generator: frame parameters and a pitch in, float samples out.
#include "mbrola_standin/formant_synth.h"

#include <algorithm>
#include <cmath>

namespace mbrola_standin {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr float NasalPoleHz = 270;
constexpr float NasalBandwidthHz = 100;

}  // namespace

FormantSynth::FormantSynth(double designRate, SourceShape shape) : designRate_(designRate), shape_(shape) {}

void FormantSynth::Reset() { *this = FormantSynth(designRate_, shape_); }

void FormantSynth::Design(Resonator& r, float hz, float bandwidth, bool unityPeak) const {
  const double nyquist = designRate_ / 2;
  const double f = std::clamp<double>(hz, 20, nyquist * 0.92);
  const double bw = std::max<double>(bandwidth, 10);
  const double radius = std::exp(-Pi * bw / designRate_);
  const double theta = 2 * Pi * f / designRate_;
  const double b = 2 * radius * std::cos(theta);
  const double c = -radius * radius;
  r.b = static_cast<float>(b);
  r.c = static_cast<float>(c);
  // Cascade resonators pass DC unchanged so that the chain keeps the vowel's natural
  // spectral balance; parallel ones peak at 1 so that A2..A6 set the noise levels.
  r.a = static_cast<float>(unityPeak ? (1 - radius) * std::sqrt(1 - 2 * radius * std::cos(2 * theta) + radius * radius)
                                     : 1 - b - c);
}

void FormantSynth::DesignZero(AntiResonator& r, float hz, float bandwidth) const {
  Resonator pole;
  Design(pole, hz, bandwidth, false);
  r.a = 1 / pole.a;
  r.b = -pole.b / pole.a;
  r.c = -pole.c / pole.a;
}

void FormantSynth::BeginFrame(const FrameParams& from, const FrameParams& to, int length) {
  Design(nasalPole_, NasalPoleHz, NasalBandwidthHz, false);
  DesignZero(nasalZero_, from.nasalZeroHz > 0 ? from.nasalZeroHz : NasalPoleHz, NasalBandwidthHz);
  for (int i = 0; i < 6; ++i) Design(cascade_[i], from.formantHz[i], from.bandwidthHz[i], false);
  const float steps = static_cast<float>(std::max(length, 1));
  const float start[3] = {from.voicing, from.aspiration, from.frication};
  const float end[3] = {to.voicing, to.aspiration, to.frication};
  for (int i = 0; i < 3; ++i) {
    amp_[i] = start[i];
    ampStep_[i] = (end[i] - start[i]) / steps;
  }
  const bool wasOn = parallelOn_;
  parallelOn_ = from.frication > 0 || to.frication > 0;
  if (parallelOn_) {
    for (int i = 0; i < 5; ++i) {
      Design(parallel_[i], from.formantHz[i + 1], from.bandwidthHz[i + 1], true);
      gainNow_[i] = from.parallel[i];
      gainStep_[i] = (to.parallel[i] - from.parallel[i]) / steps;
    }
    gainNow_[5] = from.bypass;
    gainStep_[5] = (to.bypass - from.bypass) / steps;
  } else if (wasOn) {
    for (Resonator& r : parallel_) r.y1 = r.y2 = 0;
  }
}

float FormantSynth::Noise() {
  noiseState_ ^= noiseState_ << 13;
  noiseState_ ^= noiseState_ >> 17;
  noiseState_ ^= noiseState_ << 5;
  return static_cast<float>(static_cast<std::int32_t>(noiseState_)) * (1.0f / 2147483648.0f);
}

float FormantSynth::Step(double pitchSamples) {
  if (phase_ >= period_) {
    phase_ = period_ > 0 ? phase_ - period_ : 0;
    period_ = std::max(pitchSamples, 2.0);
    open_ = shape_.openQuotient * period_;
    if (phase_ >= period_) phase_ = 0;
  }
  const bool open = phase_ < open_;
  float glottal = 0;
  if (open) {
    const float x = static_cast<float>(phase_ / open_);
    glottal = 2 * x - 3 * x * x;
  }
  const float tilt = static_cast<float>(shape_.tilt);
  tiltState_ = (1 - tilt) * glottal + tilt * tiltState_;
  // Noise is weaker while the glottis is closed, as breath through a voiced source is.
  const float noiseScale = amp_[0] > 0 && !open ? 0.5f : 1.0f;
  const float noise = (Noise() + Noise()) * 0.5f;

  float sample = amp_[0] * tiltState_ + amp_[1] * noise * noiseScale;
  sample = nasalZero_.Run(nasalPole_.Run(sample));
  for (Resonator& r : cascade_) sample = r.Run(sample);

  if (parallelOn_) {
    const float fric = amp_[2] * Noise() * noiseScale;
    float sum = gainNow_[5] * fric;
    float sign = 1;
    for (int i = 0; i < 5; ++i) {
      sum += sign * gainNow_[i] * parallel_[i].Run(fric);
      sign = -sign;
      gainNow_[i] += gainStep_[i];
    }
    gainNow_[5] += gainStep_[5];
    sample += sum;
  }
  for (int i = 0; i < 3; ++i) amp_[i] += ampStep_[i];
  phase_ += 1;
  return sample;
}

}  // namespace mbrola_standin
