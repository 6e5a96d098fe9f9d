#include "translator/translator.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>

#include "text/cp1252.h"
#include "text/files.h"

namespace translator {

namespace {

unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

bool IsFrontVowel(char c) { return IsOneOf(c, "EIei"); }
bool IsOpenVowel(char c) { return IsOneOf(c, "AOao"); }
bool IsGQ(char c) { return c == 'g' || c == 'q'; }

// Replacements of codes 128 to 255; nullptr marks a code that becomes a blank, code 1
// and a blank. Both the Windows-1252 positions of the accented letters and their old
// DOS code page positions are covered. The u with diaeresis (220, 252) is the glide of
// qü and gü and is written as the glide letter w: with a plain u the rules could not
// tell "seqüência" from "sequestro", and a mark after it would hide the i or e after
// it from the stress scan ("lingüiça").
constexpr std::array<const char*, 128> HighCodes = {
    /*128*/ "ss",    "u\"",   "e'",    "a^",    "a~",    "a`",    "a'",    "ss",
    /*136*/ "e^",    "e\"",   "e`",    "i\"",   "i^",    "i`",    "a~",    "a'",
    /*144*/ "e'",    "ae",    "-",     "o^",    "o~",    "o`",    "u^",    "u`",
    /*152*/ "y-",    "o~",    "u\"",   nullptr, nullptr, nullptr, nullptr, nullptr,
    /*160*/ "a'",    "i'",    "o'",    "u'",    "nh",    "nh",    nullptr, "\xA7",
    /*168*/ "?",     nullptr, nullptr, "\xAA",  nullptr, "!",     "\"",    "\"",
    /*176*/ nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    /*184*/ nullptr, nullptr, nullptr, "\xBA",  nullptr, nullptr, nullptr, "?",
    /*192*/ "a`",    "a'",    "a^",    "a~",    "a~",    "a",     "ae",    "ss",
    /*200*/ "e`",    "e'",    "e^",    "e\"",   "i`",    "i'",    "i^",    "i\"",
    /*208*/ nullptr, "nh",    "o`",    "o'",    "o^",    "o~",    "o`",    "x",
    /*216*/ "0",     "u`",    "u'",    "u^",    "w",     nullptr, nullptr, nullptr,
    /*224*/ "a`",    "a'",    "a^",    "a~",    "a~",    "a",     "ae",    "ss",
    /*232*/ "e`",    "e'",    "e^",    "e\"",   "i`",    "i'",    "i^",    "i\"",
    /*240*/ nullptr, "nh",    "o`",    "o'",    "o^",    "o~",    "o`",    "x",
    /*248*/ "0",     "u`",    "u'",    "u^",    "w",     nullptr, nullptr, nullptr,
};

constexpr std::string_view UnmappedReplacement = " \x01 ";

// Replaces only the accented letters (codes 128 to 255) and leaves everything else as
// written: exception values are already in the translator's letters and marks.
std::string MapHighCodes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    if (Byte(c) < 128) {
      result += c;
    } else if (const char* replacement = HighCodes[Byte(c) - 128]) {
      result += replacement;
    } else {
      result += ' ';
    }
  }
  return result;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<TranslatorRule> ParseRuleLine(std::string_view line) {
  const std::size_t open = line.find('(');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = line.find(')', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  const std::size_t equals = line.find('=', close + 1);
  if (equals == std::string_view::npos) return std::nullopt;
  std::size_t outputEnd = line.find('|', equals + 1);
  if (outputEnd == std::string_view::npos) outputEnd = line.size();

  TranslatorRule rule;
  rule.left = std::string(line.substr(0, std::min(open, MaxRuleContextLength)));
  std::string_view match = line.substr(open + 1, close - open - 1);
  rule.match = std::string(match.substr(0, MaxRuleMatchLength));
  std::transform(rule.match.begin(), rule.match.end(), rule.match.begin(), UpperAscii);
  std::string_view right = line.substr(close + 1, equals - close - 1);
  rule.right = std::string(right.substr(0, MaxRuleContextLength));
  std::string_view output = line.substr(equals + 1, outputEnd - equals - 1);
  rule.output = std::string(output.substr(0, MaxRuleOutputLength));
  if (rule.match.empty()) return std::nullopt;
  return rule;
}

int BucketOf(char first) {
  const int code = Byte(first);
  if (code < 32 || code > 95) return -1;
  return code - 32;
}

// Right context, from the position just past the match (q may equal the word length).
bool MatchesRight(std::string_view pattern, std::string_view w, std::size_t q) {
  const std::size_t n = w.size();
  for (char symbol : pattern) {
    switch (symbol) {
      case '#': {
        const std::size_t start = q;
        while (q < n && (IsTranslatorVowel(w[q]) || IsTranslatorMark(w[q]))) ++q;
        if (q == start) return false;
        break;
      }
      case '%':
        if (q != n) return false;
        break;
      case '&':
        if (q >= n || !IsOneOf(UpperAscii(w[q]), "LMNRZ")) return false;
        ++q;
        break;
      case '*':
        if (q >= n || !IsTranslatorConsonant(w[q]) || IsOneOf(UpperAscii(w[q]), "RL")) return false;
        break;
      case '+':
        if (q >= n || !IsFrontVowel(w[q])) return false;
        ++q;
        if (q < n && IsTranslatorMark(w[q])) ++q;
        break;
      case '[':
        if (q < n && (!IsTranslatorConsonant(w[q]) || UpperAscii(w[q]) == 'H')) return false;
        break;
      case '\\':
        if (q < n && UpperAscii(w[q]) == 'S') ++q;
        break;
      default:
        if (q >= n || UpperAscii(w[q]) != symbol) return false;
        ++q;
        break;
    }
  }
  return true;
}

// Left context, read from its last symbol leftwards; q is one past the letter just
// before the match, so q == 0 is the position just before the start of the word.
bool MatchesLeft(std::string_view pattern, std::string_view w, std::size_t q) {
  for (auto it = pattern.rbegin(); it != pattern.rend(); ++it) {
    const char symbol = *it;
    switch (symbol) {
      case '#': {
        const std::size_t start = q;
        while (q > 0 && (IsTranslatorVowel(w[q - 1]) || IsTranslatorMark(w[q - 1]))) --q;
        if (q == start) return false;
        break;
      }
      case '%':
        if (q != 0) return false;
        break;
      case ']':
        if (q > 0 && IsOpenVowel(w[q - 1])) {
          q -= 1;
        } else if (q > 1 && IsTranslatorMark(w[q - 1]) && IsOpenVowel(w[q - 2])) {
          q -= 2;
        } else {
          return false;
        }
        break;
      case '_':
        if (q == 0) break;
        if (IsTranslatorVowel(w[q - 1])) {
          q -= 1;
        } else if (q > 1 && IsTranslatorMark(w[q - 1]) && IsTranslatorVowel(w[q - 2])) {
          q -= 2;
        } else {
          return false;
        }
        break;
      case '|':
        if (q == 0 || !IsOneOf(UpperAscii(w[q - 1]), "NRS")) return false;
        --q;
        break;
      default:
        if (q == 0 || UpperAscii(w[q - 1]) != symbol) return false;
        --q;
        break;
    }
  }
  return true;
}

bool RuleApplies(const TranslatorRule& rule, std::string_view w, std::size_t position) {
  if (rule.match.size() > w.size() - position) return false;
  for (std::size_t i = 0; i < rule.match.size(); ++i) {
    if (UpperAscii(w[position + i]) != rule.match[i]) return false;
  }
  return MatchesLeft(rule.left, w, position) && MatchesRight(rule.right, w, position + rule.match.size());
}

}  // namespace

bool IsTranslatorVowel(char c) { return IsOneOf(c, "AEIOUaeiou"); }

bool IsTranslatorConsonant(char c) { return IsOneOf(c, "BCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz"); }

bool IsTranslatorLetter(char c) { return IsTranslatorVowel(c) || IsTranslatorConsonant(c); }
bool IsTranslatorMark(char c) { return c != '\0' && IsOneOf(c, "\"'^`~"); }
bool IsTranslatorWordChar(char c) { return IsTranslatorLetter(c) || IsTranslatorMark(c); }
bool IsTranslatorPause(char c) { return c != '\0' && IsOneOf(c, " !,.:;?"); }

void FreeTranslatorRules(Translator& translator) {
  for (auto& bucket : translator.buckets) bucket.clear();
}

void LoadTranslatorRulesFromText(Translator& translator, std::string_view contents) {
  FreeTranslatorRules(translator);
  translator.exceptions.clear();
  const std::string text = text::DataTextToCp1252(contents);
  for (std::string_view line : SplitLines(text)) {
    std::optional<TranslatorRule> rule = ParseRuleLine(line);
    if (!rule) continue;
    const int bucket = BucketOf(rule->match.front());
    if (bucket < 0) continue;
    // Appending to the bucket keeps file order even when the rules of one first
    // letter are not written together.
    translator.buckets[static_cast<std::size_t>(bucket)].push_back(std::move(*rule));
  }
}

bool LoadTranslatorRules(Translator& translator, const std::string& fileName) {
  FreeTranslatorRules(translator);
  translator.exceptions.clear();
  const std::optional<std::string> contents = text::ReadWholeFile(fileName);
  if (!contents) return false;
  LoadTranslatorRulesFromText(translator, *contents);
  return true;
}

void LoadTranslatorExceptionsFromText(Translator& translator, std::string_view contents) {
  const std::string text = text::DataTextToCp1252(contents);
  for (std::string_view line : SplitLines(text)) {
    if (translator.exceptions.size() >= MaxTranslatorExceptions) break;
    line = line.substr(0, MaxExceptionLineLength);
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::size_t valueEnd = line.find('|', equals + 1);
    if (valueEnd == std::string_view::npos) valueEnd = line.size();
    const std::string_view key = TrimTrailingBlanks(line.substr(0, equals));
    const std::string_view value = TrimTrailingBlanks(line.substr(equals + 1, valueEnd - equals - 1));
    if (key.empty()) continue;
    // Keys go through the same mapping as the text, so the file may spell them with
    // accented letters ("táxi") and they still meet the words as read ("ta'xi").
    std::string mappedKey = MapTranslatorText(key);
    std::transform(mappedKey.begin(), mappedKey.end(), mappedKey.begin(), LowerAscii);
    translator.exceptions.push_back({std::move(mappedKey), MapHighCodes(value)});
  }
  std::stable_sort(translator.exceptions.begin(), translator.exceptions.end(),
                   [](const TranslatorException& a, const TranslatorException& b) { return a.key < b.key; });
}

bool LoadTranslatorExceptions(Translator& translator, const std::string& fileName) {
  const std::optional<std::string> contents = text::ReadWholeFile(fileName);
  if (!contents) return false;
  LoadTranslatorExceptionsFromText(translator, *contents);
  return true;
}

std::string MapTranslatorText(std::string_view text) {
  std::string source(text);
  std::string result;
  result.reserve(text.size() + text.size() / 4);
  for (std::size_t i = 0; i < source.size(); ++i) {
    char& c = source[i];
    const bool letterBefore = i > 0 && IsTranslatorLetter(source[i - 1]);
    const bool letterAfter = i + 1 < source.size() && IsTranslatorLetter(source[i + 1]);
    if ((c == 'W' || c == 'w') && (letterBefore || letterAfter)) c = 'u';
    if ((c == 'Y' || c == 'y') && (letterBefore || letterAfter)) c = 'i';
    if (c == '\'' && i > 0 && (source[i - 1] == 'D' || source[i - 1] == 'd')) continue;
    const unsigned char code = Byte(c);
    if (code < 32) {
      result += UnmappedReplacement;
    } else if (code < 128) {
      result += c;
    } else if (const char* replacement = HighCodes[code - 128]) {
      result += replacement;
    } else {
      result += UnmappedReplacement;
    }
  }
  return result;
}

bool NextTranslatorWord(std::string_view mapped, std::size_t& position, TranslatorWord& word) {
  while (position < mapped.size() && mapped[position] == ' ') ++position;
  if (position >= mapped.size()) return false;
  word.letters.clear();
  word.vowelCount = 0;
  word.hasAccentMark = false;
  char c = LowerAscii(mapped[position]);
  if (!IsTranslatorLetter(c)) {
    word.letters += c;
    ++position;
    return true;
  }
  while (IsTranslatorWordChar(c)) {
    // Letters past the buffer are read and dropped, so a long run stays one word.
    if (word.letters.size() < MaxTranslatorWordLength) {
      word.letters += c;
      if (IsTranslatorVowel(c)) ++word.vowelCount;
    }
    ++position;
    if (position >= mapped.size()) break;
    c = LowerAscii(mapped[position]);
    if (IsTranslatorMark(c) && c != '"') word.hasAccentMark = true;
  }
  return true;
}

void ApplyTranslatorExceptions(const Translator& translator, TranslatorWord& word) {
  const auto& table = translator.exceptions;
  auto find = [&table](std::string_view key) -> const TranslatorException* {
    auto it = std::lower_bound(table.begin(), table.end(), key,
                               [](const TranslatorException& entry, std::string_view k) { return entry.key < k; });
    return (it != table.end() && it->key == key) ? &*it : nullptr;
  };
  std::string stem = word.letters;
  std::string peeled;  // the letters taken off, in the order they stood in the word
  const TranslatorException* found = find(stem);
  while (!found && !stem.empty() && (stem.back() == 's' || stem.back() == 'm')) {
    peeled.insert(peeled.begin(), stem.back());
    stem.pop_back();
    if (stem.empty()) break;
    found = find(stem);
  }
  if (!found) return;
  word.letters = found->value + peeled;
  if (word.letters.size() > MaxTranslatorWordLength) word.letters.resize(MaxTranslatorWordLength);
}

void MarkStress(TranslatorWord& word) {
  std::string& w = word.letters;
  const std::size_t n = w.size();
  if (word.hasAccentMark || word.vowelCount == 0 || n == 0) return;
  if (word.vowelCount == 1 && w.back() != 'l') return;

  // at(p) is W[p] with 1-based p; positions before the first letter hold no letter.
  auto at = [&w](std::size_t p) -> char { return (p >= 1 && p <= w.size()) ? w[p - 1] : '\0'; };
  auto isGlideU = [&at](std::size_t p) { return at(p) == 'u' && p > 1 && IsGQ(at(p - 1)); };
  auto mark = [&w](std::size_t p) {
    if (p >= 1 && p <= w.size()) w[p - 1] = UpperAscii(w[p - 1]);
  };

  int state = 0;
  std::size_t pending = 0;  // position to upper-case in the next step, 0 when none
  for (std::size_t p = n; p >= 1; --p) {
    if (pending != 0) break;
    const char c = at(p);
    switch (state) {
      case 0:
        if (IsOneOf(c, "aeo"))
          state = 5;
        else if (IsOneOf(c, "iu"))
          state = 3;
        else if (IsOneOf(c, "lnrxz"))
          state = 1;
        else if (c == 'm')
          state = 2;
        else if (c == 's')
          state = 4;
        break;
      case 1:
        if (IsTranslatorVowel(c)) pending = p;
        break;
      case 2:
        if (IsOneOf(c, "ae"))
          state = 5;
        else if (IsOneOf(c, "iu"))
          state = 3;
        else if (c == 'o')
          pending = p;
        break;
      case 3:
        if (IsTranslatorConsonant(c) || isGlideU(p))
          pending = p + 1;
        else
          pending = p;
        break;
      case 4:
        // -ons is the plural of -om, stressed on its o as the singular is ("bombons").
        if (c == 'n' && at(p - 1) == 'o')
          pending = p - 1;
        else if (IsOneOf(c, "aeo"))
          state = 5;
        else if (IsOneOf(c, "iu"))
          state = 3;
        break;
      case 5:
        if (IsOneOf(c, "aeo"))
          state = 5, pending = p;
        else if (IsOneOf(c, "iu"))
          state = 8;
        break;
      case 8: {
        // The u of a final que, gue, quem, gues... is silent, and the u of a
        // final gua, quam, guas... a glide: the final syllable goes on, and the
        // vowel before it is the stressed one ("parque", "averigua", "extinguam").
        if (IsGQ(c) && at(p + 1) == 'u' && IsTranslatorVowel(at(p + 2))) {
          state = 5;
          break;
        }
        if (IsTranslatorConsonant(c) || isGlideU(p)) {
          pending = p + 1;
          break;
        }
        const char after = at(p + 2);
        const char afterNext = at(p + 3);
        const bool closedSyllable = (after == 'n' && afterNext == 'h') || (after == 'r' && afterNext == 'r') ||
                                    (IsOneOf(after, "lmnrz") && IsTranslatorConsonant(afterNext) && afterNext != 'h');
        pending = closedSyllable ? p + 1 : p;
        break;
      }
    }
  }
  // A mark decided at the first letter is carried out too ("isto", "ele", "ontem"),
  // and an i or u still waiting at the start of the word is the stressed vowel
  // ("uva", "ilha"), as if a consonant stood before the word.
  if (pending == 0 && (state == 3 || state == 8)) pending = 1;
  mark(pending);
}

bool IsSpelledWord(const TranslatorWord& word) {
  const std::string& w = word.letters;
  if (w.empty()) return false;
  if (w.front() == '\x01') return true;
  return std::all_of(w.begin(), w.end(), [](char c) { return IsTranslatorConsonant(c) || IsTranslatorPause(c); });
}

std::string SpellWord(const TranslatorWord& word) {
  std::string result;
  for (char c : word.letters) {
    result += "[ /_";
    result += c;
    result += ']';
  }
  return result;
}

std::string TranslateWordByRules(const Translator& translator, const TranslatorWord& word) {
  const std::string_view w = word.letters;
  std::string result = "[";
  std::size_t position = 0;
  while (position < w.size()) {
    const char letter = UpperAscii(w[position]);
    std::string output = " /_";
    output += letter;
    std::size_t advance = 1;
    const int bucket = BucketOf(letter);
    if (bucket >= 0) {
      for (const TranslatorRule& rule : translator.buckets[static_cast<std::size_t>(bucket)]) {
        if (RuleApplies(rule, w, position)) {
          output = rule.output;
          advance = rule.match.size();
          break;
        }
      }
    }
    if (w[position] >= 'A' && w[position] <= 'Z' && IsTranslatorVowel(w[position])) {
      auto vowel = std::find_if(output.begin(), output.end(), IsTranslatorVowel);
      if (vowel != output.end()) *vowel = UpperAscii(*vowel);
    }
    result += output;
    position += advance;
    if (position < w.size()) result += '/';
  }
  result += ']';
  return result;
}

std::vector<TranslatedWord> TranslateWords(const Translator& translator, std::string_view text) {
  const std::string mapped = MapTranslatorText(text);
  std::vector<TranslatedWord> words;
  std::size_t position = 0;
  TranslatorWord word;
  while (NextTranslatorWord(mapped, position, word)) {
    const bool letters = IsTranslatorLetter(word.letters.front());
    ApplyTranslatorExceptions(translator, word);
    MarkStress(word);
    const bool spelled = IsSpelledWord(word);
    words.push_back({spelled ? SpellWord(word) : TranslateWordByRules(translator, word), letters && !spelled});
  }
  return words;
}

std::string TranslateText(const Translator& translator, std::string_view text) {
  std::vector<TranslatedWord> words = TranslateWords(translator, text);
  ApplyPhraseRules(words);
  return JoinTranscriptions(words);
}

}  // namespace translator
