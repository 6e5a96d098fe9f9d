// One utterance on its time line: phones end to end, a pitch contour, and the synthesizer's parameters at any instant.
#include "mbrola_standin/utterance.h"

#include <algorithm>
#include <cmath>

namespace mbrola_standin {
namespace {

// A stop ends in a burst of frication, then (when it has aspiration) a stretch of
// breath before the next phone's voicing.
constexpr double BurstMs = 5;
constexpr double AspirationMs = 15;
constexpr float FourthBandwidthHz = 300;
constexpr float NasalPoleHz = 270;
// A silence runs across this many phones at most when it looks for a sounding
// neighbour to borrow its formants from.
constexpr int NeighbourSearch = 8;
// F1..F4 B1..B3 NZ of a relaxed tract, for a pause with no sounding neighbour.
constexpr float NeutralFormants[] = {500, 1500, 2500, 3500, 80, 100, 150, NasalPoleHz};

float Linear(float db) { return db <= 0 ? 0.0f : std::pow(10.0f, (db - 60.0f) / 20.0f); }

void AmplitudeTargets(const VoiceRow& row, float* out) {
  out[0] = Linear(row.voicingDb);
  out[1] = Linear(row.aspirationDb);
  out[2] = Linear(row.fricationDb);
  for (int i = 0; i < 5; ++i) out[3 + i] = Linear(row.parallelDb[i]);
  out[8] = Linear(row.bypassDb);
}

void AddOverlap(double segFrom, double segTo, double from, double to, const float* values, int count, double* sum) {
  const double overlap = std::min(segTo, to) - std::max(segFrom, from);
  if (overlap <= 0) return;
  for (int i = 0; i < count; ++i) sum[i] += overlap * values[i];
}

}  // namespace

Utterance::Utterance(const Voice& voice, double frameMs) : voice_(&voice), frameMs_(frameMs) {}

void Utterance::Append(const PhoPhone& phone) {
  TimedPhone timed;
  timed.row = phone.row;
  timed.startMs = endMs_;
  timed.durationMs = phone.durationMs;
  timed.textBytes = phone.textBytes;
  for (const PitchPoint& point : phone.points) {
    double time = timed.startMs + point.positionPercent / 100 * timed.durationMs;
    // Points must not go back in time; one that does is taken as simultaneous.
    if (!pitch_.empty()) time = std::max(time, pitch_.back().timeMs);
    pitch_.push_back(TimedPitch{time, point.hertz});
  }
  phones_.push_back(timed);
  endMs_ += timed.durationMs;
}

double Utterance::HorizonMs() const {
  if (closed_) return endMs_;
  if (pitch_.empty()) return 0;
  const double lookAhead = FormantWindowMs + 2 * frameMs_ + 1;
  return std::max(0.0, std::min(pitch_.back().timeMs, endMs_ - lookAhead));
}

double Utterance::PitchAt(double ms) const {
  if (pitch_.empty()) return voice_->pitchHz;
  if (ms <= pitch_.front().timeMs) return pitch_.front().hertz;
  if (ms >= pitch_.back().timeMs) return pitch_.back().hertz;
  const auto after =
      std::upper_bound(pitch_.begin(), pitch_.end(), ms, [](double t, const TimedPitch& p) { return t < p.timeMs; });
  const TimedPitch& b = *after;
  const TimedPitch& a = *(after - 1);
  return a.hertz + (b.hertz - a.hertz) * (ms - a.timeMs) / (b.timeMs - a.timeMs);
}

void Utterance::FormantsOf(std::size_t index, bool firstHalf, float* out) const {
  // A silence has no formants of its own: its first half keeps the previous phone's,
  // its second half takes the next one's, so a sound starting or ending at a pause
  // does not glide from nowhere.
  const auto sounding = [&](std::size_t i) { return voice_->rows[phones_[i].row].kind != PhoneKind::Silence; };
  std::size_t found = phones_.size();
  for (int pass = 0; pass < 2 && found == phones_.size(); ++pass) {
    const bool backward = (pass == 0) == firstHalf;
    std::size_t i = index;
    for (int step = 0; step <= NeighbourSearch; ++step) {
      if (sounding(i)) {
        found = i;
        break;
      }
      if (backward ? i == 0 : i + 1 >= phones_.size()) break;
      i = backward ? i - 1 : i + 1;
    }
  }
  if (found == phones_.size()) {
    std::copy(NeutralFormants, NeutralFormants + FormantValues, out);
    return;
  }
  const VoiceRow& row = voice_->rows[phones_[found].row];
  for (int i = 0; i < 4; ++i) out[i] = row.formantHz[i];
  for (int i = 0; i < 3; ++i) out[4 + i] = row.bandwidthHz[i];
  out[7] = row.nasalZeroHz > 0 ? row.nasalZeroHz : NasalPoleHz;
}

void Utterance::AddFormants(std::size_t index, double from, double to, double* sum) const {
  const TimedPhone& phone = phones_[index];
  const double end = phone.startMs + phone.durationMs;
  float values[FormantValues];
  if (voice_->rows[phone.row].kind == PhoneKind::Silence) {
    const double middle = phone.startMs + phone.durationMs / 2;
    FormantsOf(index, true, values);
    AddOverlap(phone.startMs, middle, from, to, values, FormantValues, sum);
    FormantsOf(index, false, values);
    AddOverlap(middle, end, from, to, values, FormantValues, sum);
    return;
  }
  FormantsOf(index, true, values);
  AddOverlap(phone.startMs, end, from, to, values, FormantValues, sum);
}

void Utterance::AddAmplitudes(std::size_t index, double from, double to, double* sum) const {
  const TimedPhone& phone = phones_[index];
  const VoiceRow& row = voice_->rows[phone.row];
  const double start = phone.startMs;
  const double duration = phone.durationMs;
  const double end = start + duration;
  float full[AmplitudeValues];
  AmplitudeTargets(row, full);
  if (row.kind == PhoneKind::Silence) return;
  if (row.kind == PhoneKind::Stop) {
    // Closure (silent, or a voice bar for a voiced stop), burst, then aspiration.
    const double release = std::min((row.aspirationDb > 0 ? BurstMs + AspirationMs : BurstMs), duration / 2);
    const double burstEnd = end - release + std::min(BurstMs, release);
    float closure[AmplitudeValues] = {full[0]};
    float burst[AmplitudeValues];
    std::copy(full, full + AmplitudeValues, burst);
    burst[1] = 0;
    float breath[AmplitudeValues];
    std::copy(full, full + AmplitudeValues, breath);
    breath[2] *= 0.3f;
    AddOverlap(start, end - release, from, to, closure, AmplitudeValues, sum);
    AddOverlap(end - release, burstEnd, from, to, burst, AmplitudeValues, sum);
    AddOverlap(burstEnd, end, from, to, breath, AmplitudeValues, sum);
    return;
  }
  if (row.kind == PhoneKind::Tap) {
    // The tongue's brief contact: voicing drops for the middle third.
    float contact[AmplitudeValues];
    std::copy(full, full + AmplitudeValues, contact);
    contact[0] *= 0.15f;
    AddOverlap(start, start + duration / 3, from, to, full, AmplitudeValues, sum);
    AddOverlap(start + duration / 3, start + 2 * duration / 3, from, to, contact, AmplitudeValues, sum);
    AddOverlap(start + 2 * duration / 3, end, from, to, full, AmplitudeValues, sum);
    return;
  }
  AddOverlap(start, end, from, to, full, AmplitudeValues, sum);
}

FrameParams Utterance::ParamsAt(double ms) const {
  double formants[FormantValues] = {};
  double amplitudes[AmplitudeValues] = {};
  float edge[FormantValues];
  if (!phones_.empty()) {
    // Formants: before the first phone and after the last the edge phone's values hold.
    const double lo = ms - FormantWindowMs, hi = ms + FormantWindowMs;
    const double begin = phones_.front().startMs;
    if (lo < begin) {
      FormantsOf(0, true, edge);
      AddOverlap(lo, begin, lo, hi, edge, FormantValues, formants);
    }
    if (hi > endMs_) {
      FormantsOf(phones_.size() - 1, false, edge);
      AddOverlap(endMs_, hi, lo, hi, edge, FormantValues, formants);
    }
    auto first = std::upper_bound(phones_.begin(), phones_.end(), lo,
                                  [](double t, const TimedPhone& p) { return t < p.startMs + p.durationMs; });
    for (auto it = first; it != phones_.end() && it->startMs < hi; ++it) {
      AddFormants(static_cast<std::size_t>(it - phones_.begin()), lo, hi, formants);
    }
    for (double& value : formants) value /= 2 * FormantWindowMs;

    // Amplitudes: nothing sounds outside the utterance.
    const double alo = ms - AmplitudeWindowMs, ahi = ms + AmplitudeWindowMs;
    first = std::upper_bound(phones_.begin(), phones_.end(), alo,
                             [](double t, const TimedPhone& p) { return t < p.startMs + p.durationMs; });
    for (auto it = first; it != phones_.end() && it->startMs < ahi; ++it) {
      AddAmplitudes(static_cast<std::size_t>(it - phones_.begin()), alo, ahi, amplitudes);
    }
    for (double& value : amplitudes) value /= 2 * AmplitudeWindowMs;
  } else {
    std::copy(NeutralFormants, NeutralFormants + FormantValues, formants);
  }

  FrameParams params;
  for (int i = 0; i < 4; ++i) params.formantHz[i] = static_cast<float>(formants[i]);
  for (int i = 0; i < 3; ++i) params.bandwidthHz[i] = static_cast<float>(formants[4 + i]);
  params.bandwidthHz[3] = FourthBandwidthHz;
  params.formantHz[4] = voice_->f5Hz;
  params.bandwidthHz[4] = voice_->b5Hz;
  params.formantHz[5] = voice_->f6Hz;
  params.bandwidthHz[5] = voice_->b6Hz;
  params.nasalZeroHz = static_cast<float>(formants[7]);
  params.voicing = static_cast<float>(amplitudes[0]);
  params.aspiration = static_cast<float>(amplitudes[1]);
  params.frication = static_cast<float>(amplitudes[2]);
  for (int i = 0; i < 5; ++i) params.parallel[i] = static_cast<float>(amplitudes[3 + i]);
  params.bypass = static_cast<float>(amplitudes[8]);
  return params;
}

std::size_t Utterance::Forget(double ms) {
  const double cutoff = ms - FormantWindowMs - frameMs_ - 1;
  std::size_t bytes = 0;
  // A phone goes only when the one after it has also ended, so that a silence
  // can still find its sounding neighbour.
  while (phones_.size() > 2 && phones_[1].startMs + phones_[1].durationMs < cutoff) {
    bytes += phones_.front().textBytes;
    phones_.pop_front();
  }
  while (pitch_.size() >= 2 && pitch_[1].timeMs <= ms) pitch_.pop_front();
  return bytes;
}

std::size_t Utterance::KeptBytes() const {
  std::size_t bytes = 0;
  for (const TimedPhone& phone : phones_) bytes += phone.textBytes;
  return bytes;
}

}  // namespace mbrola_standin
