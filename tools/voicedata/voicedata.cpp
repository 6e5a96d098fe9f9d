// voicedata: builds the built-in speech's data with espeak-ng (pt-br): the recordings of
// the letters folder and one diphone database per speech rate, holding every unit that
// the shipped rules make the synthesizer ask for on the game's texts and a word list.
//
//   voicedata --out=ROOT --source-data=DIR [--texts=FILE]... [--words=FILE]
//             [--units=FILE] [--rates=12345] [--jobs=N] [--min-word-count=N]
//             [--no-letters] [--list-units]
//
// ROOT receives som/letras/ and som/difones/ (DIFONES1..5 .IND and .DIF, regras.rgr and
// portug.exc). --texts takes C++ sources (their "..."_text literals) or text files (their
// lines); a unit that only the word list (--words) asks for is kept when it asks for it
// --min-word-count times (2 by default: rare units cost more room than they are worth);
// --units builds only the units listed (one spelled name a line, "$kAza");
// --list-units prints the index names of every unit and stops.

#include "speech/translator.h"
#include "tools/game_texts.h"
#include "tools/voicedata/letters.h"
#include "tools/voicedata/render.h"
#include "tools/voicedata/units.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
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
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t LongestName = 8;
constexpr int Rates = 5;
// espeak-ng words per minute for the built-in rates 1..5.
constexpr int WordsPerMinute[Rates] = {130, 155, 180, 210, 245};
constexpr float Threshold = 0.006f;

int Fail(const std::string& message) {
  std::cerr << "voicedata: " << message << "\n";
  return 2;
}

// The units seen, with how they were spelled and how often the word list asked for them.
struct UnitCounts {
  std::map<std::string, std::map<std::string, int>> spellings;  // key -> spelled -> count
  std::map<std::string, int> wordListCount;                     // key -> look-ups in the word list
  std::set<std::string> needed;                                 // keys kept whatever their count
  bool fromWordList = false;
  void Add(const std::string& spelled) {
    if (spelled.size() > LongestName) return;
    const std::string key = voicedata::UnitKey(spelled);
    ++spellings[key][spelled];
    if (fromWordList) {
      ++wordListCount[key];
    } else {
      needed.insert(key);
    }
  }
};

void CollectFromText(const speech::Translator& translator, const std::string& cp1252, UnitCounts& units) {
  for (const std::string& run : voicedata::WordRuns(cp1252)) {
    voicedata::ForEachUnitLookup(speech::TranslateText(translator, run), [&](const voicedata::UnitLookup& u) {
      voicedata::ForEachFallbackName(u.spelled, LongestName, [&](const std::string& name) {
        if (name.size() <= LongestName) units.Add(name);
      });
    });
  }
}

// Every consonant before every vowel, and every phone alone, plain, closed and nasal.
void AddGrid(UnitCounts& units) {
  const char* consonants[] = {"p", "b", "t", "d", "k", "g", "f", "v", "s", "z", "x", "j", "m",
                              "n", "nh", "l", "lh", "r", "rr", "tch", "dj"};
  const char* vowels[] = {"a", "e", "i", "o", "u", "A", "E", "I", "O", "U"};
  for (const char* c : consonants) {
    units.Add(std::string("$") + c);
    for (const char* v : vowels) {
      units.Add(std::string("$") + c + v);
      units.Add(std::string("$") + c + v + "CIRC");
      units.Add(std::string("$") + c + v + "TIL");
    }
  }
  for (const char* v : vowels) {
    units.Add(std::string("$") + v);
    units.Add(std::string("$") + v + "CIRC");
    units.Add(std::string("$") + v + "TIL");
    units.Add(std::string("$") + v + "w");
    units.Add(std::string("$") + v + "y");
    units.Add(std::string("$") + v + "wTIL");
    units.Add(std::string("$") + v + "yTIL");
  }
  for (const char* g : {"$w", "$y", "$nn", "$ks"}) units.Add(g);
}

