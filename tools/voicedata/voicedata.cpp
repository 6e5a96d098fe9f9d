// voicedata: builds the built-in speech's data with espeak-ng (pt-br): the recordings of
// the letters folder and one diphone database per speech rate, holding every unit that
// the shipped rules make the synthesizer ask for on the game's texts, then the units of a
// word list that buy the most look-ups per byte, up to a size budget.
//
//   voicedata --out=ROOT --source-data=DIR [--texts=FILE]... [--words=FILE]
//             [--units=FILE] [--rates=12345] [--jobs=N] [--budget-mb=MB]
//             [--min-word-count=N] [--chunk=N] [--no-letters] [--list-units]
//   voicedata --report=FILE --source-data=DIR --words=FILE
//
// ROOT receives som/letras/ and som/difones/ (DIFONES1..5 .IND and .DIF, regras.rgr and
// portug.exc). --texts takes C++ sources (their "..."_text literals) or text files (their
// lines); every unit they ask for is built, whatever the budget. A unit that only the word
// list (--words) asks for is a candidate when it is asked for --min-word-count times (2 by
// default); candidates are taken by look-ups per estimated byte until everything under
// ROOT/som would pass --budget-mb (150 by default; 0 for no limit). --units builds exactly
// the units listed (one spelled name a line, "$kAza"). --list-units prints the index names
// of the units every build holds (the game's texts and what keeps the word list free of
// noise bursts) and stops. --report tells what the word list sounds like with the units of
// FILE (a database's .IND, or a list of index names) and stops.
//
// The output depends only on the inputs: espeak-ng carries state from one utterance to the
// next, so units are rendered in fixed chunks of --chunk units (128), each in a fresh
// process, and --jobs only says how many of those run at once.

#include "text/cp1252.h"
#include "text/diphone_index.h"
#include "text/files.h"
#include "text/wave.h"
#include "tools/game_texts.h"
#include "tools/voicedata/letters.h"
#include "tools/voicedata/render.h"
#include "tools/voicedata/units.h"
#include "translator/translator.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t LongestName = text::DiphoneNameMaximum;
constexpr int Rates = 5;
// espeak-ng words per minute for the built-in rates 1..5.
constexpr int WordsPerMinute[Rates] = {130, 155, 180, 210, 245};
constexpr float Threshold = 0.006f;

int Fail(const std::string& message) {
  std::cerr << "voicedata: " << message << "\n";
  return 2;
}

// The units seen: how each was spelled, which ones every build holds, and what the word
// list would gain from each other one.
struct UnitCounts {
  std::map<std::string, std::map<std::string, int>> spellings;  // key -> spelled -> count
  std::set<std::string> needed;                                 // keys kept whatever the budget
  std::map<std::string, long> direct;                           // key -> word-list look-ups that find it directly
  std::map<std::string, long> fallback;                         // key -> word-list look-ups that reach it by splitting
  long wordLookups = 0;                                         // every word-list look-up
  long wordStorable = 0;                                        // those whose name a unit can hold (8 characters)
  std::map<std::string, long> lookups;                          // key -> word-list look-ups of it, whatever its length

  void Spell(const std::string& spelled) { ++spellings[voicedata::UnitKey(spelled)][spelled]; }
  void Need(const std::string& spelled) {
    if (spelled.size() > LongestName) return;
    Spell(spelled);
    needed.insert(voicedata::UnitKey(spelled));
  }
};

// The game's texts: every unit they look up, and for a name too long to be a unit the
// pieces the synthesizer splits it into.
void CollectNeeded(const translator::Translator& translator, const std::string& cp1252, UnitCounts& units) {
  for (const std::string& run : voicedata::WordRuns(cp1252)) {
    voicedata::ForEachUnitLookup(translator::TranslateText(translator, run), [&](const voicedata::UnitLookup& u) {
      voicedata::ForEachFallbackName(u.spelled, LongestName, [&](const std::string& name) { units.Need(name); });
    });
  }
}

