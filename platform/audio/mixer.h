#pragma once
// The mixer of voices that feeds the sound device: the console's looping tone, the beep,
// and further streams such as wave-out blocks, resampled to the device's rate.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// The samples of a RIFF WAVE image (PCM, 8-bit unsigned or 16-bit signed, mono or
// stereo), as 16-bit signed samples, frames interleaved.
struct WaveSound {
  int sampleRate = 0;
  int channels = 0;
  std::vector<int16_t> samples;
  std::size_t Frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
};
// Nothing when the image is not a PCM wave we can play. A data chunk longer than the
// image is cut to what the image holds.
std::optional<WaveSound> ParseWaveImage(std::span<const uint8_t> image);

// Reads a sound at another sample rate by linear interpolation, keeping its place between
// calls. With 'loop' set the sound wraps around seamlessly (the last frame interpolates
// towards the first).
class Resampler {
 public:
  Resampler(int sourceRate, int targetRate);
  // Adds up to 'frames' frames of 'sound' into 'mix' (interleaved, 'channels' per frame;
  // a mono sound goes to every channel, a stereo one to the first two) and returns how
  // many frames it added: fewer than asked only when a sound that does not loop ends.
  std::size_t MixInto(const WaveSound& sound, bool loop, std::span<int32_t> mix, std::size_t frames, int channels);
  bool Finished(const WaveSound& sound) const;

 private:
  uint64_t step_;          // source frames per target frame, 32.32 fixed point
  uint64_t position_ = 0;  // in source frames, 32.32 fixed point
};

// One source of sound in the mixer. MixInto runs on the audio thread with the mixer's
// lock held: it must be quick, must not block, and must never call program code; it may
// post a message (PostMessage is thread-safe). A wave-out stream is such a voice: it
// reports a block done when MixInto has handed the block's last sample over.
class AudioVoice {
 public:
  virtual ~AudioVoice() = default;
  // Adds 'frames' frames at the mixer's rate into 'mix' (interleaved, 16-bit scale).
  // Returns false when the voice has ended; the mixer then drops it.
  virtual bool MixInto(std::span<int32_t> mix, std::size_t frames, int channels, int sampleRate) = 0;
};

class AudioMixer {
 public:
  AudioMixer(int sampleRate, int channels);
  AudioMixer(const AudioMixer&) = delete;
  AudioMixer& operator=(const AudioMixer&) = delete;

  int SampleRate() const { return sampleRate_; }
  int Channels() const { return channels_; }

  // The looping voice: replaces the sound that loops now. False (and silence) when the
  // image cannot be played.
  bool PlayLoop(std::span<const uint8_t> waveImage);
  void StopLoop();
  // A short tone with soft edges, over whatever else plays.
  void Beep(int frequencyHz = 880, int durationMs = 120);

  // Further voices: an added voice plays until it reports its end or is removed.
  void AddVoice(std::shared_ptr<AudioVoice> voice);
  void RemoveVoice(const AudioVoice* voice);
  bool HasVoices();

  // Fills 'out' (interleaved 16-bit frames) with the next stretch of the mix. The device
  // calls it from its audio thread; tests call it directly.
  void Render(std::span<int16_t> out);

 private:
  const int sampleRate_, channels_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<AudioVoice>> voices_;  // guarded by mutex_
  std::shared_ptr<AudioVoice> loop_;                 // guarded by mutex_
  std::vector<int32_t> accumulator_;                 // used only inside Render
};

}  // namespace platform
