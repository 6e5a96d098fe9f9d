#include "mbrola_front/mbrola_engine.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "mbrola_front/binding.h"
#include "mbrola_front/prosody.h"
#include "mbrola_front/text_codec.h"
#include "platform/core/win.h"
#include "platform/services/files.h"
#include "platform/services/registry.h"
#include "speech/host.h"
#include "speech/settings.h"
#include "speech/speak.h"
#include "speech/wave.h"
#include "text/cp1252.h"
#include "text/files.h"
#include "text/wave.h"

namespace mbrola_front {
namespace {

constexpr std::size_t LastErrorLimit = 255;

// The suite's own places, in Windows form: the front end's files and, for a database
// registered without a path, our voice of that name.
constexpr std::string_view DefaultFrontEndFolder = "c:\\lorben\\front\\";
constexpr std::string_view DefaultDatabasePath = "c:\\lorben\\mbrola\\br4";
constexpr std::string_view DatabasesKey = "SOFTWARE\\TCTS\\Mbrola\\databases\\";

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

// What the engine keeps between calls.
struct MbrolaEngine::State {
  bool located = false;
  FrontEndLocation location;
  double pitchFactor = 1.0;
  double durationFactor = 1.0;
  std::string outputName;
  bool fileMode = false;
  File output;
  std::string lastError;
  FrontEndData data;
  PhoLineState phoState;  // what the pipeline carries from one text to the next
  std::array<short, ReadBufferSamples> readBuffer{};
  // Up to two half-second blocks of samples.
  std::array<uint8_t, 2 * PlayBlockBytes> playBuffer{};
  bool stopped = false;  // speech was stopped (a key) since the last reply began
};

namespace {

using State = MbrolaEngine::State;

void SetLastError(State& s, std::string_view text) { s.lastError = std::string(text.substr(0, LastErrorLimit)); }

void PostWake() { speech::CurrentHost().Wake(); }

// The registered database's file, or nothing.
std::optional<std::string> RegisteredDatabase(std::string_view name) {
  return platform::ReadRegistryString(platform::RegistryRoot::LocalMachine,
                                      std::string(DatabasesKey) + std::string(name) + "\\");
}

// Our own voice file for a database name, when the data holds one.
std::optional<std::string> OwnVoice(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos) {
    return std::nullopt;
  }
  return platform::FindPathIgnoringCase(platform::DataRoot() + "/mbrola/" + std::string(name) + ".voice");
}

std::string WithSlash(std::string folder) {
  if (!text::EndsWithSeparator(folder)) folder += '/';
  return folder;
}

std::string ExistingOrAsGiven(const std::string& path) { return platform::FindPathIgnoringCase(path).value_or(path); }

std::string Translated(const std::string& path) { return ExistingOrAsGiven(platform::TranslateWindowsPath(path)); }

// Hands the samples gathered in the play buffer to wave playback. MBROLA's samples play at
// their own rate and uncut.
void HandOver(State& s, std::size_t bytes) {
  const speech::Sound sound{std::span<const uint8_t>(s.playBuffer.data(), bytes), {MbrolaSampleRate, 16, 1}};
  speech::PlayPcm(sound, speech::PlaybackOptions{.fast = false, .cut = false});
}

// How much of a reply's leading silence (the boundary pause before its first phoneme)
// is left out, in bytes: none while other sound is still playing; all of it when nothing
// has played yet or speech was stopped since (the player pressed a key: the answer comes
// at once); otherwise as much of it as the quiet since the last sound has already lasted,
// so that a reply that follows another keeps the whole pause between them.
std::size_t LeadingSilenceToLeaveOut(State& s) {
  const bool stopped = std::exchange(s.stopped, false);
  if (speech::WaveQueuedBlocks() > 0) return 0;
  const uint64_t lastEnd = speech::WaveLastEndMs();
  if (stopped || lastEnd == 0) return std::numeric_limits<std::size_t>::max();
  const uint64_t now = platform::NowMs();
  const uint64_t quietMs = now >= lastEnd ? std::min<uint64_t>(now - lastEnd, 60000) : 60000;
  return static_cast<std::size_t>(quietMs * MbrolaSampleRate / 1000 * 2);
}

// Passes over the silent samples (exact zeros) that begin 'samples', at most 'leaveOut'
// bytes of them; 'leaveOut' becomes 0 at the first sound.
std::span<const uint8_t> WithoutLeadingSilence(std::span<const uint8_t> samples, std::size_t& leaveOut) {
  std::size_t at = 0;
  while (at + 1 < samples.size() && at < leaveOut && samples[at] == 0 && samples[at + 1] == 0) at += 2;
  leaveOut = at < samples.size() ? 0 : leaveOut - std::min(at, leaveOut);
  return samples.subspan(at);
}

// Reads what MBROLA has ready; 0 (and the error cleared) when the read fails.
std::size_t ReadSamples(State& s, bool& result) {
  const MbrolaEntryPoints& mbr = Mbrola();
  const int samples = mbr.read_MBR(s.readBuffer.data(), ReadBufferSamples);
  if (samples < 0) {
    if (mbr.lastError_MBR() != 0) {
      mbr.reset_MBR();
      result = false;
    }
    return 0;
  }
  return 2 * static_cast<std::size_t>(std::min(samples, ReadBufferSamples));
}

// Writes the header of the output file for the data written so far.
bool FinishOutputFile(const std::string& path) {
  File file(text::OpenFile(path, "r+b"));
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  if (size < static_cast<long>(text::WaveHeaderSize)) return false;
  const std::vector<uint8_t> header = MakeWaveHeader(static_cast<uint32_t>(size - 44));
  return std::fseek(file.get(), 0, SEEK_SET) == 0 &&
         std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
}

void CloseOutputFile(State& s) {
  if (!s.fileMode) return;
  s.output.reset();
  FinishOutputFile(platform::TranslateWindowsPath(s.outputName));
  s.fileMode = false;
}

void CloseMbrola() {
  if (MbrolaLibraryLoaded()) Mbrola().close_MBR();
  UnloadMbrolaLibrary();
}

}  // namespace

MbrolaEngine::MbrolaEngine() : s_(std::make_unique<State>()) {}

MbrolaEngine::~MbrolaEngine() = default;

const FrontEndLocation& MbrolaEngine::LocateFiles() {
  State& s = *s_;
  std::string database = speech::ReadSuiteSetting("ORLENTTS", "MBROLA_DB");
  std::string folder = speech::ReadSuiteSetting("ORLENTTS", "DIR");
  std::string base = speech::ReadSuiteSetting("ORLENTTS", "BASE");
  std::string library = speech::ReadSuiteSetting("ORLENTTS", "MBROLA_LIB");
  if (database.empty()) database = "br4";
  if (base.empty()) base = "portug";
  if (folder.empty()) {
    // The folder of the registered voice, when the front end's files were put beside it.
    if (const auto registered = RegisteredDatabase("BR4"); registered && registered->size() > 3) {
      const std::string candidate = registered->substr(0, registered->size() - 3);
      if (platform::FileExists(WithSlash(platform::TranslateWindowsPath(candidate)) + base + ".nrl"))
        folder = candidate;
    }
    if (folder.empty()) folder = DefaultFrontEndFolder;
  }
  if (library.empty()) library = MbrolaLibraryName;
  folder = WithSlash(platform::TranslateWindowsPath(folder));
  s.location = {database, library, FrontEndFilesIn(folder, base)};
  s.located = true;
  return s.location;
}

const FrontEndLocation& MbrolaEngine::Located() {
  if (!s_->located) LocateFiles();
  return s_->location;
}

std::vector<uint8_t> MakeWaveHeader(uint32_t dataSize) {
  std::vector<uint8_t> header(text::WaveHeaderSize);
  text::WriteWaveHeader(header, MbrolaSampleRate, 16, 1, dataSize);
  return header;
}

bool MbrolaEngine::OpenFrontEnd(const std::string& databaseName, const std::string& rules,
                                const std::string& exceptions, const std::string& abbreviations,
                                const std::string& prosody, const std::string& diphones) {
  State& s = *s_;
  s.lastError.clear();
  // Opening again: the earlier output file is finished and the earlier voice closed first.
  CloseOutputFile(s);
  CloseMbrola();
  if (!LoadMbrolaLibrary(Located().library)) return false;
  const MbrolaEntryPoints& mbr = Mbrola();

  std::string database = databaseName.empty() ? "br4" : databaseName;
  const auto registered = RegisteredDatabase(database);
  const std::optional<std::string> ownVoice = OwnVoice(database);
  if (registered) {
    database = registered->empty() ? std::string(DefaultDatabasePath) : *registered;
  } else if (ownVoice) {
    database = *ownVoice;  // a bare name: our voice of that name
  }
  database = Translated(database);
  std::vector<char> path(database.begin(), database.end());
  path.push_back('\0');
  int opened = mbr.init_MBR(path.data());
  if (opened < 0 && registered && ownVoice) {
    // A voice registered for another synthesizer than the one loaded: ours of that name.
    path.assign(ownVoice->begin(), ownVoice->end());
    path.push_back('\0');
    opened = mbr.init_MBR(path.data());
  }
  if (opened < 0) {
    UnloadMbrolaLibrary();
    return false;
  }
  mbr.setNoError_MBR(1);

  s.data = {};
  const FrontEndFiles files{
      Translated(rules.empty() ? "portug.nrl" : rules), Translated(exceptions.empty() ? "portug.exc" : exceptions),
      Translated(abbreviations.empty() ? "portug.abr" : abbreviations),
      Translated(prosody.empty() ? "portug.pro" : prosody), Translated(diphones.empty() ? "portug.dfn" : diphones)};
  if (const FrontEndLoadError error = LoadFrontEndData(files, s.data, ShowConsoleMessage);
      error != FrontEndLoadError::None) {
    SetLastError(s, FrontEndLoadErrorText(error));
    s.data = {};
    CloseMbrola();
    return false;
  }

  if (s.outputName.empty()) {
    s.fileMode = false;
    return true;
  }
  File output(text::OpenFile(platform::TranslateWindowsPath(s.outputName), "wb"));
  const std::vector<uint8_t> header = MakeWaveHeader(0);
  if (!output || std::fwrite(header.data(), 1, header.size(), output.get()) != header.size() ||
      std::fflush(output.get()) != 0) {
    SetLastError(s, text::Utf8ToCp1252("Arquivo de saída não pode ser criado"));
    s.data = {};
    CloseMbrola();
    return false;
  }
  s.output = std::move(output);
  s.fileMode = true;
  return true;
}

void MbrolaEngine::CloseFrontEnd() {
  CloseOutputFile(*s_);
  s_->data = {};
  CloseMbrola();
}

bool MbrolaEngine::SpeakFrontEnd(std::string_view text) {
  State& s = *s_;
  bool result = true;
  if (TrimText(text).empty()) return true;
  if (!MbrolaLibraryLoaded()) return false;
  const MbrolaEntryPoints& mbr = Mbrola();
  const std::vector<std::string> lines = TextToPhoLines(s.data, s.phoState, text, {s.durationFactor, s.pitchFactor});

  mbr.reset_MBR();
  std::size_t leaveOut = s.fileMode ? 0 : LeadingSilenceToLeaveOut(s);
  std::size_t pos = 0;
  // The first samples are handed over as soon as a short block is ready, so that playback
  // starts while the rest of the reply is synthesized; after that, blocks of half a second.
  // 'halfSecondPos' follows where the blocks would end if the first were half a second too:
  // the end of the reply is padded as it would be then, so the samples heard are the same.
  bool started = false;
  std::size_t halfSecondPos = 0;
  uint8_t* const data = s.playBuffer.data();
  std::string line;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool last = i + 1 == lines.size();
    if (lines[i].empty() && !last) continue;
    LogPhoLine(lines[i]);
    line = lines[i] + "\r\n";
    mbr.write_MBR(line.data());
    if (mbr.lastError_MBR() != 0) {
      mbr.reset_MBR();
      result = false;
    }
    if (last) mbr.flush_MBR();
    for (std::size_t read = ReadSamples(s, result); read > 0; read = ReadSamples(s, result)) {
      const auto* samples = reinterpret_cast<const uint8_t*>(s.readBuffer.data());
      if (leaveOut > 0) {
        const std::span<const uint8_t> kept = WithoutLeadingSilence({samples, read}, leaveOut);
        samples = kept.data();
        read = kept.size();
        if (read == 0) continue;
      }
      const std::size_t n = read;
      if (s.fileMode) {
        if (std::fwrite(samples, 1, n, s.output.get()) != n || std::fflush(s.output.get()) != 0) result = false;
        continue;
      }
      if (halfSecondPos + n >= PlayBlockBytes && halfSecondPos > 0) halfSecondPos = 0;
      halfSecondPos += n;
      if (pos + n >= PlayBlockBytes && pos > 0) {
        HandOver(s, pos);
        pos = 0;
      }
      std::copy(samples, samples + n, data + pos);
      pos += n;
      if (!started && pos >= FirstBlockBytes) {
        HandOver(s, pos);
        pos = 0;
      }
      started = started || pos == 0;
    }
  }
  if (!s.fileMode && halfSecondPos > 0 && halfSecondPos < MinimumBlockBytes) {
    // The short end of the reply is padded with silence to the smallest block.
    const std::size_t padding = MinimumBlockBytes - halfSecondPos;
    std::fill(data + pos, data + pos + padding, uint8_t{0});
    pos += padding;
  }
  if (!s.fileMode && pos > 0) HandOver(s, pos);
  return result;
}

