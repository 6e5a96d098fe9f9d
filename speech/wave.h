#pragma once
// Wave playback: PCM sound to the wave-out device through a ring of four blocks, stopped
// by a waiting key, with the faster-playback and speech-cutting options.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/audio/wave_out.h"

namespace speech {

inline constexpr std::size_t WaveBlockSize = 65534;  // one ring block
inline constexpr int WaveRingBlocks = 4;

// A sound in memory: its samples (8-bit unsigned or 16-bit signed little-endian, channels
// interleaved) and their format.
struct Sound {
  std::span<const uint8_t> samples;
  platform::WaveFormat format;
};

// How a sound is played: faster (the device runs at 1.5 x the sample rate) and cut (mono
// sound is time-compressed before it is queued).
struct PlaybackOptions {
  bool fast = false;
  bool cut = false;
};
// The options the settings chose (RAPIDINHO, CORTAFALA).
PlaybackOptions ConfiguredPlayback();

// What wave playback keeps between calls (speech's owner holds it, speech/state.h): the
// device, the ring of blocks queued on it and the buffers sound passes through.
struct Playback {
  std::unique_ptr<platform::WaveOutDevice> device;
  platform::WaveFormat format;
  std::array<std::vector<uint8_t>, WaveRingBlocks> blocks{
      std::vector<uint8_t>(WaveBlockSize), std::vector<uint8_t>(WaveBlockSize), std::vector<uint8_t>(WaveBlockSize),
      std::vector<uint8_t>(WaveBlockSize)};
  std::array<platform::WaveHeader, WaveRingBlocks> headers;
  std::array<bool, WaveRingBlocks> locked{};
  int position = 0;  // 1..4 once a block was queued
  int queued = 0;
  uint64_t lastEndMs = 0;  // when the queue last ran empty
  std::vector<uint8_t> readBuffer = std::vector<uint8_t>(WaveBlockSize);
  std::vector<uint8_t> cutBuffer = std::vector<uint8_t>(WaveBlockSize);
  bool closesAtExit = false;  // the device is closed when the program ends
};

// Plays a .wav file (Windows or Linux form) to its end or until a key stops it, and
// returns when the device has finished: 0 played or stopped; -1 the file is missing or
// malformed; otherwise the device's open error code.
int PlayWaveFile(const std::string& path, PlaybackOptions options = ConfiguredPlayback());
// The reading of PlayWaveFile, over any source: 'read' copies up to n next bytes into
// 'into' and says how many it copied; 'skip' passes over n bytes (a skip past the end is
// found by the next read). Queues the data chunk in ring blocks until a key stops it and
// returns PlayWaveFile's result without waiting for the device. Recorded sounds kept in
// memory are played through it too.
using WaveRead = std::function<std::size_t(uint8_t* into, std::size_t n)>;
using WaveSkip = std::function<bool(uint32_t n)>;
int QueueWaveData(const WaveRead& read, const WaveSkip& skip, PlaybackOptions options);
// Queues a sound and returns once its last block is queued: 0, or the device's open error
// code. Each block is copied into the ring, so the caller's samples are free again once
// this returns (and are never modified).
int PlayPcm(const Sound& sound, PlaybackOptions options = ConfiguredPlayback());
// Dispatches pending messages; stops playback when a key waits (with keyStopsPlayback) or
// nothing is queued; answers whether blocks are still queued.
bool WaveBusy();
// Resets the device if blocks are queued, lets the completions run and closes it.
void WaveStop();
// Time-compresses mono samples in place (16-bit ones become 8-bit unsigned first) by
// dropping about every other pitch period; returns the new length in bytes.
std::size_t CompressBlock(uint8_t* samples, std::size_t n, int bits, int rate);
// Closes the device without a reset (program end).
void CloseWaveOutput();
// How many blocks are queued on the device now.
int WaveQueuedBlocks();
// When (platform::NowMs()) the last block queued finished playing or was stopped; 0 while
// nothing has played yet.
uint64_t WaveLastEndMs();

}  // namespace speech
