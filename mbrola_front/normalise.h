#pragma once
// Text normalisation: numbers, symbols, abbreviations and vowel-less words become Portuguese words.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_front {

struct Abbreviation {
  std::string key;  // upper case
  std::string expansion;
};

// Entries in file order; a file with more entries keeps the first MaxAbbreviations.
struct AbbreviationTable {
  static constexpr size_t MaxAbbreviations = 2000;
  std::vector<Abbreviation> entries;
};

enum class Gender { Masculine, Feminine };

struct GroupWordsResult {
  std::string words;
  bool innerE = false;  // the words hold an " e " of their own (cento e um, vinte e dois)
};

// Abbreviation file: "key = expansion" lines, ";" comments. False when unreadable.
[[nodiscard]] bool LoadAbbreviations(const std::string& path, AbbreviationTable& table);
void LoadAbbreviationLines(const std::vector<std::string>& lines, AbbreviationTable& table);
// The first entry whose key equals the upper-cased word; empty when absent.
std::string LookupAbbreviation(const AbbreviationTable& table, std::string_view word);

std::string NormaliseText(const AbbreviationTable& table, std::string_view text);

// Positions are 0-based byte offsets; pos is moved past what was read.
std::string ReadNumberAt(std::string_view text, size_t& pos);
std::string ReadWordAt(const AbbreviationTable& table, std::string_view text, size_t& pos);

// value in 0 .. 999 999 999 999 999
std::string CardinalWords(int64_t value);
std::string OrdinalWords(Gender gender, int64_t value);
GroupWordsResult GroupWords(char hundreds, char tens, char units);
// groupIndex 0 is the group of 10^12, 4 the units group.
GroupWordsResult ScaledGroupWords(std::string_view threeDigits, int groupIndex);
std::string GenderForm(std::string_view word, Gender gender);
std::optional<std::string> CharacterName(unsigned char code);

bool IsLetter(unsigned char c);  // the 84 letters of Portuguese text
bool IsWordConsonant(unsigned char c);

}  // namespace mbrola_front
