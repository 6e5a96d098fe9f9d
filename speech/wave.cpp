#include "speech/wave.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio/wave_out.h"
#include "platform/services/files.h"
#include "speech/host.h"
#include "speech/state.h"
#include "text/files.h"
#include "text/wave.h"

namespace speech {

namespace {

constexpr std::size_t MinimumBlock = 256;

Playback& ThePlayback() { return TheSpeech().playback; }

bool KeyStops() { return State().keyStopsPlayback && CurrentHost().KeyAvailable(); }

// Waits up to 'milliseconds' for a window message, so that a key ends the wait at once.
void WaitBriefly(uint32_t milliseconds) {
  CurrentHost().WaitMessageFor(milliseconds);
  CurrentHost().PumpMessages();
}

const char* UnprepareMessage(int code) {
  switch (code) {
    case platform::MMSYSERR_INVALHANDLE: return "Specified device handle is invalid.";
    case platform::MMSYSERR_NODRIVER: return "No device driver is present.";
    case platform::MMSYSERR_NOMEM: return "Unable to allocate or lock memory.";
    case platform::WAVERR_STILLPLAYING: return "The data block pointed to by the pwh parameter is still in queue";
    default: return nullptr;
  }
}

// The console window hands over each block the device has finished.
void BlockDone(uintptr_t, intptr_t lParam) {
  Playback& s = ThePlayback();
  auto* header = reinterpret_cast<platform::WaveHeader*>(lParam);
  if (!header) return;
  const auto slot = static_cast<std::size_t>(header->user) - 1;
  if (slot >= s.headers.size() || header != &s.headers[slot]) return;  // not one of ours
  if (const int result = platform::WaveOutUnprepareHeader(s.device.get(), *header);
      result != platform::MMSYSERR_NOERROR) {
    if (const char* message = UnprepareMessage(result)) CurrentHost().Write(message);
    CurrentHost().ReadEchoedLine();
  }
  s.locked[slot] = false;
  if (s.queued > 0 && --s.queued == 0) s.lastEndMs = platform::NowMs();
}

int OpenDevice(uint32_t rate, uint16_t bits, uint16_t channels) {
  Playback& s = ThePlayback();
  const platform::WaveFormat wanted{rate, bits, channels};
  if (!(wanted == s.format)) {
    while (WaveBusy()) CurrentHost().WaitMessage();
    s.format = wanted;
  }
  if (s.device) return platform::MMSYSERR_NOERROR;
  if (!s.closesAtExit) {
    s.closesAtExit = true;
    platform::AddExitStep(CloseWaveOutput);
  }
  const platform::Hwnd window = CurrentHost().RouteWaveCompletions(BlockDone);
  int result = platform::MMSYSERR_NOERROR;
  for (int attempt = 1; attempt <= 100; ++attempt) {
    result = platform::WaveOutOpen(s.device, s.format, window);
    if (result != platform::MMSYSERR_ALLOCATED || attempt == 100) break;
    CurrentHost().Pause(100);
  }
  if (result != platform::MMSYSERR_NOERROR) s.device.reset();
  return result;
}

void QueueBlock(const uint8_t* data, std::size_t n) {
  Playback& s = ThePlayback();
  if (n == 0 || !s.device) return;
  for (int tries = 0; tries < 40 && s.queued >= WaveRingBlocks; ++tries) {
    CurrentHost().PumpMessages();
    CurrentHost().Pause(50);
  }
  if (s.queued >= WaveRingBlocks || !s.device) return;  // the device stopped taking blocks: dropped

  s.position = s.position % WaveRingBlocks + 1;
  const auto slot = static_cast<std::size_t>(s.position - 1);
  uint8_t* block = s.blocks[slot].data();
  s.locked[slot] = true;
  const bool mono8 = s.format.bitsPerSample == 8 && s.format.channels == 1;
  if (n < MinimumBlock) std::memset(block + n, s.format.bitsPerSample == 8 ? 128 : 0, MinimumBlock - n);
  std::memcpy(block, data, n);
  if (mono8 && n != WaveBlockSize) block[n - 1] = 128;  // every block ends on the silence level

  platform::WaveHeader& header = s.headers[slot];
  header = {};
  header.data = block;
  header.bufferLength = static_cast<uint32_t>(std::max(n, MinimumBlock));
  header.user = static_cast<uintptr_t>(s.position);
  if (platform::WaveOutPrepareHeader(s.device.get(), header) != platform::MMSYSERR_NOERROR) {
    s.locked[slot] = false;
    return;
  }
  ++s.queued;
  if (platform::WaveOutWrite(s.device.get(), header) != platform::MMSYSERR_NOERROR) {
    // Never reported done: take it back at once.
    platform::WaveOutUnprepareHeader(s.device.get(), header);
    s.locked[slot] = false;
    --s.queued;
  }
}

}  // namespace

PlaybackOptions ConfiguredPlayback() { return {State().fastPlayback, State().cutSpeech}; }

int PlayPcm(const Sound& sound, PlaybackOptions options) {
  const std::span<const uint8_t> data = sound.samples;
  int rate = static_cast<int>(sound.format.sampleRate);
  const int bits = sound.format.bitsPerSample;
  const int channels = sound.format.channels;
  if (rate <= 0 || bits <= 0 || channels <= 0) return platform::WAVERR_BADFORMAT;
  if (State().silent) return 0;  // a silent run opens no device
  if (options.fast) rate = static_cast<int>(static_cast<int64_t>(rate) * 3 / 2);
  const bool cut = options.cut && channels == 1;
  const int deviceBits = cut && bits == 16 ? 8 : bits;
  if (const int result =
          OpenDevice(static_cast<uint32_t>(rate), static_cast<uint16_t>(deviceBits), static_cast<uint16_t>(channels));
      result != platform::MMSYSERR_NOERROR) {
    return result;
  }
  Playback& s = ThePlayback();
  std::size_t offset = 0;
  while (offset < data.size()) {
    while (s.queued >= WaveRingBlocks) {
      if (KeyStops()) {
        WaveStop();
        return 0;
      }
      WaitBriefly(10);
    }
    if (KeyStops()) {
      WaveStop();
      return 0;
    }
    const std::size_t piece = std::min(WaveBlockSize, data.size() - offset);
    if (cut) {
      std::memcpy(s.cutBuffer.data(), data.data() + offset, piece);
      QueueBlock(s.cutBuffer.data(), CompressBlock(s.cutBuffer.data(), piece, bits, rate));
    } else {
      QueueBlock(data.data() + offset, piece);
    }
    offset += piece;
  }
  return 0;
}

int QueueWaveData(const WaveRead& readInto, const WaveSkip& skip, PlaybackOptions options) {
  uint8_t* buffer = ThePlayback().readBuffer.data();
  const auto header = text::ReadWaveHeader([&](uint8_t* into, std::size_t n) { return readInto(into, n) == n; }, skip);
  if (!header) return -1;
  const platform::WaveFormat format{header->format.sampleRate, header->format.bitsPerSample, header->format.channels};

  int result = 0;
  uint32_t remaining = header->dataLength;
  while (remaining > 0) {
    std::size_t block = WaveBlockSize;
    if (remaining <= WaveBlockSize) {
      block = remaining;
    } else if (remaining < WaveBlockSize + MinimumBlock) {
      block = WaveBlockSize - MinimumBlock;  // the last block keeps more than 256 bytes
    }
    const std::size_t got = readInto(buffer, block);
    if (got == 0) {
      result = -1;
      break;
    }
    result = PlayPcm({{buffer, got}, format}, options);
    if (result != 0) break;
    if (got < block) {
      result = -1;  // the file ends before its data chunk does
      break;
    }
    remaining -= static_cast<uint32_t>(got);
    if (KeyStops()) break;
  }
  return result;
}

int PlayWaveFile(const std::string& path, PlaybackOptions options) {
  if (KeyStops()) return 0;
  const std::string translated = platform::TranslateWindowsPath(path);
  const std::string found = platform::FindPathIgnoringCase(translated).value_or(translated);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(text::OpenDataFile(found), std::fclose);
  if (!file) return -1;
  const int result = QueueWaveData(
      [&file](uint8_t* into, std::size_t n) { return std::fread(into, 1, n, file.get()); },
      // Seeking past the end succeeds, so a body longer than the file is found by the next read.
      [&file](uint32_t n) { return n == 0 || std::fseek(file.get(), static_cast<long>(n), SEEK_CUR) == 0; }, options);
  file.reset();
  while (WaveBusy()) CurrentHost().WaitMessage();
  return result;
}

bool WaveBusy() {
  Playback& s = ThePlayback();
  CurrentHost().PumpMessages();
  if ((State().keyStopsPlayback && CurrentHost().KeyAvailable()) || s.queued == 0) WaveStop();
  return s.queued > 0;
}

void WaveStop() {
  Playback& s = ThePlayback();
  if (!s.device) return;
  if (s.queued > 0) platform::WaveOutReset(s.device.get());
  CurrentHost().PumpMessages();
  platform::WaveOutClose(s.device);
  CurrentHost().PumpMessages();
  s.device.reset();
}

std::size_t CompressBlock(uint8_t* samples, std::size_t n, int bits, int rate) {
  if (bits == 16) {
    n /= 2;
    for (std::size_t i = 0; i < n; ++i) samples[i] = static_cast<uint8_t>(samples[2 * i + 1] ^ 0x80);
  }
  if (n < 1000) return n;
  const std::size_t start = rate == 11025 ? 200 : 800;
  const std::size_t skip = rate == 11025 ? 80 : 320;
  const std::size_t window = rate == 11025 ? 50 : 200;
  // The first position of the largest sample in [from, to], kept inside the block.
  const auto peak = [&](std::size_t from, std::size_t to) {
    to = std::min(to, n - 1);
    from = std::min(from, to);
    std::size_t best = from;
    for (std::size_t i = from + 1; i <= to; ++i) {
      if (samples[i] > samples[best]) best = i;
    }
    return best;
  };
  std::size_t current = peak(start, start + skip + window);
  std::size_t out = current;
  while (n > 2 * (skip + window) && n - 2 * (skip + window) > current) {
    const std::size_t p1 = peak(current + skip, current + skip + window);
    const std::size_t p2 = peak(p1 + skip, p1 + skip + window);
    std::memmove(samples + out, samples + p1, p2 - p1 + 1);
    out += p2 - p1 + 1;
    current = p2;
  }
  while (out < n && current < n && (samples[out] > 148 || samples[out] < 108)) samples[out++] = samples[current++];
  return out;
}

void CloseWaveOutput() {
  Playback& s = ThePlayback();
  if (!s.device) return;
  // The program ends: what still plays ends with it.
  if (platform::WaveOutClose(s.device) != platform::MMSYSERR_NOERROR) {
    platform::WaveOutReset(s.device.get());
    platform::WaveOutClose(s.device);
  }
  s.device.reset();
  s.queued = 0;
  s.locked = {};
}

int WaveQueuedBlocks() { return ThePlayback().queued; }

uint64_t WaveLastEndMs() { return ThePlayback().lastEndMs; }

}  // namespace speech
