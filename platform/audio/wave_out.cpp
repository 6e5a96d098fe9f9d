#include "platform/audio/wave_out.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/audio/audio_device.h"
#include "platform/audio/sound_output.h"
#include "platform/services/files.h"
#include "platform/services/output_file.h"
#include "text/files.h"
#include "text/wave.h"

namespace platform {
namespace {

void MarkDone(WaveHeader& header, Hwnd window) {
  header.flags = (header.flags & ~WHDR_INQUEUE) | WHDR_DONE;
  PostMessage(window, MM_WOM_DONE, 0, reinterpret_cast<intptr_t>(&header));
}

// One frame of a block as 16-bit samples (left, right; mono gives the same
// twice).
void ReadFrame(const WaveFormat& format, const uint8_t* at, int32_t& left, int32_t& right) {
  const auto sample = [&](int index) -> int32_t {
    if (format.bitsPerSample == 8) return (static_cast<int32_t>(at[index]) - 128) * 256;
    const auto low = static_cast<uint16_t>(at[2 * index] | (at[2 * index + 1] << 8));
    return static_cast<int16_t>(low);
  };
  left = sample(0);
  right = format.channels == 2 ? sample(1) : left;
}

// ---- the capture ----

// What was written is streamed to the capture file at CaptureRate as soon as it has been
// heard: the clock says how much of the written sound has played, and only the sound not
// yet heard can still be taken back by a reset. So the capture keeps in memory only that
// unheard tail and the few samples the resampler still looks back at, however long the
// program runs.
constexpr int KernelTableSize = 4096;
constexpr double Pi = 3.14159265358979323846;
// The most a WAV file's 32-bit sizes can describe; sound beyond it fails the file.
constexpr uint64_t CaptureDataLimit = 0xFFFFFFF0u - text::WaveHeaderSize;

// One stretch written at one rate, converted to CaptureRate by windowed-sinc resampling:
// a Blackman window over 16 zero crossings of the lower of the two rates, so neither
// images of an upsampled run nor aliases of a downsampled one are heard. Outside the run
// is silence.
struct CaptureRun {
  uint32_t rate = 0;
  std::deque<int16_t> samples;  // not yet dropped; samples[0] is sample number 'base'
  uint64_t base = 0;
  uint64_t nextOut = 0;  // the next output sample of this run
  uint64_t heard = 0;    // input samples already heard (so past any reset)
  double step = 1, cutoff = 0.5, halfWidth = 16;
  std::vector<double> kernel;

  explicit CaptureRun(uint32_t sampleRate) : rate(sampleRate) {
    if (rate == CaptureRate) return;
    step = static_cast<double>(rate) / CaptureRate;  // input samples per output sample
    cutoff = 0.5 * std::min(1.0, 1.0 / step);        // cycles per input sample
    halfWidth = 16.0 / (2.0 * cutoff);               // in input samples
    kernel.resize(KernelTableSize + 2);
    for (int i = 0; i <= KernelTableSize + 1; ++i) {
      const double u = std::min(1.0, static_cast<double>(i) / KernelTableSize);
      const double t = u * halfWidth;
      const double sinc = t == 0 ? 1.0 : std::sin(2 * Pi * cutoff * t) / (2 * Pi * cutoff * t);
      const double window = 0.42 + 0.5 * std::cos(Pi * u) + 0.08 * std::cos(2 * Pi * u);
      kernel[static_cast<std::size_t>(i)] = 2 * cutoff * sinc * window;
    }
  }

  uint64_t Total() const { return base + samples.size(); }
  bool Started() const { return heard > 0; }
  uint64_t Unheard() const { return Total() - std::min(Total(), heard); }

  double Weight(double distance) const {
    const double at = std::abs(distance) / halfWidth * KernelTableSize;
    if (at >= KernelTableSize) return 0.0;
    const auto index = static_cast<std::size_t>(at);
    const double fraction = at - static_cast<double>(index);
    return kernel[index] + (kernel[index + 1] - kernel[index]) * fraction;
  }