bool MbrolaEngine::FrontEndBusy() { return !s_->fileMode && speech::WaveBusy(); }

void MbrolaEngine::StopFrontEnd() {
  s_->stopped = true;
  if (!s_->fileMode) speech::WaveStop();
}

void MbrolaEngine::SetOutputFile(const std::string& name) { s_->outputName = name; }

void MbrolaEngine::SetFactors(double pitchFactor, double durationFactor) {
  s_->pitchFactor = pitchFactor;
  s_->durationFactor = durationFactor;
}

double MbrolaEngine::PitchFactor() const { return s_->pitchFactor; }
double MbrolaEngine::DurationFactor() const { return s_->durationFactor; }
bool MbrolaEngine::FileMode() const { return s_->fileMode; }
const std::string& MbrolaEngine::LastErrorText() const { return s_->lastError; }

void ShowConsoleMessage(std::string_view title, std::string_view text) {
  (void)title;  // the console has no caption per message; the text says what it is about
  speech::SpeakWriteLine(text);
  // A message box stays until it is answered: only Enter closes this one.
  for (;;) {
    const uint8_t key = speech::CurrentHost().WaitKey();
    if (key == 13) break;
    if (key == 0) speech::CurrentHost().WaitKey();  // the second byte of a special key
  }
  speech::WaveStop();
}

bool MbrolaEngine::Open(int /*voice*/, int rate, int pitch, const std::string& outputFile) {
  const FrontEndLocation& where = Located();
  SetOutputFile(outputFile);
  const bool opened = OpenFrontEnd(where.database, where.files.rules, where.files.exceptions, where.files.abbreviations,
                                   where.files.prosody, where.files.diphones);
  SetFactors(speech::MbrolaPitchFactor(pitch), speech::MbrolaDurationFactor(rate));
  return opened;
}

void MbrolaEngine::Close() {
  while (Busy(0)) speech::CurrentHost().Pause(500);
  Stop();
  CloseFrontEnd();
}

void MbrolaEngine::Speak(std::string_view text) {
  SpeakFrontEnd(text);
  PostWake();
}

bool MbrolaEngine::Busy(int /*mode*/) {
  bool busy = FrontEndBusy();
  if (speech::CurrentHost().KeyAvailable()) {
    Stop();
    busy = false;
  }
  PostWake();
  return busy;
}

void MbrolaEngine::Stop() {
  StopFrontEnd();
  PostWake();
}

void RegisterMbrolaEngine() { speech::SetEngine(speech::EngineKind::Mbrola, std::make_unique<MbrolaEngine>()); }

}  // namespace mbrola_front
