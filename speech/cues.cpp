#include "speech/cues.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <random>

#include "platform/services/files.h"
#include "speech/engine.h"
#include "speech/host.h"
#include "speech/state.h"
#include "speech/wave.h"
#include "text/case.h"
#include "text/files.h"

namespace speech {

namespace {

// The click and the tone: 8-bit mono at 11025 Hz.
constexpr platform::WaveFormat CueFormat{11025, 8, 1};

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

void PlayAndWait(const Sound& sound, PlaybackOptions options) {
  PlayPcm(sound, options);
  WaitUntilSilent();
}

// ---- kept recordings ----

// Recordings are small (a letter, a word); a larger file is read from disk each time.
constexpr std::size_t KeptRecordingLimit = 4 << 20;

// Reads the file into 'kept'; false when it is too large to keep.
bool ReadKept(const std::string& translated, KeptRecording& kept) {
  kept = KeptRecording{};
  const std::string found = platform::FindPathIgnoringCase(translated).value_or(translated);
  // Only a regular file is opened: a FIFO or a device in its place would block.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(text::OpenDataFile(found), std::fclose);
  if (!file) return true;
  const std::optional<text::FileStamp> stamp = text::StampOf(file.get());
  if (!stamp || !stamp->regular) return true;
  if (static_cast<uint64_t>(stamp->size) > KeptRecordingLimit) return false;
  auto bytes = std::make_shared<std::vector<uint8_t>>(static_cast<std::size_t>(stamp->size));
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file.get()));
  kept.found = found;
  kept.stamp = *stamp;
  kept.bytes = std::move(bytes);
  return true;
}

bool KeyStops() { return State().keyStopsPlayback && CurrentHost().KeyAvailable(); }

}  // namespace

std::shared_ptr<const std::vector<uint8_t>> RecordedFile(const std::string& path, bool& tooLarge) {
  tooLarge = false;
  const std::string translated = platform::TranslateWindowsPath(path);
  KeptRecordings& kept = TheSpeech().recordings;
  auto [entry, added] = kept.try_emplace(translated);
  KeptRecording& recording = entry->second;
  const std::optional<text::FileStamp> now = text::StampOf(recording.found.empty() ? translated : recording.found);
  const bool current = !added && (recording.found.empty() ? !now : now && *now == recording.stamp);
  if (!current && !ReadKept(translated, recording)) {
    kept.erase(entry);
    tooLarge = true;
    return nullptr;
  }
  return recording.bytes;
}

void ListenToRecordedSounds(RecordedSoundListener listener) { TheSpeech().soundListener = listener; }

void TellRecordedSound(std::string_view name) {
  if (const auto listener = TheSpeech().soundListener) listener(name);
}

int PlayRecordedFile(const std::string& path, PlaybackOptions options) {
  if (KeyStops()) return 0;
  if (const auto listener = TheSpeech().soundListener) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view file = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    listener(file.substr(0, file.rfind('.')));
  }
  bool tooLarge = false;
  const auto kept = RecordedFile(path, tooLarge);
  if (tooLarge) return PlayWaveFile(path, options);
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
      },
      options);
  while (WaveBusy()) CurrentHost().WaitMessage();
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
  PlaybackOptions options = ConfiguredPlayback();
  options.cut = false;
  PlayAndWait({ClickSamples(), CueFormat}, options);
}

void PlayTone() {
  WaitSpeech();
  // Keys typed ahead are thrown away, so that they cannot cut the tone short.
  while (CurrentHost().KeyAvailable()) CurrentHost().WaitKey();
  static constexpr uint8_t Pattern[8] = {128, 112, 96, 80, 64, 80, 96, 112};
  std::array<uint8_t, 512> samples{};
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = Pattern[i % 8];
  samples.back() = 128;
  PlayAndWait({samples, CueFormat}, ConfiguredPlayback());
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
  while (SpeechBusy()) CurrentHost().WaitMessage();
}

void WaitSpeech() {
  if (!State().waitBeforeSound) return;
  WaitUntilSilent();
  State().waitBeforeSound = false;
}

void StopSpeech() {
  WaveStop();
  State().stopRequested = true;
  if (State().engineActive && (EngineBusy(0) || DescriptionOf(State().engineType).soundThroughWavePlayback)) {
    EngineStop();
  }
  CurrentHost().Wake();
}

uint8_t ReadKeySpoken() {
  const uint8_t key = CurrentHost().WaitKey();
  StopSpeech();
  PlayCharSound(key);
  return key;
}

void PlayDialTones(std::string_view text) {
  if (State().silent) return;  // nothing to hear, so nothing to wait for
  // The tones keep their pitch.
  PlaybackOptions options = ConfiguredPlayback();
  options.fast = false;
  for (const char c : text::UpperText(text)) {
    // A waiting key ends the dialling, pauses and all.
    if (CurrentHost().KeyAvailable()) break;
    if (c == '#' || c == '*' || (c >= '0' && c <= '9')) {
      PlayRecordedFile(State().lettersFolder + "dtmf_" + (c == '*' ? 'X' : c) + ".wav", options);
      WaitUntilSilent();
      CurrentHost().Pause(100);
    } else if (c == ',') {
      CurrentHost().Pause(1000);
    }
  }
}

void PlaySoundBuffer(const Sound& sound) {
  WaitSpeech();
  PlayAndWait(sound, ConfiguredPlayback());
}

}  // namespace speech