  // Appends the output samples that depend only on the first 'ready' input samples; when
  // 'complete', the run has ended with them. Input no later output needs is dropped.
  void Emit(uint64_t ready, bool complete, std::vector<int16_t>& out) {
    ready = std::min(ready, Total());
    heard = std::max(heard, ready);
    if (rate == CaptureRate) {
      for (; nextOut < ready; ++nextOut) out.push_back(samples[nextOut - base]);
    } else {
      const uint64_t count = Total();
      const uint64_t outputs = count == 0 ? 0 : static_cast<uint64_t>(static_cast<double>(count - 1) / step) + 1;
      for (;; ++nextOut) {
        if (complete && nextOut >= outputs) break;
        const double t = static_cast<double>(nextOut) * step;
        const double reach = std::floor(t + halfWidth);
        if (!complete && reach >= static_cast<double>(ready)) break;
        const auto first = static_cast<uint64_t>(std::max(0.0, std::ceil(t - halfWidth)));
        const auto last = std::min<uint64_t>(count - 1, static_cast<uint64_t>(std::max(0.0, reach)));
        double value = 0;
        for (uint64_t k = std::max(first, base); k <= last; ++k) {
          value += samples[k - base] * Weight(t - static_cast<double>(k));
        }
        out.push_back(static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L)));
      }
    }
    // Keep what the next output still reaches back to.
    uint64_t keepFrom = nextOut;
    if (rate != CaptureRate) {
      keepFrom = static_cast<uint64_t>(std::max(0.0, std::ceil(static_cast<double>(nextOut) * step - halfWidth)));
    }
    while (base < keepFrom && !samples.empty()) {
      samples.pop_front();
      ++base;
    }
  }
};

struct Capture {
  std::mutex mutex;
  bool active = false;
  bool stepRegistered = false;
  OutputFile file;
  uint64_t dataBytes = 0;  // sample bytes in the file
  std::deque<CaptureRun> runs;
  uint64_t endUs = 0;  // when the last sound written ends
};

// Where devices come from: the installed sound output (or the silent one), and what tests
// see of the null devices and the failures they ask of its opens.
struct Devices {
  std::unique_ptr<SoundOutput> output;
  SoundOutput silent;
  bool exitStepAdded = false;
  NullWaveLog log;
  bool keepLog = true;
  int failures = 0, failureCode = 0;
};

// What wave-out keeps for the whole run.
struct WaveOutState {
  Capture capture;
  Devices devices;
};
WaveOutState gWaveOut;

bool WriteCaptureHeader(bool first);

void WriteCaptured(const std::vector<int16_t>& samples) {
  if (!gWaveOut.capture.file.Good() || samples.empty()) return;
  const uint64_t room = (CaptureDataLimit - std::min(CaptureDataLimit, gWaveOut.capture.dataBytes)) / 2;
  const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(room, samples.size()));
  std::vector<uint8_t> bytes(count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    const auto v = static_cast<uint16_t>(samples[i]);
    bytes[2 * i] = static_cast<uint8_t>(v), bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
  }
  if (gWaveOut.capture.file.Write(bytes)) gWaveOut.capture.dataBytes += bytes.size();
  if (count < samples.size()) {
    // The file stays a whole WAV file of what it could hold.
    WriteCaptureHeader(false);
    gWaveOut.capture.file.Fail("a WAV file holds at most 4 GiB of sound, and the rest is not written");
  }
}

// How many samples of each run, counted from the back, have not been heard yet.
std::vector<uint64_t> UnheardSamples(uint64_t nowUs) {
  std::vector<uint64_t> unheard(gWaveOut.capture.runs.size(), 0);
  if (gWaveOut.capture.endUs <= nowUs) return unheard;
  uint64_t unheardUs = gWaveOut.capture.endUs - nowUs;
  for (std::size_t i = gWaveOut.capture.runs.size(); i-- > 0 && unheardUs > 0;) {
    const CaptureRun& run = gWaveOut.capture.runs[i];
    const uint64_t count = std::min<uint64_t>(unheardUs * run.rate / 1000000, run.samples.size());
    unheard[i] = std::min(count, run.Unheard());
    if (count < run.samples.size()) break;
    unheardUs -= std::min(unheardUs, count * 1000000 / run.rate);
  }
  return unheard;
}

