#pragma once
// Wave playback: PCM sound to the wave-out device through a ring of four blocks, stopped
// by a waiting key, with the faster-playback and speech-cutting options.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace speech {

inline constexpr std::size_t WaveBlockSize = 65534;  // one ring block
inline constexpr int WaveRingBlocks = 4;

// Plays a .wav file (Windows or Linux form) to its end or until a key stops it, and
// returns when the device has finished: 0 played or stopped; -1 the file is missing or
// malformed; otherwise the device's open error code.
int PlayWaveFile(const std::string& path);
// The reading of PlayWaveFile, over any source: 'read' copies up to n next bytes into
// 'into' and says how many it copied; 'skip' passes over n bytes (a skip past the end is
// found by the next read). Queues the data chunk in ring blocks until a key stops it and
// returns PlayWaveFile's result without waiting for the device. Recorded sounds kept in
// memory are played through it too.
using WaveRead = std::function<std::size_t(uint8_t* into, std::size_t n)>;
using WaveSkip = std::function<bool(uint32_t n)>;
int QueueWaveData(const WaveRead& read, const WaveSkip& skip);
// Queues an in-memory wave image and returns once its last block is queued. An image
// without "RIFF", "fmt " and "data" (or cut short) plays nothing.
void PlayWaveBuffer(std::span<const uint8_t> image);
// Queues raw PCM bytes (8-bit unsigned or 16-bit signed); returns 0 or the device's open
// error code. Each block is copied into the ring, so the caller's data is free again once
// this returns (and is never modified).
int PlayPcm(std::span<const uint8_t> data, int rate, int bits, int channels);
// Dispatches pending messages; stops playback when a key waits (with State().keyStopsPlayback) or
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
