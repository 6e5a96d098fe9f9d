#pragma once
// Portuguese letter-to-sound translator: text to the phonetic transcription the diphone synthesizer speaks.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace translator {

inline constexpr int TranslatorBucketCount = 64;  // first match characters 32 (blank) to 95 ("_")
inline constexpr std::size_t MaxTranslatorExceptions = 15000;
inline constexpr std::size_t MaxTranslatorWordLength = 256;
inline constexpr std::size_t MaxRuleContextLength = 5;
inline constexpr std::size_t MaxRuleMatchLength = 5;
inline constexpr std::size_t MaxRuleOutputLength = 11;
inline constexpr std::size_t MaxExceptionLineLength = 255;

// Character classes of the translator's working text (byte values).
bool IsTranslatorVowel(char c);      // A E I O U a e i o u
bool IsTranslatorConsonant(char c);  // the other ASCII letters
bool IsTranslatorLetter(char c);
bool IsTranslatorMark(char c);      // " ' ^ ` ~ written after a vowel
bool IsTranslatorWordChar(char c);  // letters and marks
bool IsTranslatorPause(char c);     // blank ! , . : ; ?

// One rewrite rule: left(match)right=output. match is upper case.
struct TranslatorRule {
  std::string left;
  std::string match;
  std::string right;
  std::string output;
};

struct TranslatorException {
  std::string key;
  std::string value;
};

// The loaded rules and exceptions. Built-in speech keeps one; tests and tools make their own.
struct Translator {
  // Bucket i holds the rules whose match starts with character 32 + i, in file order.
  std::array<std::vector<TranslatorRule>, TranslatorBucketCount> buckets;
  // Sorted by key in byte order once loading ends.
  std::vector<TranslatorException> exceptions;
};

// The word being translated: W[1..n] is letters[0..n-1].
struct TranslatorWord {
  std::string letters;
  int vowelCount = 0;          // vowels of the word as read from the text
  bool hasAccentMark = false;  // a mark other than " followed a character inside the word
};

// Loading the rules clears the rules and the exception table first, so the rules are
// loaded before the exceptions. Both return false only when the file cannot be read.
[[nodiscard]] bool LoadTranslatorRules(Translator& translator, const std::string& fileName);
[[nodiscard]] bool LoadTranslatorExceptions(Translator& translator, const std::string& fileName);
void FreeTranslatorRules(Translator& translator);

// The same loaders on file contents already in memory (used by the file loaders,
// tests and fuzzers). The contents go through text::DataTextToCp1252 first.
void LoadTranslatorRulesFromText(Translator& translator, std::string_view contents);
void LoadTranslatorExceptionsFromText(Translator& translator, std::string_view contents);

// One word of a text as the translator says it.
struct TranslatedWord {
  std::string transcription;  // "[ka/zA]"; a spelled word is one "[ /_c]" group per letter
  bool byRules = false;       // letters said by the rules (spelled words and signs are not)
  bool joinsNext = false;     // said with the next word, without the pause between words
};

// The transcription of a run of words (Windows-1252 text): each word by itself, then
// the phrase rules between them.
std::string TranslateText(const Translator& translator, std::string_view text);
// Each word of the text by itself, in order, punctuation and signs included.
std::vector<TranslatedWord> TranslateWords(const Translator& translator, std::string_view text);
// What happens where two words of one phrase meet (no punctuation, digit or spelled word
// between them): a final s is voiced before a vowel or a voiced consonant and merges
// into an s or z that begins the next word; the two words are then said as one.
void ApplyPhraseRules(std::vector<TranslatedWord>& words);
// The words' transcriptions in order; a word said with the next shares its brackets,
// the two parted by a blank.
std::string JoinTranscriptions(const std::vector<TranslatedWord>& words);

// The steps of TranslateText, each on its own for tests and tools.

// Accented letters to plain letters and marks, w/y beside letters to u/i, control and
// unmapped characters to a blank, code 1 and a blank.
std::string MapTranslatorText(std::string_view text);
// Reads the next word of mapped text from position; false at the end of the text.
bool NextTranslatorWord(std::string_view mapped, std::size_t& position, TranslatorWord& word);
// Replaces the word by its exception value, trying again without final "s" and "m".
void ApplyTranslatorExceptions(const Translator& translator, TranslatorWord& word);
// Upper-cases the stressed vowel of a word written without accent marks.
void MarkStress(TranslatorWord& word);
bool IsSpelledWord(const TranslatorWord& word);
std::string SpellWord(const TranslatorWord& word);
std::string TranslateWordByRules(const Translator& translator, const TranslatorWord& word);

}  // namespace translator
