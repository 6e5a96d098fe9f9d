#include "platform/audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "text/wave.h"

namespace platform {
namespace {

class LoopVoice : public AudioVoice {
 public:
  LoopVoice(WaveSound sound, int targetRate) : sound_(std::move(sound)), reader_(sound_.sampleRate, targetRate) {}
  bool MixInto(std::span<int32_t> mix, std::size_t frames, int channels, int) override {
    reader_.MixInto(sound_, true, mix, frames, channels);
    return true;
  }

 private:
  WaveSound sound_;
  Resampler reader_;
};

// A sine tone with 5 ms fades at both ends, so that it starts and stops without a click.
class ToneVoice : public AudioVoice {
 public:
  ToneVoice(int frequencyHz, int durationMs, int sampleRate)
      : step_(2 * std::numbers::pi * frequencyHz / sampleRate),
        totalFrames_(static_cast<std::size_t>(sampleRate) * static_cast<std::size_t>(durationMs) / 1000),
        fadeFrames_(std::max<std::size_t>(1, static_cast<std::size_t>(sampleRate) / 200)) {}

  bool MixInto(std::span<int32_t> mix, std::size_t frames, int channels, int) override {
    constexpr double Amplitude = 6000;
    for (std::size_t i = 0; i < frames && done_ < totalFrames_; ++i, ++done_) {
      const std::size_t edge = std::min(done_, totalFrames_ - 1 - done_);
      const double gain = edge < fadeFrames_ ? static_cast<double>(edge) / static_cast<double>(fadeFrames_) : 1.0;
      const auto value = static_cast<int32_t>(Amplitude * gain * std::sin(step_ * static_cast<double>(done_)));
      for (int c = 0; c < channels; ++c)
        mix[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] += value;
    }
    return done_ < totalFrames_;
  }

 private:
  double step_;
  std::size_t totalFrames_, fadeFrames_, done_ = 0;
};

}  // namespace

std::optional<WaveSound> ParseWaveImage(std::span<const uint8_t> image) {
  const auto wave = text::ParseWaveImage(image, text::ChunkPadding::Skipped);
  if (!wave) return std::nullopt;
  WaveSound sound;
  sound.channels = wave->format.channels;
  sound.sampleRate = static_cast<int>(std::min<uint32_t>(wave->format.sampleRate, 1000000));
  const int bits = wave->format.bitsPerSample;
  if (wave->format.formatTag != text::WaveFormatPcm || (sound.channels != 1 && sound.channels != 2) ||
      (bits != 8 && bits != 16) || sound.sampleRate < 1000) {
    return std::nullopt;
  }
  const std::span<const uint8_t> data = wave->data;
  const std::size_t frameBytes = static_cast<std::size_t>(sound.channels * bits / 8);
  sound.samples.resize(data.size() / frameBytes * static_cast<std::size_t>(sound.channels));
  for (std::size_t i = 0; i < sound.samples.size(); ++i) {
    sound.samples[i] = bits == 8 ? static_cast<int16_t>((data[i] - 128) * 256)
                                 : static_cast<int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  return sound;
}

Resampler::Resampler(int sourceRate, int targetRate)
    : step_((static_cast<uint64_t>(std::max(sourceRate, 1)) << 32) / static_cast<uint64_t>(std::max(targetRate, 1))) {}

bool Resampler::Finished(const WaveSound& sound) const { return (position_ >> 32) >= sound.Frames(); }

std::size_t Resampler::MixInto(const WaveSound& sound, bool loop, std::span<int32_t> mix, std::size_t frames,
                               int channels) {
  const std::size_t total = sound.Frames();
  if (total == 0) return 0;
  const auto outChannels = static_cast<std::size_t>(channels);
  const uint64_t wrap = static_cast<uint64_t>(total) << 32;
  const auto sample = [&](std::size_t frame, std::size_t channel) -> int64_t {
    return sound.samples[frame * static_cast<std::size_t>(sound.channels) + channel];
  };
  std::size_t done = 0;
  for (; done < frames; ++done) {
    const auto index = static_cast<std::size_t>(position_ >> 32);
    if (index >= total) break;  // only without looping
    const std::size_t next = index + 1 < total ? index + 1 : (loop ? 0 : index);
    const auto fraction = static_cast<int64_t>((position_ & 0xFFFFFFFFu) >> 16);
    const auto at = [&](std::size_t channel) {
      const int64_t a = sample(index, channel), b = sample(next, channel);
      return static_cast<int32_t>(a + (((b - a) * fraction) >> 16));
    };
    int32_t* out = &mix[done * outChannels];
    if (sound.channels == 1) {
      const int32_t value = at(0);
      for (std::size_t c = 0; c < outChannels; ++c) out[c] += value;
    } else if (outChannels == 1) {
      out[0] += (at(0) + at(1)) / 2;
    } else {
      out[0] += at(0);
      out[1] += at(1);
    }
    position_ += step_;
    if (loop && position_ >= wrap) position_ %= wrap;
  }
  return done;
}

AudioMixer::AudioMixer(int sampleRate, int channels) : sampleRate_(sampleRate), channels_(std::max(channels, 1)) {}

bool AudioMixer::PlayLoop(std::span<const uint8_t> waveImage) {
  std::shared_ptr<AudioVoice> voice;
  if (auto sound = ParseWaveImage(waveImage); sound && sound->Frames() > 0) {
    voice = std::make_shared<LoopVoice>(std::move(*sound), sampleRate_);
  }
  std::lock_guard lock(mutex_);
  loop_.swap(voice);  // the old voice is released after the lock
  return loop_ != nullptr;
}

void AudioMixer::StopLoop() {
  std::shared_ptr<AudioVoice> old;
  std::lock_guard lock(mutex_);
  loop_.swap(old);
}

void AudioMixer::Beep(int frequencyHz, int durationMs) {
  AddVoice(std::make_shared<ToneVoice>(frequencyHz, durationMs, sampleRate_));
}

void AudioMixer::AddVoice(std::shared_ptr<AudioVoice> voice) {
  std::lock_guard lock(mutex_);
  voices_.push_back(std::move(voice));
}

void AudioMixer::RemoveVoice(const AudioVoice* voice) {
  std::vector<std::shared_ptr<AudioVoice>> removed;
  std::lock_guard lock(mutex_);
  for (auto it = voices_.begin(); it != voices_.end();) {
    if (it->get() == voice) {
      removed.push_back(std::move(*it));
      it = voices_.erase(it);
    } else {
      ++it;
    }
  }
}

bool AudioMixer::HasVoices() {
  std::lock_guard lock(mutex_);
  return loop_ || !voices_.empty();
}

void AudioMixer::Render(std::span<int16_t> out) {
  const std::size_t frames = out.size() / static_cast<std::size_t>(channels_);
  std::vector<std::shared_ptr<AudioVoice>> ended;  // released after the lock
  {
    std::lock_guard lock(mutex_);
    if (accumulator_.size() < out.size()) accumulator_.resize(out.size());
    const std::span<int32_t> mix(accumulator_.data(), out.size());
    std::fill(mix.begin(), mix.end(), 0);
    if (loop_) loop_->MixInto(mix, frames, channels_, sampleRate_);
    for (auto it = voices_.begin(); it != voices_.end();) {
      if ((*it)->MixInto(mix, frames, channels_, sampleRate_)) {
        ++it;
      } else {
        ended.push_back(std::move(*it));
        it = voices_.erase(it);
      }
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
      out[i] = static_cast<int16_t>(std::clamp<int32_t>(mix[i], -32768, 32767));
    }
  }
}

}  // namespace platform
