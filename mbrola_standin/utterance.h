// One utterance on its time line: phones end to end, a pitch contour, and the synthesizer's parameters at any instant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

#include "mbrola_standin/formant_synth.h"
#include "mbrola_standin/pho_parser.h"
#include "mbrola_standin/voice.h"

namespace mbrola_standin {

// Half-widths of the windows over which phone targets are averaged: formants glide
// across a boundary in twice this time, amplitudes switch much faster.
constexpr double FormantWindowMs = 25;
constexpr double AmplitudeWindowMs = 4;

class Utterance {
 public:
  // The voice must outlive the utterance. frameMs: how far beyond a rendered sample
  // the renderer looks for its next parameters.
  Utterance(const Voice& voice, double frameMs);

  void Append(const PhoPhone& phone);
  void Close() { closed_ = true; }
  bool Closed() const { return closed_; }
  bool Empty() const { return phones_.empty(); }
  double EndMs() const { return endMs_; }

  // Up to this time the input fixes pitch and parameters: the whole utterance once it
  // is closed, else up to its last pitch point and a look-ahead short of its last phone.
  double HorizonMs() const;

  // Linear between the pitch points; flat before the first and after the last; the
  // voice's pitch when there is none.
  double PitchAt(double ms) const;
  FrameParams ParamsAt(double ms) const;

  // Drops phones and pitch points that no longer influence anything at or after ms;
  // returns the input bytes of the dropped phones.
  std::size_t Forget(double ms);
  // Input bytes of the phones still kept.
  std::size_t KeptBytes() const;

 private:
  struct TimedPhone {
    int row = 0;
    double startMs = 0;
    double durationMs = 0;
    std::size_t textBytes = 0;
  };
  struct TimedPitch {
    double timeMs = 0;
    double hertz = 0;
  };
  static constexpr int FormantValues = 8;    // F1..F4 B1..B3 NZ
  static constexpr int AmplitudeValues = 9;  // AV AH AF A2..A6 AB (linear)

  void FormantsOf(std::size_t index, bool firstHalf, float* out) const;
  void AddFormants(std::size_t index, double from, double to, double* sum) const;
  void AddAmplitudes(std::size_t index, double from, double to, double* sum) const;

  const Voice* voice_;
  double frameMs_;
  std::deque<TimedPhone> phones_;
  std::deque<TimedPitch> pitch_;
  double endMs_ = 0;
  bool closed_ = false;
};

}  // namespace mbrola_standin
