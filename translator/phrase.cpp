// The translator's phrase rules: what changes where two words of one phrase meet.
#include <cstddef>

#include "translator/translator.h"

namespace translator {
namespace {

// A word's transcription without its brackets; empty when it has none.
std::string_view Inside(std::string_view transcription) {
  if (transcription.size() < 2 || transcription.front() != '[' || transcription.back() != ']') return {};
  return transcription.substr(1, transcription.size() - 2);
}

// The output of the rule that said the word's last letters.
std::string_view LastOutput(std::string_view transcription) {
  const std::string_view inside = Inside(transcription);
  const std::size_t slash = inside.rfind('/');
  return slash == std::string_view::npos ? inside : inside.substr(slash + 1);
}

// The first phone the word is said with: letters with an empty output (a silent h) say
// nothing before it.
char FirstPhone(std::string_view transcription) {
  for (const char c : Inside(transcription)) {
    if (c != '/') return c;
  }
  return '\0';
}

enum class Onset { Voiceless, Voiced, Sibilant };

Onset OnsetOf(char phone) {
  const char c = (phone >= 'A' && phone <= 'Z') ? static_cast<char>(phone - 'A' + 'a') : phone;
  if (c == 's' || c == 'z') return Onset::Sibilant;
  // Vowels and glides, and the voiced consonants (their first letters: b, d and dj, g,
  // v, j, m, n and nh, l and lh, r and rr).
  if (c != '\0' && std::string_view("aeiouwybdgvjmnlr").find(c) != std::string_view::npos) return Onset::Voiced;
  return Onset::Voiceless;
}

}  // namespace

void ApplyPhraseRules(std::vector<TranslatedWord>& words) {
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    TranslatedWord& word = words[i];
    const TranslatedWord& next = words[i + 1];
    if (!word.byRules || !next.byRules || LastOutput(word.transcription) != "s") continue;
    std::string& t = word.transcription;
    switch (OnsetOf(FirstPhone(next.transcription))) {
      case Onset::Voiceless: continue;
      case Onset::Voiced: t[t.size() - 2] = 'z'; break;
      case Onset::Sibilant: {
        // "as sombras", "os zebus": one sibilant for the two, the next word's.
        const std::size_t slash = t.rfind('/');
        if (slash == std::string::npos) continue;  // nothing would be left of the word
        t.erase(slash, t.size() - 1 - slash);
        break;
      }
    }
    word.joinsNext = true;
  }
}

std::string JoinTranscriptions(const std::vector<TranslatedWord>& words) {
  std::string result;
  bool joined = false;  // the word before is said with this one
  for (const TranslatedWord& word : words) {
    std::string_view t = word.transcription;
    if (joined) {
      t.remove_prefix(1);
      result += ' ';
    }
    if (word.joinsNext) t.remove_suffix(1);
    result += t;
    joined = word.joinsNext;
  }
  return result;
}

}  // namespace translator