// One line of the word list. A unit found directly saves its whole look-up; a piece that
// a missing unit splits into saves part of one. A piece of one or two characters that
// were missing would be a noise burst, so every such piece is kept.
void CollectWords(const translator::Translator& translator, const std::string& cp1252, UnitCounts& units) {
  for (const std::string& run : voicedata::WordRuns(cp1252)) {
    voicedata::ForEachUnitLookup(translator::TranslateText(translator, run), [&](const voicedata::UnitLookup& u) {
      ++units.wordLookups;
      ++units.lookups[u.key];
      if (u.spelled.size() <= LongestName) {
        ++units.wordStorable;
        units.Spell(u.spelled);
        ++units.direct[u.key];
      }
      bool first = true;
      voicedata::ForEachFallbackName(u.spelled, 0, [&](const std::string& name) {
        if (std::exchange(first, false) || name.size() > LongestName) return;
        if (name.size() <= 2) {
          units.Need(name);
        } else {
          units.Spell(name);
          ++units.fallback[voicedata::UnitKey(name)];
        }
      });
    });
  }
}

// Every consonant before every vowel, and every phone alone, plain, closed and nasal.
void AddGrid(UnitCounts& units) {
  const char* consonants[] = {"p", "b", "t", "d",  "k", "g",  "f", "v",  "s",   "z", "x",
                              "j", "m", "n", "nh", "l", "lh", "r", "rr", "tch", "dj"};
  const char* vowels[] = {"a", "e", "i", "o", "u", "A", "E", "I", "O", "U"};
  for (const char* c : consonants) {
    units.Need(std::string("$") + c);
    for (const char* v : vowels) {
      units.Need(std::string("$") + c + v);
      units.Need(std::string("$") + c + v + "CIRC");
      units.Need(std::string("$") + c + v + "TIL");
    }
  }
  for (const char* v : vowels) {
    units.Need(std::string("$") + v);
    units.Need(std::string("$") + v + "CIRC");
    units.Need(std::string("$") + v + "TIL");
    units.Need(std::string("$") + v + "w");
    units.Need(std::string("$") + v + "y");
    units.Need(std::string("$") + v + "wTIL");
    units.Need(std::string("$") + v + "yTIL");
    // A final s voiced before the next word of a phrase: "os amigos", "as velas".
    units.Need(std::string("$") + v + "z");
  }
  for (const char* g : {"$w", "$y", "$wz", "$yz", "$nn", "$ks"}) units.Need(g);
}

// The spelling a unit is rendered from: the commonest (ties: the first in byte order).
std::string ChosenSpelling(const std::map<std::string, int>& spellings) {
  std::string best;
  int count = -1;
  for (const auto& [spelled, n] : spellings) {
    if (n > count) {
      best = spelled;
      count = n;
    }
  }
  return best;
}

// A unit's rough length in phones, for estimating its size before it is rendered.
long EstimatedPhones(const std::string& spelled) {
  std::string_view body(spelled);
  body.remove_prefix(1);
  if (body.ends_with("CIRC"))
    body.remove_suffix(4);
  else if (body.ends_with("TIL"))
    body.remove_suffix(3);
  return 1 + static_cast<long>(body.size());
}

struct Unit {
  std::string key, spelled;
  long value = 0;  // word-list look-ups it saves: twice the direct ones, once the split ones
  long phones = 0;
};

// The units every build holds (by key), then the candidates, best value per phone first
// (ties by key, so the order depends on nothing but the counts).
std::vector<Unit> RankUnits(const UnitCounts& units, int minWordCount, std::size_t& neededCount) {
  std::vector<Unit> needed, candidates;
  for (const auto& [key, spellings] : units.spellings) {
    Unit u{key, ChosenSpelling(spellings), 0, 0};
    u.phones = EstimatedPhones(u.spelled);
    if (units.needed.contains(key)) {
      needed.push_back(u);
      continue;
    }
    const auto d = units.direct.find(key);
    const auto f = units.fallback.find(key);
    const long direct = d == units.direct.end() ? 0 : d->second;
    const long split = f == units.fallback.end() ? 0 : f->second;
    if (direct + split < minWordCount) continue;
    u.value = 2 * direct + split;
    candidates.push_back(u);
  }
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Unit& a, const Unit& b) { return a.value * b.phones > b.value * a.phones; });
  neededCount = needed.size();
  needed.insert(needed.end(), candidates.begin(), candidates.end());
  return needed;
}

