#pragma once
// Letter-to-phoneme rules and whole-word exceptions: words become lines of phoneme names.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_front {

struct RuleRecord {
  std::string left;    // at most 5 characters
  std::string focus;   // 1 to 5 characters
  std::string right;   // at most 5 characters
  std::string output;  // at most 20 characters; "&" separates phonemes
};

// One list per first focus character, codes 32..255, each in file order.
struct RuleSet {
  static constexpr int FirstCode = 32;
  static constexpr int BucketCount = 224;
  std::array<std::vector<RuleRecord>, BucketCount> buckets;
};

struct ExceptionEntry {
  std::string word;
  std::string respelling;
};

// Sorted by word in byte order; a longer file keeps its first MaxExceptions entries.
struct ExceptionTable {
  static constexpr size_t MaxExceptions = 15000;
  std::vector<ExceptionEntry> entries;
};

// Rule lines: left(focus)right=output|comment, ";" comments. False when unreadable.
[[nodiscard]] bool LoadRules(const std::string& path, RuleSet& rules);
void LoadRuleLines(const std::vector<std::string>& lines, RuleSet& rules);
void FreeRules(RuleSet& rules);
// Splits one rule line; false when it carries no rule (empty focus).
bool ParseRuleLine(std::string_view line, RuleRecord& rule);

// Exception lines: WORD=RESPELLING|comment. False when unreadable.
[[nodiscard]] bool LoadExceptions(const std::string& path, ExceptionTable& table);
void LoadExceptionLines(const std::vector<std::string>& lines, ExceptionTable& table);
// Respells an upper-case word, trying it again without final S or M letters.
void ApplyException(const ExceptionTable& table, std::string& word);

// Coded lines "ccc|token" in, phoneme list lines out (word markers, phonemes, pauses).
std::vector<std::string> TranscribeList(const RuleSet& rules, const ExceptionTable& exceptions,
                                        const std::vector<std::string>& coded);
// stressed is the 1-based stressed position, 0 for none.
void TranscribeWord(const RuleSet& rules, std::string_view upperWord, int stressed, std::vector<std::string>& out);

// start is 0-based here.
bool MatchFocus(std::string_view word, size_t start, std::string_view focus);
bool MatchLeftContext(std::string_view word, size_t start, std::string_view context);
bool MatchRightContext(std::string_view word, size_t start, size_t focusLength, std::string_view context);
void PauseForPunctuation(char c, std::vector<std::string>& out);
void ApplyLiaison(std::vector<std::string>& lines);

}  // namespace mbrola_front
