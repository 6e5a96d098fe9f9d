#include "platform/audio/audio_device.h"

#include <atomic>
#include <chrono>

namespace platform {
namespace {

// What the shared sound device's callbacks count, read by the benches and the program's
// thread while the audio thread writes it.
struct DeviceCounts {
  std::atomic<AudioCallbackObserver> observer{nullptr};
  std::atomic<uint64_t> streamedFrames{0};
  std::atomic<uint64_t> callbacks{0}, lateCallbacks{0}, underruns{0};
  int64_t lastCallbackNs = 0;  // audio thread only
  int64_t lateAfterNs = 0;     // set before the device starts
};

DeviceCounts gCounts;

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void StartDeviceCounts(int bufferFrames, int sampleRate) {
  gCounts.callbacks = 0, gCounts.lateCallbacks = 0, gCounts.underruns = 0;
  gCounts.lastCallbackNs = 0;
  gCounts.lateAfterNs = 2 * int64_t{1000000000} * bufferFrames / std::max(sampleRate, 1);
}

bool FirstDeviceCallback() { return gCounts.lastCallbackNs == 0; }

void RenderDeviceBuffer(AudioMixer& mixer, std::span<int16_t> out) {
  const AudioCallbackObserver observer = gCounts.observer.load(std::memory_order_acquire);
  AudioCallbackReport report;
  report.startNs = SteadyNs();
  if (gCounts.lastCallbackNs != 0 && report.startNs - gCounts.lastCallbackNs > gCounts.lateAfterNs) {
    gCounts.lateCallbacks.fetch_add(1, std::memory_order_relaxed);
  }
  gCounts.lastCallbackNs = report.startNs;
  gCounts.callbacks.fetch_add(1, std::memory_order_relaxed);
  const uint64_t streamedBefore = gCounts.streamedFrames.load(std::memory_order_relaxed);
  mixer.Render(out);
  if (!observer) return;
  const auto channels = static_cast<std::size_t>(mixer.Channels());
  report.frames = static_cast<int>(out.size() / channels);
  report.channels = static_cast<int>(channels);
  report.samples = out.data();
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0) continue;
    const int frame = static_cast<int>(i / channels);
    if (report.firstSound < 0) report.firstSound = frame;
    report.lastSound = frame;
  }
  report.streamed = gCounts.streamedFrames.load(std::memory_order_relaxed) != streamedBefore;
  observer(report);
}

void SetAudioCallbackObserver(AudioCallbackObserver observer) {
  gCounts.observer.store(observer, std::memory_order_release);
}

void NoteStreamedFrames(std::size_t frames) { gCounts.streamedFrames.fetch_add(frames, std::memory_order_relaxed); }

void NoteStreamUnderrun() { gCounts.underruns.fetch_add(1, std::memory_order_relaxed); }

AudioDeviceCounts SharedAudioCounts() {
  return {gCounts.callbacks.load(std::memory_order_relaxed), gCounts.lateCallbacks.load(std::memory_order_relaxed),
          gCounts.underruns.load(std::memory_order_relaxed)};
}

}  // namespace platform
