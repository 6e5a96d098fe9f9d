// Letter-to-phoneme rules and exceptions of the Portuguese front end.
#include "mbrola_front/rules.h"

#include <algorithm>

#include "mbrola_front/stress.h"
#include "mbrola_front/text_codec.h"
#include "text/case.h"

namespace mbrola_front {
namespace {

constexpr size_t ContextWidth = 5;
constexpr size_t FocusWidth = 5;
constexpr size_t OutputWidth = 20;
// Only this much of a rule's output is ever spoken; the rest of the field is ignored.
constexpr size_t OutputUsed = 11;
constexpr size_t ExceptionLineWidth = 255;
constexpr char Diaeresis = '\xA8';

bool In(std::string_view set, char c) { return set.find(c) != std::string_view::npos; }

// Character classes of the rule contexts (Windows-1252 bytes).
constexpr std::string_view Vowels =
    "AEIOUaeiou\xC0\xC1\xC2\xC3\xC9\xCA\xCC\xCD\xD3\xD4\xD5\xD9\xDA\xDC"
    "\xE0\xE1\xE2\xE3\xE9\xEA\xEC\xED\xF3\xF4\xF5\xF9\xFA\xFC";
constexpr std::string_view Consonants = "BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz\xC7\xD1\xE7\xF1";
constexpr std::string_view BackVowels = "AOao\xC1\xC2\xD3\xD4\xE1\xE2\xF3\xF4";
constexpr std::string_view FrontVowels = "EIei\xC9\xCD\xE9\xED";
constexpr std::string_view Sonorants = "LMNRZlmnrz";
constexpr std::string_view NRS = "NRSnrs";

bool IsVowel(char c) { return In(Vowels, c); }
bool IsConsonant(char c) { return In(Consonants, c); }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

bool ParseRuleLine(std::string_view line, RuleRecord& rule) {
  rule = RuleRecord{};
  const size_t open = line.find('(');
  rule.left = std::string(line.substr(0, std::min(open, line.size())).substr(0, ContextWidth));
  if (open == std::string_view::npos) return false;
  std::string_view rest = line.substr(open + 1);
  const size_t close = rest.find(')');
  rule.focus = std::string(rest.substr(0, std::min(close, rest.size())).substr(0, FocusWidth));
  if (close != std::string_view::npos) {
    rest = rest.substr(close + 1);
    const size_t equals = rest.find('=');
    rule.right = std::string(rest.substr(0, std::min(equals, rest.size())).substr(0, ContextWidth));
    if (equals != std::string_view::npos) {
      rest = rest.substr(equals + 1);
      const size_t bar = rest.find('|');
      rule.output = std::string(rest.substr(0, std::min(bar, rest.size())).substr(0, OutputWidth));
    }
  }
  return !rule.focus.empty() && static_cast<unsigned char>(rule.focus[0]) >= RuleSet::FirstCode;
}

void FreeRules(RuleSet& rules) {
  for (auto& bucket : rules.buckets) bucket.clear();
}

void LoadRuleLines(const std::vector<std::string>& lines, RuleSet& rules) {
  FreeRules(rules);
  for (const std::string& line : lines) {
    if (line.empty() || line[0] == ';') continue;
    RuleRecord rule;
    if (!ParseRuleLine(line, rule)) continue;
    const int bucket = static_cast<unsigned char>(rule.focus[0]) - RuleSet::FirstCode;
    rules.buckets[bucket].push_back(std::move(rule));
  }
}

bool LoadRules(const std::string& path, RuleSet& rules) {
  FreeRules(rules);
  const auto lines = ReadDataFileLines(path);
  if (!lines) return false;
  LoadRuleLines(*lines, rules);
  return true;
}

void LoadExceptionLines(const std::vector<std::string>& lines, ExceptionTable& table) {
  table.entries.clear();
  for (const std::string& raw : lines) {
    if (table.entries.size() >= ExceptionTable::MaxExceptions) break;
    const std::string line = text::UpperText(std::string_view(raw).substr(0, ExceptionLineWidth));
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;  // such a line can match no word
    ExceptionEntry entry;
    entry.word = line.substr(0, equals);
    const std::string rest = line.substr(equals + 1);
    entry.respelling = rest.substr(0, rest.find('|'));
    table.entries.push_back(std::move(entry));
  }
  std::sort(table.entries.begin(), table.entries.end(),
            [](const ExceptionEntry& a, const ExceptionEntry& b) { return a.word < b.word; });
}

bool LoadExceptions(const std::string& path, ExceptionTable& table) {
  table.entries.clear();
  const auto lines = ReadDataFileLines(path);
  if (!lines) return false;
  LoadExceptionLines(*lines, table);
  return true;
}

void ApplyException(const ExceptionTable& table, std::string& word) {
  std::string suffix;
  std::string stem = word;
  while (true) {
    const auto found =
        std::lower_bound(table.entries.begin(), table.entries.end(), stem,
                         [](const ExceptionEntry& entry, const std::string& key) { return entry.word < key; });
    if (found != table.entries.end() && found->word == stem) {
      word = found->respelling + suffix;
      return;
    }
    if (stem.empty() || (stem.back() != 'S' && stem.back() != 'M')) return;  // word unchanged
    suffix.insert(suffix.begin(), stem.back());
    stem.pop_back();
    if (stem.empty()) return;
  }
}

bool MatchFocus(std::string_view word, size_t start, std::string_view focus) {
  if (start + focus.size() > word.size()) return false;
  for (size_t i = 0; i < focus.size(); ++i) {
    if (AsciiUpper(word[start + i]) != focus[i]) return false;
  }
  return true;
}

bool MatchRightContext(std::string_view word, size_t start, size_t focusLength, std::string_view context) {
  size_t index = start + focusLength;
  const size_t length = word.size();
  for (const char code : context) {
    const bool atEnd = index >= length;
    const char c = atEnd ? '\0' : text::UpperChar(word[index]);
    switch (code) {
      case '#':
        if (atEnd || !IsVowel(c)) return false;
        ++index;
        break;
      case '%':
        if (!atEnd) return false;
        break;
      case '&':
        if (atEnd || !In(Sonorants, c)) return false;
        ++index;
        break;
      case '*':
        if (atEnd || !IsConsonant(c) || c == 'L' || c == 'R') return false;
        break;
      case '+':
        if (atEnd || !In(FrontVowels, c)) return false;
        ++index;
        break;
      case '[':
        if (!atEnd && (!IsConsonant(c) || c == 'H')) return false;
        break;
      case '\\':
        if (!atEnd && c == 'S') ++index;
        break;
      default:
        if (atEnd || c != code) return false;
        ++index;
        break;
    }
  }
  return true;
}

bool MatchLeftContext(std::string_view word, size_t start, std::string_view context) {
  size_t index = start;  // count of letters left of the focus; 0 is the start of the word
  for (auto it = context.rbegin(); it != context.rend(); ++it) {
    const char code = *it;
    const bool atStart = index == 0;
    const char c = atStart ? '\0' : text::UpperChar(word[index - 1]);
    switch (code) {
      case '#':
        if (atStart || !IsVowel(c)) return false;
        --index;
        break;
      case '%':
        if (!atStart) return false;
        break;
      case ']':
        if (atStart || !In(BackVowels, c)) return false;
        --index;
        break;
      case '_':
        if (!atStart) {
          if (!IsVowel(c)) return false;
          --index;
        }
        break;
      case '|':
        if (atStart || !In(NRS, c)) return false;
        --index;
        break;
      default:
        if (atStart || c != code) return false;
        --index;
        break;
    }
  }
  return true;
}

void TranscribeWord(const RuleSet& rules, std::string_view word, int stressed, std::vector<std::string>& out) {
  const size_t stressAt = stressed < 1 ? 9999 : static_cast<size_t>(stressed);
  bool markPending = true;
  std::string current;
  size_t start = 0;
  while (start < word.size()) {
    const auto code = static_cast<unsigned char>(word[start]);
    const RuleRecord* taken = nullptr;
    if (code >= RuleSet::FirstCode) {
      for (const RuleRecord& rule : rules.buckets[code - RuleSet::FirstCode]) {
        if (MatchFocus(word, start, rule.focus) && MatchLeftContext(word, start, rule.left) &&
            MatchRightContext(word, start, rule.focus.size(), rule.right)) {
          taken = &rule;
          break;
        }
      }
    }
    if (taken == nullptr) {
      ++start;  // a letter without a rule is silent
      continue;
    }
    const std::string_view output = std::string_view(taken->output).substr(0, OutputUsed);
    for (const char c : output) {
      if (markPending && start + 1 >= stressAt) {
        current += '>';
        markPending = false;
      }
      if (c == '&') {
        out.push_back(current);
        current.clear();
      } else {
        current += c;
      }
    }
    if (!output.empty()) {
      out.push_back(current);
      current.clear();
    }
    start += taken->focus.size();
  }
  out.push_back(current);
}

void PauseForPunctuation(char c, std::vector<std::string>& out) {
  if (c == ' ') return;
  out.push_back(std::string("_") + c);
}

std::vector<std::string> TranscribeList(const RuleSet& rules, const ExceptionTable& exceptions,
                                        const std::vector<std::string>& coded) {
  std::vector<std::string> out;
  out.reserve(coded.size() * 8);
  for (const std::string& line : coded) {
    out.push_back(";" + line);
    std::string word = line.size() > 4 ? text::UpperText(std::string_view(line).substr(4)) : std::string();
    if (word.empty()) {
      out.push_back("__");
      out.push_back("");
    } else if (In(" !(),.:;?", word[0])) {
      PauseForPunctuation(word[0], out);
    } else {
      ApplyException(exceptions, word);
      const int stressed = IsUnstressedWord(word) ? 0 : FindStressPosition(word);
      TranscribeWord(rules, word, stressed, out);
    }
  }
  out.push_back("__");
  ApplyLiaison(out);
  return out;
}

void ApplyLiaison(std::vector<std::string>& lines) {
  // A final s or z is voiced before a vowel and before a voiced consonant (os amigos,
  // grandes homens, os dias); a final r becomes the tap before a vowel (mar aberto).
  // The stress mark on the next word's first phoneme changes nothing: "as águas" is
  // voiced as "as amigas" is. Before r the s stays as it is. Before a vowel, the
  // article o is a full u (o amigo) and the reduced e after a consonant and r a full i
  // (sobre a mesa, entre os dois), so that no glide clusters with the r. A final
  // unstressed a and the a of à or às are one vowel (acorda às seis).
  static constexpr std::string_view VoicedConsonants[] = {"b", "d", "g", "v", "z", "j", "l", "lh", "m", "n", "nh"};
  const auto isPhoneme = [&lines](size_t i) { return !lines[i].empty() && lines[i][0] != ';'; };
  size_t m = 2;
  size_t previousMarker = 0;  // the marker of the word before the one at m
  while (m + 1 < lines.size()) {
    if (lines[m].empty() || lines[m][0] != ';') {
      ++m;
      continue;
    }
    std::string_view first = lines[m + 1];
    if (!first.empty() && first[0] == '>') first.remove_prefix(1);
    if (!first.empty() && first[0] == Diaeresis) first.remove_prefix(1);
    const bool vowel = !first.empty() && In("aeiouwy@", first[0]);
    const bool voiced =
        std::find(std::begin(VoicedConsonants), std::end(VoicedConsonants), first) != std::end(VoicedConsonants);
    std::string& last = lines[m - 2];
    if (vowel && last == "r2") last = "r";
    if ((vowel || voiced) && last == "s2") last = "z";
    const std::string_view word = std::string_view(lines[previousMarker]).substr(lines[previousMarker].find('|') + 1);
    if (vowel && last == "w" && previousMarker + 3 == m && (word == "o" || word == "O")) last = "u";
    if (vowel && last == "y" && m >= 4 && isPhoneme(m - 3) && isPhoneme(m - 4) && lines[m - 3] == "r" &&
        !In("aeiouwy@>", lines[m - 4][0])) {
      last = "i";
    }
    const std::string next = text::UpperText(std::string_view(lines[m]).substr(lines[m].find('|') + 1));
    if ((next == "\xC0" || next == "\xC0S") && last == "a" && isPhoneme(m - 3)) {  // à, às
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(m) - 2);
      --m;
    }
    previousMarker = m;
    m += 2;  // the first phoneme is never a marker itself
  }
}

}  // namespace mbrola_front