// Streams what has been heard; with 'everything', all that was written, as at the end.
void FlushCapture(bool everything) {
  const std::vector<uint64_t> unheard =
      everything ? std::vector<uint64_t>(gWaveOut.capture.runs.size(), 0) : UnheardSamples(NowMs() * 1000);
  std::vector<int16_t> out;
  for (std::size_t i = 0; i < gWaveOut.capture.runs.size(); ++i) {
    CaptureRun& run = gWaveOut.capture.runs[i];
    const uint64_t heard = run.Total() - unheard[i];
    // A run is over once sound of a later run has been heard: only then can no reset
    // bring it back to be continued.
    const bool later = i + 1 < gWaveOut.capture.runs.size() && gWaveOut.capture.runs[i + 1].Total() > unheard[i + 1];
    run.Emit(heard, everything || later, out);
  }
  while (gWaveOut.capture.runs.size() > 1) {
    const CaptureRun& next = gWaveOut.capture.runs[1];
    if (!next.Started()) break;
    gWaveOut.capture.runs.pop_front();
  }
  if (everything) gWaveOut.capture.runs.clear();
  WriteCaptured(out);
}

void CaptureBlock(const WaveFormat& format, const uint8_t* data, std::size_t length) {
  std::lock_guard lock(gWaveOut.capture.mutex);
  if (!gWaveOut.capture.active || format.sampleRate == 0) return;
  const std::size_t align = format.BlockAlign();
  if (align == 0) return;
  const std::size_t frames = length / align;
  if (frames == 0) return;
  if (gWaveOut.capture.runs.empty() || gWaveOut.capture.runs.back().rate != format.sampleRate) {
    gWaveOut.capture.runs.emplace_back(format.sampleRate);
  }
  auto& samples = gWaveOut.capture.runs.back().samples;
  for (std::size_t i = 0; i < frames; ++i) {
    int32_t left = 0, right = 0;
    ReadFrame(format, data + i * align, left, right);
    samples.push_back(static_cast<int16_t>((left + right) / 2));
  }
  gWaveOut.capture.endUs = std::max(gWaveOut.capture.endUs, NowMs() * 1000) + frames * 1000000ull / format.sampleRate;
  FlushCapture(false);
}

// The device was reset: what was written and not yet heard is dropped.
void CaptureReset() {
  std::lock_guard lock(gWaveOut.capture.mutex);
  const uint64_t nowUs = NowMs() * 1000;
  if (!gWaveOut.capture.active || gWaveOut.capture.endUs <= nowUs) return;
  uint64_t unheardUs = gWaveOut.capture.endUs - nowUs;
  gWaveOut.capture.endUs = nowUs;
  while (unheardUs > 0 && !gWaveOut.capture.runs.empty()) {
    CaptureRun& run = gWaveOut.capture.runs.back();
    const uint64_t unheard = std::min<uint64_t>(unheardUs * run.rate / 1000000, run.samples.size());
    const uint64_t dropped = std::min(unheard, run.Unheard());
    run.samples.resize(run.samples.size() - dropped);
    if (!run.samples.empty() || run.Started()) break;
    unheardUs -= std::min(unheardUs, unheard * 1000000 / run.rate);
    gWaveOut.capture.runs.pop_back();
  }
}

// The header with the sizes written so far, at the start of the file. A FIFO or a terminal
// keeps the header it got first.
bool WriteCaptureHeader(bool first) {
  uint8_t header[text::WaveHeaderSize];
  text::WriteWaveHeader(header, CaptureRate, 16, 1, static_cast<uint32_t>(gWaveOut.capture.dataBytes));
  if (first) return gWaveOut.capture.file.Write(std::span<const uint8_t>(header));
  return !gWaveOut.capture.file.Seekable() || gWaveOut.capture.file.WriteAt(0, header);
}

// ---- the null device ----

struct NullState {
  WaveFormat format;
  Hwnd window = 0;
  std::deque<WaveHeader*> queue;
  uint64_t endUs = 0;  // when the last queued block ends
  uint64_t generation = 0;
};

class NullWaveOut final : public WaveOutDevice {
 public:
  NullWaveOut(const WaveFormat& format, Hwnd window) : WaveOutDevice(format), state_(std::make_shared<NullState>()) {
    state_->format = format;
    state_->window = window;
  }