// The spelling each unit is rendered from: the commonest (ties: the first in byte order).
// Units only the word list asks for are kept when it asks at least minWordCount times.
std::map<std::string, std::string> ChooseSpellings(const UnitCounts& units, int minWordCount) {
  std::map<std::string, std::string> chosen;
  for (const auto& [key, spellings] : units.spellings) {
    if (!units.needed.contains(key)) {
      const auto count = units.wordListCount.find(key);
      if (count == units.wordListCount.end() || count->second < minWordCount) continue;
    }
    std::string best;
    int count = -1;
    for (const auto& [spelled, n] : spellings) {
      if (n > count) {
        best = spelled;
        count = n;
      }
    }
    chosen[key] = best;
  }
  return chosen;
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

bool HasVowel(const std::string& spelled) {
  return spelled.find_first_of("aeiouwyAEIOUWY", 1) != std::string::npos;
}

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

bool WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
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
    if (!WriteFile(folder / (r.name + ".wav"), voicedata::WaveFile(samples))) return false;
  }
  return true;
}

// One worker's share of the units (every jobs-th from first), all rates, written as
// records of index, rate, length and samples.
void RenderShare(const std::vector<std::string>& spelled, const std::string& rates, int first, int jobs,
                 const fs::path& output) {
  std::ofstream out(output, std::ios::binary);
  if (!voicedata::StartRenderer()) _exit(3);
  const float gain = CalibrationGain();
  for (std::size_t i = static_cast<std::size_t>(first); i < spelled.size(); i += static_cast<std::size_t>(jobs)) {
    for (const char r : rates) {
      const auto samples = RenderUnit(spelled[i], WordsPerMinute[r - '1'], gain);
      const uint32_t head[3] = {static_cast<uint32_t>(i), static_cast<uint32_t>(r - '0'),
                                static_cast<uint32_t>(samples.size())};
      out.write(reinterpret_cast<const char*>(head), sizeof head);
      out.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    }
  }
  out.close();
  voicedata::StopRenderer();
  _exit(out ? 0 : 4);
}

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  fs::path outRoot, sourceData, wordsFile, unitsFile;
  std::vector<fs::path> texts;
  std::string rates = "12345";
  int jobs = 2;
  int minWordCount = 2;
  bool letters = true, listOnly = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&arg](const char* option) -> std::optional<std::string> {
      const std::string prefix = std::string(option) + "=";
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
      return std::nullopt;
    };
    if (auto v = value("--out")) outRoot = *v;
    else if (auto s = value("--source-data")) sourceData = *s;
    else if (auto t = value("--texts")) texts.emplace_back(*t);
    else if (auto w = value("--words")) wordsFile = *w;
    else if (auto u = value("--units")) unitsFile = *u;
    else if (auto r = value("--rates")) rates = *r;
    else if (auto j = value("--jobs")) jobs = std::atoi(j->c_str());
    else if (auto m = value("--min-word-count")) minWordCount = std::atoi(m->c_str());
    else if (arg == "--no-letters") letters = false;
    else if (arg == "--list-units") listOnly = true;
    else return Fail("unknown option '" + arg + "'");
  }
  if (sourceData.empty()) return Fail("--source-data=DIR is needed (the folder of regras.rgr and portug.exc)");
  if (!listOnly && outRoot.empty()) return Fail("--out=DIR is needed");
  if (jobs < 1 || jobs > 16) return Fail("--jobs must be 1 to 16");
  if (rates.empty() || rates.find_first_not_of("12345") != std::string::npos) return Fail("--rates takes digits 1 to 5");

  speech::Translator translator;
  const fs::path rulesFile = sourceData / "regras.rgr", exceptionsFile = sourceData / "portug.exc";
  if (!speech::LoadTranslatorRules(translator, rulesFile.string())) return Fail("cannot read " + rulesFile.string());
  if (!speech::LoadTranslatorExceptions(translator, exceptionsFile.string())) {
    return Fail("cannot read " + exceptionsFile.string());
  }

  UnitCounts units;
  if (!unitsFile.empty()) {
    const auto list = platform::ReadWholeFile(unitsFile.string());
    if (!list) return Fail("cannot read " + unitsFile.string());
    std::istringstream in(*list);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.size() <= LongestName && line[0] == '$') units.Add(line);
    }
  } else {
    for (const fs::path& file : texts) {
      if (!fs::is_regular_file(file)) return Fail("cannot read " + file.string());
      const std::string content = tools::ReadWhole(file);
      if (file.extension() == ".cpp" || file.extension() == ".h") {
        for (const std::string& text : tools::TextLiterals(content)) {
          CollectFromText(translator, speech::DataFileToWindows1252(text), units);
        }
      } else {
        CollectFromText(translator, speech::DataFileToWindows1252(content), units);
      }
    }
    if (!wordsFile.empty()) {
      if (!fs::is_regular_file(wordsFile)) return Fail("cannot read " + wordsFile.string());
      std::istringstream lines(speech::DataFileToWindows1252(tools::ReadWhole(wordsFile)));
      units.fromWordList = true;
      for (std::string line; std::getline(lines, line);) CollectFromText(translator, line, units);
      units.fromWordList = false;
    }
    AddGrid(units);
  }
  const auto chosen = ChooseSpellings(units, minWordCount);
  if (listOnly) {
    for (const auto& [key, spelled] : chosen) std::cout << key << "\n";
    return 0;
  }

  const fs::path letterFolder = outRoot / "som" / "letras", diphoneFolder = outRoot / "som" / "difones";
  std::error_code error;
  fs::create_directories(letterFolder, error);
  fs::create_directories(diphoneFolder, error);
  if (error) return Fail("cannot create " + diphoneFolder.string());
  fs::copy_file(rulesFile, diphoneFolder / "regras.rgr", fs::copy_options::overwrite_existing, error);
  fs::copy_file(exceptionsFile, diphoneFolder / "portug.exc", fs::copy_options::overwrite_existing, error);
  if (error) return Fail("cannot copy the translator's files into " + diphoneFolder.string());

  std::vector<std::string> keys, spelled;
  for (const auto& [key, s] : chosen) {
    keys.push_back(key);
    spelled.push_back(s);
  }
  // Workers render in processes of their own: espeak-ng keeps global state.
  std::vector<pid_t> workers;
  std::vector<fs::path> shares;
  for (int w = 0; w < jobs; ++w) {
    shares.push_back(diphoneFolder / (".share" + std::to_string(w)));
    const pid_t pid = fork();
    if (pid < 0) return Fail("cannot start a worker process");
    if (pid == 0) RenderShare(spelled, rates, w, jobs, shares.back());
    workers.push_back(pid);
  }
  bool ok = true;
  if (letters) {
    if (!voicedata::StartRenderer()) {
      ok = false;
      std::cerr << "voicedata: espeak-ng has no Portuguese voice\n";
    } else {
      if (!BuildLetters(letterFolder, CalibrationGain())) {
        ok = false;
        std::cerr << "voicedata: cannot write the recordings in " << letterFolder << "\n";
      }
      voicedata::StopRenderer();
    }
  }
  for (const pid_t pid : workers) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ok = false;
  }
  if (!ok) return Fail("rendering failed");

  // Gather the shares: samples[rate][unit].
  std::vector<std::vector<std::vector<uint8_t>>> samples(Rates + 1, std::vector<std::vector<uint8_t>>(keys.size()));
  for (const fs::path& share : shares) {
    std::ifstream in(share, std::ios::binary);
    uint32_t head[3];
    while (in.read(reinterpret_cast<char*>(head), sizeof head)) {
      if (head[0] >= keys.size() || head[1] < 1 || head[1] > Rates) return Fail("damaged worker output");
      auto& unit = samples[head[1]][head[0]];
      unit.resize(head[2]);
      in.read(reinterpret_cast<char*>(unit.data()), head[2]);
    }
    fs::remove(share, error);
  }
  uintmax_t total = 0;
  for (const char r : rates) {
    const int rate = r - '0';
    std::vector<uint8_t> index, sound;
    for (std::size_t u = 0; u < keys.size(); ++u) {
      const auto& unit = samples[rate][u];
      index.push_back(static_cast<uint8_t>(keys[u].size()));
      for (std::size_t c = 0; c < LongestName; ++c) index.push_back(c < keys[u].size() ? static_cast<uint8_t>(keys[u][c]) : 0);
      PutLe(index, static_cast<uint32_t>(unit.size()), 2);
      PutLe(index, static_cast<uint32_t>(sound.size()), 4);
      sound.insert(sound.end(), unit.begin(), unit.end());
    }
    const std::string base = "DIFONES" + std::to_string(rate);
    if (!WriteFile(diphoneFolder / (base + ".IND"), index) || !WriteFile(diphoneFolder / (base + ".DIF"), sound)) {
      return Fail("cannot write the database " + base);
    }
    total += index.size() + sound.size();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("voicedata: %zu units, %zu rates, %.1f MB of databases, %.1f s\n", keys.size(), rates.size(),
              static_cast<double>(total) / 1e6, seconds);
  return 0;
}
