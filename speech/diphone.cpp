#include "speech/diphone.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/diphone_token.h"
#include "speech/host.h"
#include "speech/settings.h"
#include "speech/state.h"
#include "text/files.h"
#include "text/wave.h"

namespace speech {
namespace {

constexpr std::size_t SilenceBlock = 100;
constexpr std::size_t NoiseSamples = 300;
constexpr uint8_t SilenceLevel = 128;

DiphoneVoice& Voice() { return TheSpeech().voice; }

bool IsStressedVowel(char c) { return std::strchr("AEIOU", c) != nullptr && c != 0; }

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// ---- the output buffer ----

void Flush() {
  DiphoneVoice& s = Voice();
  if (s.write == 0) return;
  PlaySoundBuffer({std::span<const uint8_t>(s.buffer.data(), s.write), {DiphoneSampleRate, 8, 1}});
  s.write = 0;
}

// Flushes when n more samples would reach the end of the buffer. Returns how many of the
// n samples fit (all of them unless a single piece is longer than the whole buffer).
std::size_t MakeRoom(std::size_t n) {
  if (Voice().write + n >= DiphoneBufferSize) {
    Flush();
    while (SpeechBusy()) CurrentHost().WaitMessage();
  }
  return std::min(n, DiphoneBufferSize - Voice().write);
}

void AppendSilence(std::size_t n) {
  DiphoneVoice& voice = Voice();
  for (std::size_t block = 0; block < n / SilenceBlock; ++block) {
    const std::size_t room = MakeRoom(SilenceBlock);
    std::memset(voice.buffer.data() + voice.write, SilenceLevel, room);
    voice.write += room;
  }
}

void AppendNoise() {
  DiphoneVoice& voice = Voice();
  const std::size_t room = MakeRoom(NoiseSamples);
  for (std::size_t i = 0; i < room; ++i) {
    voice.noiseSeed = voice.noiseSeed * 1103515245u + 12345u;
    voice.buffer[voice.write++] = static_cast<uint8_t>(88 + (voice.noiseSeed >> 16) % 80);
  }
}

bool AppendUnit(std::string_view name, bool stressed, double factor) {
  DiphoneVoice& voice = Voice();
  const text::DiphoneRecord* record = FindDiphoneUnit(voice.index, name);
  if (!record || !voice.soundFile) return false;
  // In 64 bits: no cut or minimum the settings can hold overflows here.
  const int64_t length = std::max<int64_t>(record->lengthSamples, 0);
  int64_t kept = length;
  if (!stressed && name.size() >= 3) {
    kept = length - voice.settings.unitCutSamples;
    if (kept < voice.settings.unitMinimumSamples) kept = std::min<int64_t>(length, voice.settings.unitMinimumSamples);
  }
  // A negative cut or minimum from the configuration must not reach into the next unit.
  kept = std::clamp<int64_t>(kept, 0, length);
  const auto wanted = static_cast<std::size_t>(static_cast<double>(kept) * std::clamp(factor, 0.0, 1.0));
  const std::size_t room = MakeRoom(wanted);
  // The index was checked against the file's size when the database was opened: a short
  // read means the file has changed since, and the unit is silent.
  const std::size_t got = voice.soundFile->ReadAt(record->offset, voice.buffer.data() + voice.write, room);
  if (got < room) voice.soundDamaged = true;
  voice.write += got;
  return true;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// AppendRecording for a file too large to keep: read from the file itself.
bool AppendRecordingFromFile(std::string_view name) {
  DiphoneVoice& voice = Voice();
  const std::string windowsPath = State().lettersFolder + std::string(name) + ".wav";
  const auto path = platform::FindPathIgnoringCase(platform::TranslateWindowsPath(windowsPath));
  if (!path) return false;
  std::unique_ptr<std::FILE, FileCloser> file(text::OpenDataFile(*path));
  if (!file) return false;
  const auto header =
      text::ReadWaveHeader([&file](uint8_t* into, std::size_t n) { return std::fread(into, 1, n, file.get()) == n; },
                           [&file](uint32_t n) { return std::fseek(file.get(), static_cast<long>(n), SEEK_CUR) == 0; });
  if (!header || header->dataLength == 0) return false;
  const std::size_t room = MakeRoom(header->dataLength);
  const std::size_t got = std::fread(voice.buffer.data() + voice.write, 1, room, file.get());
  if (got == 0) return false;
  voice.write += got;
  return true;
}

// Appends the samples of State().lettersFolder + name + ".wav" as they are (an 11025 Hz 8-bit mono
// recording); false when the file is missing, not a wave file or has no samples. The
// recording is read once and kept.
bool AppendRecording(std::string_view name) {
  DiphoneVoice& voice = Voice();
  bool tooLarge = false;
  const auto kept = RecordedFile(State().lettersFolder + std::string(name) + ".wav", tooLarge);
  if (tooLarge) return AppendRecordingFromFile(name);
  if (!kept) return false;
  const auto wave = text::ParseWaveImage(*kept);
  if (!wave || wave->dataLength == 0) return false;
  const std::size_t room = MakeRoom(wave->dataLength);
  const std::size_t got = std::min(room, wave->data.size());
  if (got == 0) return false;
  std::memcpy(voice.buffer.data() + voice.write, wave->data.data(), got);
  voice.write += got;
  return true;
}

// ---- from transcription to units ----

void SpeakUnit(const std::string& name, bool stressed, double factor) {
  const bool found = name.front() == '_' ? AppendRecording(name) : AppendUnit(name, stressed, factor);
  if (found) return;
  const std::size_t n = name.size();
  if (n <= 2) {
    AppendNoise();
    return;
  }
  const char last = name.back();
  if (IsVowel(last)) {
    SpeakUnit(name.substr(0, n - 1), stressed, factor * 0.9);
    SpeakUnit(std::string("$") + last, stressed, factor);
  } else if (EndsWith(name, "CIRC") && n >= 7) {
    SpeakUnit(name.substr(0, n - 5), stressed, factor * 0.9);
    SpeakUnit("$" + name.substr(n - 5), stressed, factor);
  } else if (EndsWith(name, "TIL")) {
    // A nasal vowel missing from the database: the closed vowel, then a short nasal.
    const std::string base = name.substr(0, n - 3);
    const char vowel = base.empty() ? 0 : base.back();
    if (vowel == 'I' || vowel == 'i' || vowel == 'U' || vowel == 'u') {
      SpeakUnit(base, stressed, factor * 0.9);
    } else {
      SpeakUnit(base + "CIRC", true, factor * 0.9);
    }
    SpeakUnit("$nn", false, 0.9);
  }
}

void SpeakSyllable(std::string_view part, double factor) {
  DiphoneVoice& voice = Voice();
  std::string name = "$";
  bool stressedHere = false;
  if (!part.empty() && part.front() == '_') {
    // "_x" plays the recording of the character x; the marker's own name is kept whole.
    if (part == "_TRACO") {
      name = std::string(part);
    } else {
      name = "_" + std::to_string(part.size() > 1 ? static_cast<uint8_t>(part[1]) : 0);
    }
  } else {
    for (const char ch : part) {
      if (IsStressedVowel(ch)) {
        voice.stressed = true;
        stressedHere = true;
      }
      if (ch == '^') {
        SpeakUnit(name + "CIRC", voice.stressed, factor);
        name = "$";
      } else if (ch == '~') {
        SpeakUnit(name + "TIL", voice.stressed, factor);
        name = "$";
      } else {
        name += ch;
      }
    }
  }
  if (name != "$") SpeakUnit(name, voice.stressed, factor);
  if (stressedHere) voice.stressed = false;
}

void SpeakSegment(std::string_view s, double factor) {
  ForEachDiphoneSyllable(s, factor, [](std::string_view part, double partFactor) { SpeakSyllable(part, partFactor); });
}

bool ValidIndex(const std::vector<text::DiphoneRecord>& records, uint64_t soundSize) {
  return std::all_of(records.begin(), records.end(), [soundSize](const text::DiphoneRecord& r) {
    return uint64_t{r.offset} + r.lengthSamples <= soundSize;
  });
}

}  // namespace

void SetDiphoneSettings(const DiphoneSettings& settings) {
  DiphoneVoice& voice = Voice();
  voice.settings = settings;
  if (voice.settings.databaseName.size() > DiphoneNameMaximum) voice.settings.databaseName.resize(DiphoneNameMaximum);
}

const DiphoneSettings& CurrentDiphoneSettings() { return Voice().settings; }

namespace {

// Orders a record's name against the upper-cased name as std::string::compare would order
// it against an upper-cased copy: bytes as unsigned values, a prefix first.
int CompareWithUpper(std::string_view record, std::string_view name) {
  const std::size_t common = std::min(record.size(), name.size());
  for (std::size_t i = 0; i < common; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    const auto a = static_cast<uint8_t>(record[i]), b = static_cast<uint8_t>(c);
    if (a != b) return a < b ? -1 : 1;
  }
  return record.size() < name.size() ? -1 : (record.size() > name.size() ? 1 : 0);
}

}  // namespace

const text::DiphoneRecord* FindDiphoneUnit(std::span<const text::DiphoneRecord> records, std::string_view name) {
  std::size_t first = 0, last = records.size();
  while (first < last) {
    const std::size_t middle = first + (last - first) / 2;
    const int order = CompareWithUpper(records[middle].name, name);
    if (order == 0) return &records[middle];
    if (order < 0) {
      first = middle + 1;
    } else {
      last = middle;
    }
  }
  return nullptr;
}

namespace {

// Why a folder named by a setting cannot be used.
std::string FolderReason(const std::string& path) {
  return platform::FindPathIgnoringCase(path) ? "is not a folder" : "does not exist";
}

// The folder a Windows-directory setting names, ending in '/'; nothing (and the problem)
// when it is not a folder. 'setting' gets the key when the player's value chose it.
std::optional<std::string> SettingFolder(std::string_view key, std::string_view defaultValue, std::string& setting,
                                         SpeechDataProblem& problem) {
  const std::string value = ReadWindowsDirectorySetting("TRADUTOR", key, defaultValue, 81);
  setting = value == defaultValue ? "" : std::string(key);
  const std::string path = platform::TranslateWindowsPath(WithFolderSeparator(value));
  auto folder = platform::FindPathIgnoringCase(path);
  if (!folder || !platform::DirectoryExists(*folder)) {
    problem = {path, FolderReason(path), setting};
    return std::nullopt;
  }
  if (!text::EndsWithSeparator(*folder)) *folder += '/';
  return folder;
}

bool NamesAUnit(const std::vector<text::DiphoneRecord>& records) {
  return std::any_of(records.begin(), records.end(), [](const text::DiphoneRecord& r) { return !r.name.empty(); });
}

bool TryOpenDiphoneDatabase(SpeechDataProblem& problem) {
  DiphoneVoice& voice = Voice();
  std::string setting;
  if (!SettingFolder("DIRLETRAS", "c:\\lorben\\som\\letras\\", setting, problem)) return false;
  const auto folder = SettingFolder("DIRDIFONES", "c:\\lorben\\som\\difones", setting, problem);
  if (!folder) return false;
  const std::string rateKey = "DIFONES" + std::to_string(State().rate);
  if (voice.settings.databaseName.empty()) {
    problem = {*folder, "has no database: " + rateKey + " in [SINTETIZADOR] names none", rateKey};
    return false;
  }

  const std::string indexGiven = *folder + voice.settings.databaseName + ".IND";
  const std::string soundGiven = *folder + voice.settings.databaseName + ".DIF";
  const std::string indexPath = platform::FindPathIgnoringCase(indexGiven).value_or(indexGiven);
  const std::string soundPath = platform::FindPathIgnoringCase(soundGiven).value_or(soundGiven);
  text::FileRefusal refusal = text::FileRefusal::None;
  const auto indexBytes = text::ReadWholeFile(indexPath, text::DataFileLimit, &refusal);
  if (!indexBytes) {
    // Missing from a folder the player chose: that setting is what to look at.
    problem = {indexPath, text::RefusalText(refusal), refusal == text::FileRefusal::Missing ? setting : ""};
    return false;
  }
  std::vector<text::DiphoneRecord> index;
  if (!text::ParseDiphoneIndex(std::span(reinterpret_cast<const uint8_t*>(indexBytes->data()), indexBytes->size()),
                               index)) {
    problem = {indexPath, "is not a diphone index (its names are too long or out of order)", {}};
    return false;
  }
  // An index that names nothing would make every unit a noise burst.
  if (index.empty() || !NamesAUnit(index)) {
    problem = {indexPath, index.empty() ? "is empty" : "names no units", {}};
    return false;
  }
  std::optional<text::RandomAccessFile> sound = text::RandomAccessFile::Open(soundPath, &refusal);
  if (!sound) {
    problem = {soundPath, text::RefusalText(refusal), refusal == text::FileRefusal::Missing ? setting : ""};
    return false;
  }
  if (!ValidIndex(index, sound->Size())) {
    problem = {soundPath, "is shorter than its index " + indexPath + " says", {}};
    return false;
  }
  voice.index = std::move(index);
  voice.soundFile = std::move(sound);
  voice.soundPath = soundPath;
  voice.folder = *folder;
  return true;
}

}  // namespace

bool OpenDiphoneDatabase(SpeechDataProblem* problem) {
  CloseDiphoneDatabase();
  SpeechDataProblem found;
  const bool opened = TryOpenDiphoneDatabase(found);
  if (!opened && problem) *problem = std::move(found);
  return opened;
}

void CloseDiphoneDatabase() {
  DiphoneVoice& voice = Voice();
  voice.index.clear();
  voice.soundFile.reset();
  voice.soundPath.clear();
  voice.soundDamaged = false;
  voice.folder.clear();
}

bool DiphoneDatabaseOpen() { return Voice().soundFile.has_value(); }

bool DiphoneSoundDamaged() { return Voice().soundDamaged; }

const std::string& DiphoneSoundPath() { return Voice().soundPath; }

const std::string& DiphoneFolder() { return Voice().folder; }

void AllocateDiphoneBuffer() { Voice().buffer.assign(DiphoneBufferSize, SilenceLevel); }

void FreeDiphoneBuffer() { std::vector<uint8_t>().swap(Voice().buffer); }

void SpeakPhonetic(std::string_view transcription) {
  DiphoneVoice& voice = Voice();
  if (voice.buffer.size() != DiphoneBufferSize) return;
  voice.write = 0;
  voice.stressed = false;
  std::size_t position = 0;
  while (position < transcription.size()) {
    const DiphoneToken token = NextDiphoneToken(transcription, position, voice.stressed);
    AppendSilence(token.silenceSamples);
    SpeakSegment(token.text, 1.0);
    if (position < transcription.size() && token.ending != ' ') {
      AppendSilence(static_cast<std::size_t>(std::max(0, voice.settings.tokenGapSamples)));
    }
  }
  Flush();
}

}  // namespace speech
