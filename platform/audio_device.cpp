#include "platform/audio_device.h"

#include <atomic>
#include <chrono>

namespace platform {
namespace {

std::atomic<AudioCallbackObserver> gObserver{nullptr};
std::atomic<uint64_t> gStreamedFrames{0};
std::atomic<uint64_t> gCallbacks{0}, gLateCallbacks{0}, gUnderruns{0};
int64_t gLastCallbackNs = 0;  // audio thread only
int64_t gLateAfterNs = 0;     // set before the device starts

int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void StartDeviceCounts(int bufferFrames, int sampleRate) {
  gCallbacks = 0, gLateCallbacks = 0, gUnderruns = 0;
  gLastCallbackNs = 0;
  gLateAfterNs = 2 * int64_t{1000000000} * bufferFrames / std::max(sampleRate, 1);
}

bool FirstDeviceCallback() { return gLastCallbackNs == 0; }

void RenderDeviceBuffer(AudioMixer& mixer, std::span<int16_t> out) {
  const AudioCallbackObserver observer = gObserver.load(std::memory_order_acquire);
  AudioCallbackReport report;
  report.startNs = SteadyNs();
  if (gLastCallbackNs != 0 && report.startNs - gLastCallbackNs > gLateAfterNs) {
    gLateCallbacks.fetch_add(1, std::memory_order_relaxed);
  }
  gLastCallbackNs = report.startNs;
  gCallbacks.fetch_add(1, std::memory_order_relaxed);
  const uint64_t streamedBefore = gStreamedFrames.load(std::memory_order_relaxed);
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
  report.streamed = gStreamedFrames.load(std::memory_order_relaxed) != streamedBefore;
  observer(report);
}

void SetAudioCallbackObserver(AudioCallbackObserver observer) { gObserver.store(observer, std::memory_order_release); }

void NoteStreamedFrames(std::size_t frames) { gStreamedFrames.fetch_add(frames, std::memory_order_relaxed); }

void NoteStreamUnderrun() { gUnderruns.fetch_add(1, std::memory_order_relaxed); }

AudioDeviceCounts SharedAudioCounts() {
  return {gCallbacks.load(std::memory_order_relaxed), gLateCallbacks.load(std::memory_order_relaxed),
          gUnderruns.load(std::memory_order_relaxed)};
}

}  // namespace platform
