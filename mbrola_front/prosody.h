#pragma once
// Prosody and phoneme output: word classes, pitch codes, durations and the MBROLA lines.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_front {

// Where the prosody loader's messages go (title and text, Windows-1252).
using FrontEndMessageSink = void (*)(std::string_view title, std::string_view text);
// The loaders' sink unless the caller gives one: a line on standard error.
void WriteFrontEndMessage(std::string_view title, std::string_view text);

struct DurationEntry {
  std::string name;  // at most 2 characters, case kept
  int durationMs = 100;
};

struct TChave {
  std::string key;        // upper case
  std::string wordClass;  // at most 2 characters, upper case
};

struct TProsodia {
  std::string previous, current, next;  // at most 3 characters each, empty = any
  std::string code;                     // three pitch steps, "?" = the step before
};

// Entries past a table's room are ignored.
struct ProsodyTables {
  static constexpr size_t MaxDurations = 100;
  static constexpr size_t MaxKeys = 1000;
  static constexpr size_t MaxPatterns = 300;
  std::vector<DurationEntry> durations;
  std::vector<TChave> keys;         // sorted by key
  std::vector<TProsodia> patterns;  // file order is priority
  int baseHertz = 230;
  std::array<int, 10> hertzSteps{};  // percent of baseHertz per code digit
};

// Phoneme pairs "first-second", kept lower-cased and sorted.
struct DiphoneList {
  std::vector<std::string> pairs;
  bool Contains(std::string_view pair) const;
};

// The state that one call of BuildPhoLines leaves for the next.
struct PhoLineState {
  std::string currentPhoneme;
};

[[nodiscard]] bool LoadProsody(const std::string& path, ProsodyTables& tables,
                               FrontEndMessageSink messages = WriteFrontEndMessage);
[[nodiscard]] bool LoadProsodyLines(const std::vector<std::string>& lines, ProsodyTables& tables,
                                    FrontEndMessageSink messages = WriteFrontEndMessage);
void SortKeys(ProsodyTables& tables);
std::string KeyOfWord(const ProsodyTables& tables, std::string_view word);

[[nodiscard]] bool LoadDiphoneList(const std::string& path, DiphoneList& list);
void LoadDiphoneLines(const std::vector<std::string>& lines, DiphoneList& list);

// Text -> "[cl]token" lines with "[--]" boundaries.
std::vector<std::string> ClassifyWords(const ProsodyTables& tables, std::string_view text);
// "[cl]token" lines -> "ccc|token" lines; without the table every code is "555".
enum class PitchTable { Use, Ignore };
std::vector<std::string> AssignPitchCodes(const ProsodyTables& tables, const std::vector<std::string>& classified,
                                          PitchTable use);
// Phoneme list lines -> MBROLA lines "name ms [position hertz]".
std::vector<std::string> BuildPhoLines(const ProsodyTables& tables, const DiphoneList& diphones,
                                       const std::vector<std::string>& phonemes, double durationFactor,
                                       double pitchFactor, PhoLineState& state);

int DurationOf(const ProsodyTables& tables, std::string_view phoneme);
// Pitch target "position hertz" for the phoneme at this stage; empty for none. Moves the stage.
std::string PitchTarget(const ProsodyTables& tables, std::string_view code, int& stage, bool lastInWord,
                        double pitchFactor);
// Adds a filler line when the voice cannot join the previous phoneme to the current one.
void GuardDiphone(const DiphoneList& diphones, std::string& previous, const std::string& current,
                  const std::string& line, std::vector<std::string>& out);

}  // namespace mbrola_front