// The gain that brings espeak-ng's voice to a common level: its peak on a calibration
// sentence maps to 70 % of full scale.
float CalibrationGain() {
  const auto samples = voicedata::Render("A ilha fica perto daqui, capitão.", voicedata::Voice{});
  std::vector<float> f(samples.begin(), samples.end());
  float peak = 0;
  for (const float v : f) peak = std::max(peak, std::abs(v) / 32768.0f);
  return peak > 0 ? 0.7f / peak : 1.0f;
}

bool HasVowel(const std::string& spelled) { return spelled.find_first_of("aeiouwyAEIOUWY", 1) != std::string::npos; }

std::vector<uint8_t> RenderUnit(const std::string& spelled, int wordsPerMinute, float gain) {
  const voicedata::Voice voice{wordsPerMinute, 50, 15};
  std::vector<float> cut;
  if (HasVowel(spelled)) {
    cut = voicedata::TrimSilence(voicedata::Render(voicedata::UnitToEspeak(spelled), voice), voicedata::RendererRate(),
                                 Threshold, 3);
  } else {
    // A consonant alone is said between two vowels and cut out at its phoneme boundaries,
    // so it carries no vowel of its own.
    std::string phonemes = voicedata::UnitToEspeak(spelled);
    phonemes = "[[a" + phonemes.substr(2, phonemes.size() - 4) + "a]]";
    std::vector<int> starts;
    const auto raw = voicedata::Render(phonemes, voice, &starts);
    const int rate = voicedata::RendererRate();
    // Events: "a", the consonant (one or more phonemes), "a", a pause, the end. The cut
    // keeps the consonant and the first 15 ms of its release into the vowel.
    std::size_t from = 0, to = raw.size();
    if (starts.size() >= 5) {
      from = static_cast<std::size_t>(starts[1]) * static_cast<std::size_t>(rate) / 1000;
      to = static_cast<std::size_t>(starts[starts.size() - 3] + 15) * static_cast<std::size_t>(rate) / 1000;
    }
    from = std::min(from, raw.size());
    to = std::clamp(to, from, raw.size());
    for (std::size_t i = from; i < to; ++i) cut.push_back(static_cast<float>(raw[i]) / 32768.0f);
  }
  auto samples = voicedata::HalveRate(cut);
  voicedata::FadeEnds(samples, voicedata::OutputRate, 3);
  if (samples.size() > 60000) samples.resize(60000);
  return voicedata::ToUnsigned8(samples, gain);
}

std::vector<uint8_t> DialTone(int low, int high) {
  constexpr int Length = voicedata::OutputRate * 160 / 1000;
  constexpr int Ramp = voicedata::OutputRate * 5 / 1000;
  std::vector<float> samples(Length);
  for (int i = 0; i < Length; ++i) {
    const double t = static_cast<double>(i) / voicedata::OutputRate;
    double v = 0.4 * std::sin(2 * std::numbers::pi * low * t) + 0.4 * std::sin(2 * std::numbers::pi * high * t);
    const int edge = std::min(i, Length - 1 - i);
    if (edge < Ramp) v *= 0.5 - 0.5 * std::cos(std::numbers::pi * edge / Ramp);
    samples[i] = static_cast<float>(v);
  }
  return voicedata::ToUnsigned8(samples, 1.0f);
}

// Written whole under a new name, then renamed into place: a game running meanwhile keeps
// reading the file it opened, and one starting meanwhile finds the old file or the new one,
// never half of one.
bool WriteFile(const fs::path& path, std::string_view bytes) {
  fs::path temporary = path;
  temporary += ".new-" + std::to_string(getpid());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  fs::rename(temporary, path, error);
  if (error) fs::remove(temporary, error);
  return !error;
}
bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  return WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
// A copy of a source file, put in place as WriteFile does.
bool CopyFile(const fs::path& from, const fs::path& to) {
  const auto bytes = text::ReadWholeFile(from.string());
  return bytes && WriteFile(to, *bytes);
}

