// The sound device on Windows: the system's wave-out device, fed by the mixer from a thread
// of its own. Four small buffers circulate: as the device hands one back (an event), the
// thread fills it from the mixer and queues it again.

#include <windows.h>

#include <mmsystem.h>  // needs windows.h first

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio_device.h"

namespace platform {
namespace {

// Frames of one buffer: 512 at 48 kHz, 10.7 ms; the device holds four.
constexpr int BufferFrames = 512;
constexpr int Buffers = 4;
constexpr int Rate = 48000;
constexpr int Channels = 2;

struct SharedDevice {
  bool tried = false;
  HWAVEOUT device = nullptr;
  HANDLE bufferDone = nullptr;
  std::array<WAVEHDR, Buffers> headers{};
  std::array<std::vector<int16_t>, Buffers> samples;
  std::unique_ptr<AudioMixer> mixer;
  std::string failure;  // why it did not open
  std::atomic<bool> stopping{false};
  std::thread feeder;
};
SharedDevice gDevice;

void Feed() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  while (!gDevice.stopping.load()) {
    for (std::size_t i = 0; i < gDevice.headers.size(); ++i) {
      WAVEHDR& header = gDevice.headers[i];
      if (!(header.dwFlags & WHDR_DONE)) continue;
      RenderDeviceBuffer(*gDevice.mixer, gDevice.samples[i]);
      header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
      waveOutWrite(gDevice.device, &header, sizeof header);
    }
    WaitForSingleObject(gDevice.bufferDone, 50);
  }
}

AudioMixer* Failed(MMRESULT result) {
  std::array<char, MAXERRORLENGTH> text{};
  gDevice.failure = waveOutGetErrorTextA(result, text.data(), static_cast<UINT>(text.size())) == MMSYSERR_NOERROR
                        ? std::string(text.data())
                        : "wave-out error " + std::to_string(result);
  CloseHandle(gDevice.bufferDone);
  gDevice.bufferDone = nullptr;
  return nullptr;
}

}  // namespace

AudioMixer* SharedAudioMixer() {
  if (gDevice.tried) return gDevice.mixer.get();
  gDevice.tried = true;
  gDevice.failure.clear();
  gDevice.bufferDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = Channels;
  format.nSamplesPerSec = Rate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = Channels * 2;
  format.nAvgBytesPerSec = Rate * format.nBlockAlign;
  const MMRESULT opened = waveOutOpen(&gDevice.device, WAVE_MAPPER, &format,
                                      reinterpret_cast<DWORD_PTR>(gDevice.bufferDone), 0, CALLBACK_EVENT);
  if (opened != MMSYSERR_NOERROR) return Failed(opened);
  gDevice.mixer = std::make_unique<AudioMixer>(Rate, Channels);
  for (std::size_t i = 0; i < gDevice.headers.size(); ++i) {
    gDevice.samples[i].assign(static_cast<std::size_t>(BufferFrames * Channels), 0);
    WAVEHDR& header = gDevice.headers[i];
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(gDevice.samples[i].data());
    header.dwBufferLength = static_cast<DWORD>(gDevice.samples[i].size() * sizeof(int16_t));
    waveOutPrepareHeader(gDevice.device, &header, sizeof header);
    header.dwFlags |= WHDR_DONE;  // free: the feeder fills it first
  }
  StartDeviceCounts(BufferFrames, Rate);
  gDevice.stopping = false;
  gDevice.feeder = std::thread(Feed);
  return gDevice.mixer.get();
}

const std::string& SharedAudioFailure() { return gDevice.failure; }

void CloseSharedAudio() {
  gDevice.tried = false;
  if (!gDevice.device) return;
  gDevice.stopping = true;
  SetEvent(gDevice.bufferDone);
  if (gDevice.feeder.joinable()) gDevice.feeder.join();
  waveOutReset(gDevice.device);
  for (WAVEHDR& header : gDevice.headers) waveOutUnprepareHeader(gDevice.device, &header, sizeof header);
  waveOutClose(gDevice.device);
  gDevice.device = nullptr;
  CloseHandle(gDevice.bufferDone);
  gDevice.bufferDone = nullptr;
  gDevice.mixer.reset();
}

int SharedAudioBufferFrames() { return gDevice.device ? BufferFrames : 0; }

}  // namespace platform