  int Write(WaveHeader& header) override {
    NullState& s = *state_;
    if (gWaveOut.devices.keepLog)
      gWaveOut.devices.log.blocks.push_back({s.format, {header.data, header.data + header.bufferLength}, NowMs()});
    header.flags = (header.flags & ~WHDR_DONE) | WHDR_INQUEUE;
    s.queue.push_back(&header);
    const uint64_t bytesPerSecond = static_cast<uint64_t>(s.format.sampleRate) * s.format.BlockAlign();
    const uint64_t durationUs = header.bufferLength * 1000000ull / std::max<uint64_t>(bytesPerSecond, 1);
    s.endUs = std::max(s.endUs, NowMs() * 1000) + durationUs;
    const uint64_t dueMs = (s.endUs + 999) / 1000;
    std::weak_ptr<NullState> weak = state_;
    const uint64_t generation = s.generation;
    WaveHeader* block = &header;
    ScheduleCallback(dueMs, [weak, generation, block] {
      const auto state = weak.lock();
      if (!state || state->generation != generation || state->queue.empty() || state->queue.front() != block) return;
      state->queue.pop_front();
      MarkDone(*block, state->window);
    });
    return MMSYSERR_NOERROR;
  }

  int Reset() override {
    NullState& s = *state_;
    ++gWaveOut.devices.log.resets;
    ++s.generation;
    while (!s.queue.empty()) {
      WaveHeader* block = s.queue.front();
      s.queue.pop_front();
      MarkDone(*block, s.window);
    }
    s.endUs = NowMs() * 1000;
    return MMSYSERR_NOERROR;
  }

  void Shutdown() override { ++gWaveOut.devices.log.closes; }
  bool Queued() const override { return !state_->queue.empty(); }

 private:
  std::shared_ptr<NullState> state_;
};

// ---- the mixer device ----

// Reads the queued blocks at the mixer's rate by linear interpolation between
// frames.
class StreamVoice final : public AudioVoice {
 public:
  StreamVoice(const WaveFormat& format, Hwnd window) : format_(format), window_(window) {}

  bool MixInto(std::span<int32_t> mix, std::size_t frames, int channels, int sampleRate) override {
    std::lock_guard lock(mutex_);
    const uint64_t step =
        (static_cast<uint64_t>(format_.sampleRate) << 32) / static_cast<uint64_t>(std::max(sampleRate, 1));
    const auto outChannels = static_cast<std::size_t>(channels);
    given_ = 0;
    const struct Report {
      const std::size_t& given;
      ~Report() {
        if (given > 0) NoteStreamedFrames(given);
      }
    } report{given_};
    for (std::size_t i = 0; i < frames; ++i) {
      int32_t* out = &mix[i * outChannels];
      while (phase_ >= One) {
        int32_t left = 0, right = 0;
        if (!NextFrame(left, right)) {
          // Starved: the last frame still due is given at its own time, then
          // silence until more is written.
          if (holding_) {
            previous_[0] = next_[0], previous_[1] = next_[1];
            phase_ = 0;
            Put(out, outChannels);
            previous_[0] = previous_[1] = next_[0] = next_[1] = 0;
            phase_ = One;
            holding_ = false;
            starved_ = true;
          }
          return true;
        }
        previous_[0] = next_[0], previous_[1] = next_[1];
        next_[0] = left, next_[1] = right;
        phase_ -= One;
        holding_ = true;
      }
      Put(out, outChannels);
      phase_ += step;
    }
    return true;
  }

  void Put(int32_t* out, std::size_t outChannels) const {
    const auto fraction = static_cast<int64_t>(phase_ >> 16);
    const auto at = [&](int c) {
      return static_cast<int32_t>(previous_[c] + (((static_cast<int64_t>(next_[c]) - previous_[c]) * fraction) >> 16));
    };
    if (outChannels == 1) {
      out[0] += (at(0) + at(1)) / 2;
    } else {
      out[0] += at(0);
      out[1] += at(1);
      for (std::size_t c = 2; c < outChannels; ++c) out[c] += (at(0) + at(1)) / 2;
    }
  }

  void Write(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (starved_) {
      // The blocks before this one have all been played: the listener heard a gap.
      NoteStreamUnderrun();
      starved_ = false;
    }
    header.flags = (header.flags & ~WHDR_DONE) | WHDR_INQUEUE;
    queue_.push_back(&header);
  }

  void Reset() {
    std::lock_guard lock(mutex_);
    while (!queue_.empty()) {
      WaveHeader* block = queue_.front();
      queue_.pop_front();
      MarkDone(*block, window_);
    }
    offset_ = 0;
    previous_[0] = previous_[1] = next_[0] = next_[1] = 0;
    phase_ = One;
    holding_ = false;
    starved_ = false;
  }

  bool Queued() {
    std::lock_guard lock(mutex_);
    return !queue_.empty();
  }

 private:
  static constexpr uint64_t One = uint64_t{1} << 32;