bool BuildLetters(const fs::path& folder, float gain) {
  const voicedata::Voice normal{};
  voicedata::Voice raised{};
  raised.pitch = 78;
  for (const voicedata::Recording& r : voicedata::LettersFolderRecordings()) {
    std::vector<uint8_t> samples;
    if (r.dtmfLow != 0) {
      samples = DialTone(r.dtmfLow, r.dtmfHigh);
    } else if (r.text.empty()) {
      samples.assign(voicedata::OutputRate / 20, 128);
    } else {
      const auto raw = voicedata::Render(r.text, r.raised ? raised : normal);
      auto f = voicedata::HalveRate(voicedata::TrimSilence(raw, voicedata::RendererRate(), Threshold, 8));
      voicedata::FadeEnds(f, voicedata::OutputRate, 4);
      if (f.size() > 29000) f.resize(29000);
      samples = voicedata::ToUnsigned8(f, gain);
    }
    if (!WriteFile(folder / (r.name + ".wav"), text::WaveImage(samples, voicedata::OutputRate, 8, 1))) return false;
  }
  return true;
}

// The samples of units [first, last) of the ranked list at every rate, read back from the
// chunk files: samples[unit - first][rate index].
using UnitSamples = std::vector<std::vector<std::vector<uint8_t>>>;

// Renders one chunk in this (fresh) process and writes it as records of unit, rate index,
// length and samples.
[[noreturn]] void RenderChunk(const std::vector<Unit>& ranked, std::size_t first, std::size_t last,
                              const std::string& rates, const fs::path& output) {
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!voicedata::StartRenderer()) _exit(3);
  const float gain = CalibrationGain();
  for (std::size_t i = first; i < last; ++i) {
    for (std::size_t r = 0; r < rates.size(); ++r) {
      const auto samples = RenderUnit(ranked[i].spelled, WordsPerMinute[rates[r] - '1'], gain);
      const uint32_t head[3] = {static_cast<uint32_t>(i - first), static_cast<uint32_t>(r),
                                static_cast<uint32_t>(samples.size())};
      out.write(reinterpret_cast<const char*>(head), sizeof head);
      out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    }
  }
  out.close();
  voicedata::StopRenderer();
  _exit(out ? 0 : 4);
}

// Runs tasks in child processes, at most jobs at a time. A task never runs in this
// process, which therefore never starts espeak-ng: every child starts from the same state.
class ProcessPool {
 public:
  explicit ProcessPool(int jobs) : jobs_(jobs) {}
  template <typename Task>
  bool Start(Task task) {
    while (running_ >= jobs_) {
      if (!WaitOne()) ok_ = false;
    }
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
      task();
      _exit(5);
    }
    ++running_;
    return true;
  }
  // Waits for every child; false when one of them failed.
  bool Finish() {
    while (running_ > 0) {
      if (!WaitOne()) ok_ = false;
    }
    return std::exchange(ok_, true);
  }

 private:
  bool WaitOne() {
    int status = 0;
    if (::wait(&status) < 0) {
      running_ = 0;
      return false;
    }
    --running_;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  int jobs_;
  int running_ = 0;
  bool ok_ = true;
};

// Renders units [first, last) of the ranked list in chunks of chunkSize counted from
// chunkBase, so that a unit's chunk (and the chunk's history inside espeak-ng) depends on
// its place in the list only.
std::optional<UnitSamples> RenderRange(const std::vector<Unit>& ranked, std::size_t first, std::size_t last,
                                       std::size_t chunkSize, const std::string& rates, ProcessPool& pool,
                                       const fs::path& folder) {
  std::vector<std::pair<std::size_t, fs::path>> chunks;
  for (std::size_t from = first; from < last; from += chunkSize) {
    const std::size_t to = std::min(last, from + chunkSize);
    const fs::path file = folder / (".chunk" + std::to_string(from));
    chunks.emplace_back(from, file);
    if (!pool.Start([&ranked, from, to, &rates, file] { RenderChunk(ranked, from, to, rates, file); })) {
      return std::nullopt;
    }
  }
  const bool ok = pool.Finish();
  UnitSamples samples(last - first, std::vector<std::vector<uint8_t>>(rates.size()));
  bool intact = ok;
  for (const auto& [from, file] : chunks) {
    std::ifstream in(file, std::ios::binary);
    uint32_t head[3];
    while (intact && in.read(reinterpret_cast<char*>(head), sizeof head)) {
      const std::size_t unit = from - first + head[0];
      if (unit >= samples.size() || head[1] >= rates.size()) {
        intact = false;
        break;
      }
      auto& target = samples[unit][head[1]];
      target.resize(head[2]);
      if (!in.read(reinterpret_cast<char*>(target.data()), head[2])) intact = false;
    }
    std::error_code error;
    fs::remove(file, error);
  }
  if (!intact) return std::nullopt;
  return samples;
}

