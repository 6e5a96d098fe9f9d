#include "speech/cues.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <unordered_map>

#include "platform/files.h"
#include "platform/win.h"
#include "speech/engine.h"
#include "speech/host.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/case.h"
#include "text/files.h"
#include "text/wave.h"

namespace speech {

namespace {

constexpr std::size_t HeaderBytes = text::WaveHeaderSize;

// The click: a short burst of noise above the silence level, then silence.
const std::array<uint8_t, 256>& ClickSamples() {
  static const std::array<uint8_t, 256> samples = [] {
    std::array<uint8_t, 256> s{};
    std::minstd_rand random(0x5EED);
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = i < 64 ? static_cast<uint8_t>(128 + random() % 60) : 128;
    return s;
  }();
  return samples;
}

void PlayImageAndWait(std::span<const uint8_t> image) {
  PlayWaveBuffer(image);
  WaitUntilSilent();
}

// ---- kept recordings ----

// Recordings are small (a letter, a word); a larger file is read from disk each time.
constexpr std::size_t KeptFileLimit = 4 << 20;

struct KeptFile {
  std::string found;  // the file read; empty when there was none
  text::FileStamp stamp;
  std::shared_ptr<const std::vector<uint8_t>> bytes;
};
std::unordered_map<std::string, KeptFile> gKept;  // by the Linux path asked for

// Reads the file into 'kept'; false when it is too large to keep.
bool ReadKept(const std::string& translated, KeptFile& kept) {
  kept = KeptFile{};
  const std::string found = platform::FindPathIgnoringCase(translated).value_or(translated);
  // Only a regular file is opened: a FIFO or a device in its place would block.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(text::OpenDataFile(found), std::fclose);
  if (!file) return true;
  const std::optional<text::FileStamp> stamp = text::StampOf(file.get());
  if (!stamp || !stamp->regular) return true;
  if (static_cast<uint64_t>(stamp->size) > KeptFileLimit) return false;
  auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<std::size_t>(stamp->size));
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file.get()));
  kept.found = found;
  kept.stamp = *stamp;
  kept.bytes = std::move(bytes);
  return true;
}

bool KeyStops() { return State().keyStopsPlayback && CurrentHost().KeyAvailable(); }

RecordedSoundListener gSoundListener = nullptr;

}  // namespace

std::shared_ptr<const std::vector<uint8_t>> RecordedFile(const std::string& path, bool& tooLarge) {
  tooLarge = false;
  const std::string translated = platform::TranslateWindowsPath(path);
  auto [entry, added] = gKept.try_emplace(translated);
  KeptFile& kept = entry->second;
  const std::optional<text::FileStamp> now = text::StampOf(kept.found.empty() ? translated : kept.found);
  const bool current = !added && (kept.found.empty() ? !now : now && *now == kept.stamp);
  if (!current && !ReadKept(translated, kept)) {
    gKept.erase(entry);
    tooLarge = true;
    return nullptr;
  }
  return kept.bytes;
}

void ListenToRecordedSounds(RecordedSoundListener listener) { gSoundListener = listener; }

void TellRecordedSound(std::string_view name) {
  if (gSoundListener) gSoundListener(name);
}

int PlayRecordedFile(const std::string& path) {
  if (KeyStops()) return 0;
  if (gSoundListener) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view file = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    gSoundListener(file.substr(0, file.rfind('.')));
  }
  bool tooLarge = false;
  const auto kept = RecordedFile(path, tooLarge);
  if (tooLarge) return PlayWaveFile(path);
  if (!kept) return -1;
  // Read as PlayWaveFile reads the file: the same checks, the same blocks, the same result.
  const std::vector<uint8_t>& file = *kept;
  std::size_t at = 0;
  const int result = QueueWaveData(
      [&](uint8_t* into, std::size_t n) {
        if (at >= file.size()) return std::size_t{0};
        const std::size_t got = std::min(n, file.size() - at);
        std::copy_n(file.data() + at, got, into);
        at += got;
        return got;
      },
      [&](uint32_t n) {
        at += n;  // past the end is found by the next read
        return true;
      });
  while (WaveBusy()) platform::WaitMessage();
  return result;
}

void SpellText(std::string_view text) {
  for (const char c : text) {
    if (CurrentHost().KeyAvailable()) return;
    PlayCharSound(static_cast<uint8_t>(c));
  }
}

void PlayCharSound(uint8_t code) {
  WaitSpeech();
  PlayRecordedFile(State().lettersFolder + "_" + std::to_string(code) + ".wav");
}

void PlaySoundFile(std::string_view name) {
  WaitSpeech();
  const std::string& folder = !name.empty() && name.front() == '_' ? State().lettersFolder : State().soundFolder;
  PlayRecordedFile(folder + std::string(name) + ".wav");
}

void PlayClick() {
  WaitSpeech();
  const bool cut = State().cutSpeech;
  State().cutSpeech = false;
  std::array<uint8_t, HeaderBytes + 256> image{};
  text::WriteWaveHeader(image, 11025, 8, 1, 256);
  const auto& samples = ClickSamples();
  std::copy(samples.begin(), samples.end(), image.begin() + HeaderBytes);
  PlayImageAndWait(image);
  State().cutSpeech = cut;
}

void PlayTone() {
  WaitSpeech();
  // Keys typed ahead are thrown away, so that they cannot cut the tone short.
  while (CurrentHost().KeyAvailable()) CurrentHost().WaitKey();
  static constexpr uint8_t Pattern[8] = {128, 112, 96, 80, 64, 80, 96, 112};
  std::array<uint8_t, HeaderBytes + 512> image{};
  text::WriteWaveHeader(image, 11025, 8, 1, 512);
  for (std::size_t i = 0; i < 512; ++i) image[HeaderBytes + i] = Pattern[i % 8];
  image.back() = 128;
  PlayImageAndWait(image);
}

bool SpeechBusy() {
  if (CurrentHost().KeyAvailable()) {
    StopSpeech();
    return false;
  }
  if (State().engineActive) return WaveBusy() || EngineBusy(0);
  return WaveBusy();
}

void WaitUntilSilent() {
  while (SpeechBusy()) platform::WaitMessage();
}

void WaitSpeech() {
  if (!State().waitBeforeSound) return;
  WaitUntilSilent();
  State().waitBeforeSound = false;
}

void StopSpeech() {
  WaveStop();
  State().stopRequested = true;
  if (State().engineActive && (EngineBusy(0) || State().engineType == EngineKind::Mbrola)) EngineStop();
  platform::PostMessage(platform::ConsoleWindowHandle, SpeechWakeMessage);
}

uint8_t ReadKeySpoken() {
  const uint8_t key = CurrentHost().WaitKey();
  StopSpeech();
  PlayCharSound(key);
  return key;
}

void PlayDialTones(std::string_view text) {
  if (State().silent) return;  // nothing to hear, so nothing to wait for
  const bool fast = State().fastPlayback;
  State().fastPlayback = false;
  for (const char c : text::UpperText(text)) {
    // A waiting key ends the dialling, pauses and all.
    if (CurrentHost().KeyAvailable()) break;
    if (c == '#' || c == '*' || (c >= '0' && c <= '9')) {
      PlayRecordedFile(State().lettersFolder + "dtmf_" + (c == '*' ? 'X' : c) + ".wav");
      WaitUntilSilent();
      CurrentHost().Pause(100);
    } else if (c == ',') {
      CurrentHost().Pause(1000);
    }
  }
  State().fastPlayback = fast;
}

void PlaySoundBuffer(std::span<const uint8_t> image) {
  WaitSpeech();
  PlayImageAndWait(image);
}

}  // namespace speech
