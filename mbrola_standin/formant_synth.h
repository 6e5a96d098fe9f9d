// Cascade/parallel formant generator: frame parameters and a pitch in, float samples out.
#pragma once

#include <cstdint>

namespace mbrola_standin {

// Parameters at one instant. Frequencies in hertz at the voice's own sample rate;
// amplitudes linear (1.0 = a full vowel).
struct FrameParams {
  float formantHz[6] = {};  // F1..F6; F5 and F6 come from the voice
  float bandwidthHz[6] = {};
  float nasalZeroHz = 270;  // equal to the nasal pole: no nasality
  float voicing = 0;
  float aspiration = 0;
  float frication = 0;
  float parallel[5] = {};  // A2..A6
  float bypass = 0;        // AB
};

struct SourceShape {
  double openQuotient = 0.6;
  double tilt = 0.3;
};

// A Klatt-style synthesizer: a glottal source and aspiration through a nasal pole and
// zero and six cascaded formants, plus frication noise through a parallel bank of
// F2..F6 and a bypass. Filters are designed at designRate, so rendering at another
// output rate keeps the digital spectrum and moves the formants with the rate.
class FormantSynth {
 public:
  FormantSynth(double designRate, SourceShape shape);

  void Reset();
  // Sets the filters from `from` and lets the amplitudes run linearly from `from`
  // to `to` over the next `length` samples.
  void BeginFrame(const FrameParams& from, const FrameParams& to, int length);
  // Renders one sample. `pitchSamples` is the glottal period to use when a new period
  // starts at this sample (read only then).
  float Step(double pitchSamples);
  // True when a new glottal period starts at the next sample.
  bool PeriodStartsNext() const { return phase_ >= period_; }

 private:
  struct Resonator {
    float a = 0, b = 0, c = 0, y1 = 0, y2 = 0;
    float Run(float x) {
      const float y = a * x + b * y1 + c * y2;
      y2 = y1;
      y1 = y;
      return y;
    }
  };
  struct AntiResonator {
    float a = 1, b = 0, c = 0, x1 = 0, x2 = 0;
    float Run(float x) {
      const float y = a * x + b * x1 + c * x2;
      x2 = x1;
      x1 = x;
      return y;
    }
  };
  void Design(Resonator& r, float hz, float bandwidth, bool unityPeak) const;
  void DesignZero(AntiResonator& r, float hz, float bandwidth) const;
  float Noise();

  double designRate_;
  SourceShape shape_;
  Resonator nasalPole_;
  AntiResonator nasalZero_;
  Resonator cascade_[6];
  Resonator parallel_[5];
  bool parallelOn_ = false;
  float amp_[3] = {};                         // voicing, aspiration, frication now
  float ampStep_[3] = {};                     // their change per sample
  float gainNow_[6] = {}, gainStep_[6] = {};  // parallel gains and bypass
  double phase_ = 0, period_ = 0, open_ = 0;
  float tiltState_ = 0;
  std::uint32_t noiseState_ = 0x9E3779B9u;
};

}  // namespace mbrola_standin