std::size_t Bytes(const std::vector<std::vector<uint8_t>>& rates) {
  std::size_t n = 0;
  for (const auto& r : rates) n += r.size() + 15;  // samples and the index record
  return n;
}

std::uintmax_t FolderBytes(const fs::path& folder) {
  std::uintmax_t total = 0;
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
    if (entry.is_regular_file(error)) total += entry.file_size(error);
  }
  return total;
}

// What the synthesizer makes of a look-up with the units held: found whole, split into
// pieces that are all found, or with some piece lost (said as nothing) or a noise burst.
struct Heard {
  long pieces = 0, lost = 0, noise = 0;
};
void Hear(const std::set<std::string>& held, const std::string& key, Heard& heard) {
  if (held.contains(key)) {
    ++heard.pieces;
    return;
  }
  const std::size_t n = key.size();
  if (n <= 2) {
    ++heard.noise;
    return;
  }
  const char last = key.back();
  if (std::strchr("AEIOUWY", last) != nullptr) {
    Hear(held, key.substr(0, n - 1), heard);
    Hear(held, std::string("$") + last, heard);
  } else if (key.ends_with("CIRC") && n >= 7) {
    Hear(held, key.substr(0, n - 5), heard);
    Hear(held, "$" + key.substr(n - 5), heard);
  } else if (key.ends_with("TIL")) {
    const std::string base = key.substr(0, n - 3);
    Hear(held, base.ends_with("I") || base.ends_with("U") ? base : base + "CIRC", heard);
    Hear(held, "$NN", heard);
  } else {
    ++heard.lost;
  }
}