  // Takes the next frame of the queued blocks; the block whose last frame it
  // was is done.
  bool NextFrame(int32_t& left, int32_t& right) {
    const std::size_t align = format_.BlockAlign();
    while (!queue_.empty()) {
      WaveHeader* block = queue_.front();
      const bool has = offset_ + align <= block->bufferLength;
      if (has) {
        ReadFrame(format_, block->data + offset_, left, right);
        offset_ += align;
        ++given_;
      }
      if (offset_ + align > block->bufferLength) {
        queue_.pop_front();
        offset_ = 0;
        MarkDone(*block, window_);
      }
      if (has) return true;
    }
    return false;
  }

  const WaveFormat format_;
  const Hwnd window_;
  std::mutex mutex_;
  std::deque<WaveHeader*> queue_;  // guarded by mutex_, as is everything below
  std::size_t offset_ = 0;         // in the front block
  int32_t previous_[2] = {0, 0}, next_[2] = {0, 0};
  uint64_t phase_ = One;   // 32.32, between previous_ and next_
  bool holding_ = false;   // next_ holds a frame not yet given
  std::size_t given_ = 0;  // frames taken from blocks in this MixInto
  bool starved_ = false;   // the blocks ran out while sound was flowing
};

class MixerWaveOut final : public WaveOutDevice {
 public:
  MixerWaveOut(AudioMixer& mixer, const WaveFormat& format, Hwnd window)
      : WaveOutDevice(format), mixer_(mixer), voice_(std::make_shared<StreamVoice>(format, window)) {
    mixer_.AddVoice(voice_);
  }
  ~MixerWaveOut() override { mixer_.RemoveVoice(voice_.get()); }

  int Write(WaveHeader& header) override {
    voice_->Write(header);
    return MMSYSERR_NOERROR;
  }
  int Reset() override {
    voice_->Reset();
    return MMSYSERR_NOERROR;
  }
  bool Queued() const override { return voice_->Queued(); }

 private:
  AudioMixer& mixer_;
  std::shared_ptr<StreamVoice> voice_;
};

}  // namespace

void SetSoundOutput(std::unique_ptr<SoundOutput> output) {
  if (output && !gWaveOut.devices.exitStepAdded) {
    gWaveOut.devices.exitStepAdded = true;
    AddExitStep([] { gWaveOut.devices.output.reset(); });
  }
  gWaveOut.devices.output = std::move(output);
}
SoundOutput& CurrentSoundOutput() {
  return gWaveOut.devices.output ? *gWaveOut.devices.output : gWaveOut.devices.silent;
}

std::unique_ptr<WaveOutDevice> OpenSilentWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) {
  if (gWaveOut.devices.failures > 0) {
    --gWaveOut.devices.failures;
    error = gWaveOut.devices.failureCode;
    return nullptr;
  }
  error = MMSYSERR_NOERROR;
  return OpenNullWaveOut(format, notifyWindow);
}

int WaveOutOpen(std::unique_ptr<WaveOutDevice>& device, const WaveFormat& format, Hwnd notifyWindow) {
  device.reset();
  if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) || (format.channels != 1 && format.channels != 2) ||
      format.sampleRate < 100 || format.sampleRate > 384000) {
    return WAVERR_BADFORMAT;
  }
  int error = MMSYSERR_NOERROR;
  device = CurrentSoundOutput().OpenWaveOut(format, notifyWindow, error);
  if (!device && error == MMSYSERR_NOERROR) error = MMSYSERR_NODRIVER;
  if (error != MMSYSERR_NOERROR) device.reset();
  return error;
}

