#pragma once
// The wave-out device: PCM blocks written to an output device that reports each finished
// block as MM_WOM_DONE to a window, with the Windows result codes. The null device plays in
// virtual time (tests, headless runs); the mixer device plays through SDL audio. Everything
// written to any device can also be captured to one WAV file (--audio-out).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/win.h"

namespace platform {

class AudioMixer;

// Results, numbered as on Windows.
enum : int {
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,
  MMSYSERR_BADDEVICEID = 2,
  MMSYSERR_ALLOCATED = 4,
  MMSYSERR_INVALHANDLE = 5,
  MMSYSERR_NODRIVER = 6,
  MMSYSERR_NOMEM = 7,
  MMSYSERR_INVALPARAM = 11,
  WAVERR_BADFORMAT = 32,
  WAVERR_STILLPLAYING = 33,
  WAVERR_UNPREPARED = 34,
};

// Header flags.
enum : uint32_t { WHDR_DONE = 0x01, WHDR_PREPARED = 0x02, WHDR_INQUEUE = 0x10 };

struct WaveFormat {
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;  // 8 (unsigned) or 16 (signed, little-endian)
  uint16_t channels = 0;       // 1 or 2
  bool operator==(const WaveFormat&) const = default;
  uint32_t BlockAlign() const { return static_cast<uint32_t>(bitsPerSample / 8) * channels; }
};

// One block of sound. MM_WOM_DONE carries a pointer to it in lParam (wParam is 0). The
// block's data and header must stay in place until that message has arrived.
struct WaveHeader {
  uint8_t* data = nullptr;
  uint32_t bufferLength = 0;
  uintptr_t user = 0;
  uint32_t flags = 0;
};

class WaveOutDevice {
 public:
  explicit WaveOutDevice(const WaveFormat& format) : format_(format) {}
  virtual ~WaveOutDevice() = default;
  const WaveFormat& Format() const { return format_; }
  // Queues a prepared header (behind those queued before it).
  virtual int Write(WaveHeader& header) = 0;
  // Ends every queued block at once; each is reported done.
  virtual int Reset() = 0;
  // Called by WaveOutClose when nothing is queued any more.
  virtual void Shutdown() {}
  virtual bool Queued() const = 0;

 private:
  WaveFormat format_;
};

// waveOutOpen: the installed sound output's device for the format (platform/audio/sound_output.h), reporting to
// notifyWindow. WAVERR_BADFORMAT for a format outside 8/16 bits, 1/2 channels, 100..384000 Hz.
int WaveOutOpen(std::unique_ptr<WaveOutDevice>& device, const WaveFormat& format, Hwnd notifyWindow);
int WaveOutPrepareHeader(WaveOutDevice* device, WaveHeader& header);
int WaveOutUnprepareHeader(WaveOutDevice* device, WaveHeader& header);  // STILLPLAYING while queued
int WaveOutWrite(WaveOutDevice* device, WaveHeader& header);
int WaveOutReset(WaveOutDevice* device);
// STILLPLAYING (and the device stays open) while blocks are queued.
int WaveOutClose(std::unique_ptr<WaveOutDevice>& device);

// The device that plays in the clock's time without making sound: each block is done at
// the time it would end, behind the blocks before it.
std::unique_ptr<WaveOutDevice> OpenNullWaveOut(const WaveFormat& format, Hwnd notifyWindow);
// The null device as a sound output opens it: failing as FailNullWaveOutOpens asked.
std::unique_ptr<WaveOutDevice> OpenSilentWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error);
// A device feeding a stream voice of the mixer (any rate, converted by the mixer thread);
// MM_WOM_DONE is posted from the audio thread when a block's last sample was mixed.
std::unique_ptr<WaveOutDevice> OpenMixerWaveOut(AudioMixer& mixer, const WaveFormat& format, Hwnd notifyWindow);
// The mixer device on the process's shared SDL audio device; MMSYSERR_NODRIVER (and
// nothing) when there is no audio device.
std::unique_ptr<WaveOutDevice> OpenSharedAudioWaveOut(const WaveFormat& format, Hwnd notifyWindow, int& error);

// ---- capture of everything written (--audio-out) ----
inline constexpr uint32_t CaptureRate = 22050;  // 16-bit mono
// Starts capturing into a new file at path: sound is written to it as it is heard, and its
// sizes are filled in when the program ends. False (and no capture) with the reason when
// the file cannot be created. A failed write, or sound past the 4 GiB a WAV file can hold,
// is told once and fails the run (platform::OutputFile).
bool StartAudioCapture(const std::string& path, std::string* reason = nullptr);
// What was captured so far, at CaptureRate: what was heard, since a reset drops what
// had not played yet.
std::vector<int16_t> CapturedAudio();
// Writes all of the capture and its sizes now; false when the file could not be written.
bool WriteAudioCapture();

// ---- what tests look at (the null device) ----
struct NullWaveBlock {
  WaveFormat format;
  std::vector<uint8_t> bytes;
  uint64_t writtenAtMs = 0;
};
struct NullWaveLog {
  std::vector<WaveFormat> opens;
  std::vector<NullWaveBlock> blocks;
  int resets = 0, closes = 0;
};
NullWaveLog& NullWaveOutLog();
// Whether the null device logs the blocks and opens (on at start, for tests); a long run
// of the program turns it off so that nothing grows with playing time.
void KeepNullWaveOutLog(bool keep);
void ClearNullWaveOutLog();
// The next 'count' opens of the null device fail with 'code'.
void FailNullWaveOutOpens(int count, int code);

}  // namespace platform