double Percent(long part, long whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 100.0;
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  fs::path outRoot, sourceData, wordsFile, unitsFile, reportFile;
  std::vector<fs::path> texts;
  std::string rates = "12345";
  int jobs = 2;
  int minWordCount = 2;
  long chunkSize = 128;
  double budgetMb = 150;
  bool letters = true, listOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&arg](const char* option) -> std::optional<std::string> {
      const std::string prefix = std::string(option) + "=";
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
      return std::nullopt;
    };
    if (auto v = value("--out"))
      outRoot = *v;
    else if (auto s = value("--source-data"))
      sourceData = *s;
    else if (auto t = value("--texts"))
      texts.emplace_back(*t);
    else if (auto w = value("--words"))
      wordsFile = *w;
    else if (auto u = value("--units"))
      unitsFile = *u;
    else if (auto r = value("--rates"))
      rates = *r;
    else if (auto j = value("--jobs"))
      jobs = std::atoi(j->c_str());
    else if (auto m = value("--min-word-count"))
      minWordCount = std::atoi(m->c_str());
    else if (auto c = value("--chunk"))
      chunkSize = std::atol(c->c_str());
    else if (auto b = value("--budget-mb"))
      budgetMb = std::atof(b->c_str());
    else if (auto p = value("--report"))
      reportFile = *p;
    else if (arg == "--no-letters")
      letters = false;
    else if (arg == "--list-units")
      listOnly = true;
    else
      return Fail("unknown option '" + arg + "'");
  }
  if (sourceData.empty()) return Fail("--source-data=DIR is needed (the folder of regras.rgr and portug.exc)");
  if (!listOnly && reportFile.empty() && outRoot.empty()) return Fail("--out=DIR is needed");
  if (jobs < 1 || jobs > 16) return Fail("--jobs must be 1 to 16");
  if (chunkSize < 1) return Fail("--chunk must be at least 1");
  if (!(budgetMb >= 0)) return Fail("--budget-mb must be 0 (no limit) or more");
  if (rates.empty() || rates.size() > Rates || rates.find_first_not_of("12345") != std::string::npos) {
    return Fail("--rates takes digits 1 to 5");
  }

  translator::Translator translator;
  const fs::path rulesFile = sourceData / "regras.rgr", exceptionsFile = sourceData / "portug.exc";
  if (!translator::LoadTranslatorRules(translator, rulesFile.string()))
    return Fail("cannot read " + rulesFile.string());
  if (!translator::LoadTranslatorExceptions(translator, exceptionsFile.string())) {
    return Fail("cannot read " + exceptionsFile.string());
  }

  UnitCounts units;
  if (!unitsFile.empty()) {
    const auto list = text::ReadWholeFile(unitsFile.string());
    if (!list) return Fail("cannot read " + unitsFile.string());
    std::istringstream in(*list);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.size() <= LongestName && line[0] == '$') units.Need(line);
    }
  } else {
    for (const fs::path& file : texts) {
      if (!fs::is_regular_file(file)) return Fail("cannot read " + file.string());
      const std::string content = tools::ReadWhole(file);
      if (file.extension() == ".cpp" || file.extension() == ".h") {
        for (const std::string& text : tools::TextLiterals(content)) {
          CollectNeeded(translator, text::DataTextToCp1252(text), units);
        }
      } else {
        CollectNeeded(translator, text::DataTextToCp1252(content), units);
      }
    }
    if (!wordsFile.empty()) {
      if (!fs::is_regular_file(wordsFile)) return Fail("cannot read " + wordsFile.string());
      std::istringstream lines(text::DataTextToCp1252(tools::ReadWhole(wordsFile)));
      for (std::string line; std::getline(lines, line);) CollectWords(translator, line, units);
    }
    AddGrid(units);
  }
  if (!reportFile.empty()) {
    // The names a database holds: its index (15-byte records), or a list, one a line.
    std::set<std::string> held;
    const std::string bytes = tools::ReadWhole(reportFile);
    if (bytes.empty()) return Fail("cannot read " + reportFile.string());
    if (reportFile.extension() == ".IND" || reportFile.extension() == ".ind") {
      std::vector<text::DiphoneRecord> records;
      if (!text::ParseDiphoneIndex(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), records)) {
        return Fail(reportFile.string() + " is not a diphone index");
      }
      for (const text::DiphoneRecord& record : records) held.insert(record.name);
    } else {
      std::istringstream lines(bytes);
      for (std::string line; std::getline(lines, line);) held.insert(line);
    }
    long found = 0, whole = 0, lost = 0, noise = 0;
    for (const auto& [key, count] : units.lookups) {
      if (held.contains(key)) found += count;
      Heard heard;
      Hear(held, key, heard);
      if (heard.lost == 0 && heard.noise == 0) whole += count;
      if (heard.lost > 0) lost += count;
      if (heard.noise > 0) noise += count;
    }
    std::printf(
        "%zu units; word list: %ld look-ups, %.2f %% found directly (%.2f %% of those a unit can hold), "
        "%.2f %% heard whole, %.2f %% with a sound lost, %.2f %% with a noise burst\n",
        held.size(), units.wordLookups, Percent(found, units.wordLookups), Percent(found, units.wordStorable),
        Percent(whole, units.wordLookups), Percent(lost, units.wordLookups), Percent(noise, units.wordLookups));
    return 0;
  }
  std::size_t neededCount = 0;
  const std::vector<Unit> ranked = RankUnits(units, minWordCount, neededCount);
  if (listOnly) {
    std::set<std::string> keys;
    for (std::size_t i = 0; i < neededCount; ++i) keys.insert(ranked[i].key);
    for (const std::string& key : keys) std::cout << key << "\n";
    return 0;
  }

  const fs::path letterFolder = outRoot / "som" / "letras", diphoneFolder = outRoot / "som" / "difones";
  std::error_code error;
  fs::create_directories(letterFolder, error);
  fs::create_directories(diphoneFolder, error);
  if (error) return Fail("cannot create " + diphoneFolder.string());
  // Databases of an earlier build would count against the budget.
  for (const auto& entry : fs::directory_iterator(diphoneFolder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("DIFONES") || name.starts_with(".chunk")) fs::remove(entry.path(), error);
  }
  if (!CopyFile(rulesFile, diphoneFolder / "regras.rgr") || !CopyFile(exceptionsFile, diphoneFolder / "portug.exc")) {
    return Fail("cannot copy the translator's files into " + diphoneFolder.string());
  }

  ProcessPool pool(jobs);
  const auto chunk = static_cast<std::size_t>(chunkSize);
  if (letters) {
    const bool launched = pool.Start([&letterFolder] {
      if (!voicedata::StartRenderer()) _exit(3);
      const bool written = BuildLetters(letterFolder, CalibrationGain());
      voicedata::StopRenderer();
      _exit(written ? 0 : 4);
    });
    if (!launched) return Fail("cannot start a worker process");
  }
  // The units every build holds, then rounds of candidates: each round estimates from the
  // units rendered so far how many more fit, renders them, and keeps them in rank order
  // while they fit. Sizes are the same from run to run, so the choice is too.
  std::vector<std::vector<std::vector<uint8_t>>> kept;
  auto needed = RenderRange(ranked, 0, neededCount, chunk, rates, pool, diphoneFolder);
  if (!needed) return Fail("rendering failed (is espeak-ng's Portuguese voice installed?)");
  std::move(needed->begin(), needed->end(), std::back_inserter(kept));
  const std::uintmax_t fixedBytes = FolderBytes(outRoot / "som");  // letters, rules
  // Less room for the folders themselves, so that du agrees.
  const double budget = budgetMb > 0 ? budgetMb * 1e6 - 65536 : 0;
  std::uintmax_t used = fixedBytes;
  long usedPhones = 0;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    used += Bytes(kept[i]);
    usedPhones += ranked[i].phones;
  }
  std::size_t next = neededCount;
  while (next < ranked.size() && (budget == 0 || static_cast<double>(used) < budget)) {
    const double perPhone =
        usedPhones > 0 ? static_cast<double>(used - fixedBytes) / static_cast<double>(usedPhones) : 1e4;
    std::size_t last = next;
    double estimate = static_cast<double>(used);
    while (last < ranked.size() && (budget == 0 || estimate < budget)) {
      estimate += perPhone * static_cast<double>(ranked[last].phones);
      ++last;
    }
    // Whole chunks only, counted from the first candidate, so that a chunk never depends on
    // where a round ended.
    last = std::min(ranked.size(), neededCount + (last - neededCount + chunk - 1) / chunk * chunk);
    auto round = RenderRange(ranked, next, last, chunk, rates, pool, diphoneFolder);
    if (!round) return Fail("rendering failed");
    bool full = false;
    for (std::size_t i = 0; i < round->size(); ++i) {
      const std::size_t bytes = Bytes((*round)[i]);
      if (budget != 0 && static_cast<double>(used + bytes) > budget) {
        full = true;
        break;
      }
      used += bytes;
      usedPhones += ranked[next + i].phones;
      kept.push_back(std::move((*round)[i]));
    }
    next = last;
    if (full) break;
  }

  // The databases, one a rate.
  for (std::size_t r = 0; r < rates.size(); ++r) {
    std::vector<text::DiphoneUnit> rateUnits;
    rateUnits.reserve(kept.size());
    for (std::size_t u = 0; u < kept.size(); ++u) rateUnits.push_back({ranked[u].key, kept[u][r]});
    const text::DiphoneDatabaseImages database = text::LayOutDiphoneDatabase(rateUnits);
    const std::string base = std::string("DIFONES") + rates[r];
    if (!WriteFile(diphoneFolder / (base + ".IND"), database.index) ||
        !WriteFile(diphoneFolder / (base + ".DIF"), database.samples)) {
      return Fail("cannot write the database " + base);
    }
  }

  long found = 0;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (const auto d = units.direct.find(ranked[i].key); d != units.direct.end()) found += d->second;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("voicedata: %zu units (%zu held whatever the budget), %zu rates, %.1f MB in all, %.1f s\n", kept.size(),
              neededCount, rates.size(), static_cast<double>(FolderBytes(outRoot / "som")) / 1e6, seconds);
  if (units.wordLookups > 0) {
    std::printf("voicedata: word list: %.2f %% of %ld look-ups found directly, %.2f %% of those a unit can hold\n",
                Percent(found, units.wordLookups), units.wordLookups, Percent(found, units.wordStorable));
  }
  return 0;
}