int WaveOutPrepareHeader(WaveOutDevice* device, WaveHeader& header) {
  if (!device) return MMSYSERR_INVALHANDLE;
  if (!header.data && header.bufferLength > 0) return MMSYSERR_INVALPARAM;
  header.flags |= WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

int WaveOutUnprepareHeader(WaveOutDevice* device, WaveHeader& header) {
  if (!device) return MMSYSERR_INVALHANDLE;
  if (header.flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  header.flags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

int WaveOutWrite(WaveOutDevice* device, WaveHeader& header) {
  if (!device) return MMSYSERR_INVALHANDLE;
  if (!(header.flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (header.flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  const int result = device->Write(header);
  if (result == MMSYSERR_NOERROR) CaptureBlock(device->Format(), header.data, header.bufferLength);
  return result;
}

int WaveOutReset(WaveOutDevice* device) {
  if (!device) return MMSYSERR_INVALHANDLE;
  CaptureReset();
  return device->Reset();
}

int WaveOutClose(std::unique_ptr<WaveOutDevice>& device) {
  if (!device) return MMSYSERR_INVALHANDLE;
  if (device->Queued()) return WAVERR_STILLPLAYING;
  device->Shutdown();
  device.reset();
  return MMSYSERR_NOERROR;
}

std::unique_ptr<WaveOutDevice> OpenNullWaveOut(const WaveFormat& format, Hwnd notifyWindow) {
  if (gWaveOut.devices.keepLog) gWaveOut.devices.log.opens.push_back(format);
  return std::make_unique<NullWaveOut>(format, notifyWindow);
}

std::unique_ptr<WaveOutDevice> OpenMixerWaveOut(AudioMixer& mixer, const WaveFormat& format, Hwnd notifyWindow) {
  return std::make_unique<MixerWaveOut>(mixer, format, notifyWindow);
}

std::unique_ptr<WaveOutDevice> OpenSharedAudioWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error) {
  AudioMixer* mixer = SharedAudioMixer();
  if (!mixer) {
    error = MMSYSERR_NODRIVER;
    return nullptr;
  }
  error = MMSYSERR_NOERROR;
  return OpenMixerWaveOut(*mixer, format, notifyWindow);
}

// ---- capture ----

bool StartAudioCapture(const std::string& path, std::string* reason) {
  {
    std::lock_guard lock(gWaveOut.capture.mutex);
    gWaveOut.capture.active = false;
    gWaveOut.capture.runs.clear();
    gWaveOut.capture.endUs = 0;
    gWaveOut.capture.dataBytes = 0;
    if (!gWaveOut.capture.file.Create(path, "the audio file", reason)) return false;
    gWaveOut.capture.active = true;
    // A file holding only the header until the end, when its sizes are filled in.
    WriteCaptureHeader(true);
    if (gWaveOut.capture.stepRegistered) return true;
    gWaveOut.capture.stepRegistered = true;
  }
  AddExitStep([] { WriteAudioCapture(); });
  return true;
}

std::vector<int16_t> CapturedAudio() {
  std::lock_guard lock(gWaveOut.capture.mutex);
  std::vector<int16_t> samples;
  if (!gWaveOut.capture.file.IsOpen()) return samples;
  // What the file holds so far, then what is still held back, as the end would write it.
  if (const auto bytes = text::ReadWholeFile(gWaveOut.capture.file.Path(), static_cast<std::size_t>(-1));
      bytes && bytes->size() >= text::WaveHeaderSize) {
    const std::size_t count =
        std::min<std::size_t>((bytes->size() - text::WaveHeaderSize) / 2, gWaveOut.capture.dataBytes / 2);
    samples.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const auto low = static_cast<uint8_t>((*bytes)[text::WaveHeaderSize + 2 * i]);
      const auto high = static_cast<uint8_t>((*bytes)[text::WaveHeaderSize + 2 * i + 1]);
      samples.push_back(static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8))));
    }
  }
  std::deque<CaptureRun> pending = gWaveOut.capture.runs;
  for (CaptureRun& run : pending) run.Emit(run.Total(), true, samples);
  return samples;
}

bool WriteAudioCapture() {
  std::lock_guard lock(gWaveOut.capture.mutex);
  if (!gWaveOut.capture.active || !gWaveOut.capture.file.IsOpen()) return false;
  FlushCapture(true);
  WriteCaptureHeader(false);
  return gWaveOut.capture.file.Good();
}

// ---- tests ----

NullWaveLog& NullWaveOutLog() { return gWaveOut.devices.log; }
void KeepNullWaveOutLog(bool keep) {
  gWaveOut.devices.keepLog = keep;
  if (!keep) {
    std::vector<NullWaveBlock>().swap(gWaveOut.devices.log.blocks);
    std::vector<WaveFormat>().swap(gWaveOut.devices.log.opens);
  }
}
void ClearNullWaveOutLog() {
  gWaveOut.devices.log = {};
  gWaveOut.devices.failures = 0;
}
void FailNullWaveOutOpens(int count, int code) {
  gWaveOut.devices.failures = count;
  gWaveOut.devices.failureCode = code;
}

}  // namespace platform
