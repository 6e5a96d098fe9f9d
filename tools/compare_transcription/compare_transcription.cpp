// Compares our rule transcription of Portuguese words with espeak-ng's (pt-br), words of
// a list each alone or the words of whole sentences in context: both are brought to one
// phone set, then the tool reports the share of words with the same phones and with the
// same stressed syllable, and the commonest differences. sentences_tuning.txt beside this
// file is the prose the rules are tuned on; sentences_heldout.txt is kept for checking.

#include "text/case.h"
#include "text/cp1252.h"
#include "text/files.h"
#include "tools/voicedata/units.h"
#include "translator/translator.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// One phone of the common set. Vowels a e E i o O u (open e and o apart), a nasal
// flag; consonants by name: T = tch, D = dj, S = x/ch, Z = j, N = nh, X = strong r,
// r = tap; "?" for a letter played by its own sound.
struct Phone {
  std::string name;
  bool nasal = false;
  bool stressed = false;
  bool glide = false;
  bool operator==(const Phone& other) const { return name == other.name && nasal == other.nasal; }
};

using Phones = std::vector<Phone>;

bool IsVowelName(const std::string& name) {
  return name == "a" || name == "e" || name == "E" || name == "i" || name == "o" || name == "O" || name == "u";
}

// Allophones on which the two transcriptions may fairly differ are merged here: the
// nasal colour of a vowel before a nasal consonant, nasality shared inside a vowel run,
// and l closing a syllable (said as u in Brazil).
void Normalize(Phones& phones) {
  for (std::size_t i = 0; i < phones.size(); ++i) {
    if (phones[i].name == "l" && (i + 1 == phones.size() || !IsVowelName(phones[i + 1].name))) {
      phones[i].name = "u";
      phones[i].glide = true;
    }
  }
  // Affricates written as two phones.
  for (std::size_t i = 0; i + 1 < phones.size(); ++i) {
    const std::string pair = phones[i].name + phones[i + 1].name;
    if (pair == "tS" || pair == "dZ") {
      phones[i].name = pair == "tS" ? "T" : "D";
      phones.erase(phones.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
  // m or n closing a syllable is the nasal colour of the vowel before it.
  for (std::size_t i = 0; i + 1 < phones.size(); ++i) {
    const std::string& next = phones[i + 1].name;
    const bool closing = i + 2 == phones.size() || !IsVowelName(phones[i + 2].name);
    if (IsVowelName(phones[i].name) && (next == "m" || next == "n") && closing) {
      phones[i].nasal = true;
      phones.erase(phones.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
  for (std::size_t i = 0; i + 1 < phones.size(); ++i) {
    const std::string& next = phones[i + 1].name;
    if (IsVowelName(phones[i].name) && (next == "m" || next == "n" || next == "N")) phones[i].nasal = false;
  }
  // Spread until nothing changes: a run of any length shares its nasality (eiam has four).
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t i = 0; i + 1 < phones.size(); ++i) {
      if (IsVowelName(phones[i].name) && IsVowelName(phones[i + 1].name) && phones[i].nasal != phones[i + 1].nasal) {
        phones[i].nasal = phones[i + 1].nasal = true;
        changed = true;
      }
    }
  }
  // Nasal vowels have no open and closed kinds; nasal e with or without its glide is one.
  for (std::size_t i = 0; i < phones.size(); ++i) {
    if (!phones[i].nasal) continue;
    if (phones[i].name == "E") phones[i].name = "e";
    if (phones[i].name == "O") phones[i].name = "o";
    if (phones[i].name == "e" && i + 1 < phones.size() && phones[i + 1].name == "i" && phones[i + 1].glide) {
      phones.erase(phones.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    }
  }
}

Phones FromOurs(std::string_view transcription) {
  Phones phones;
  bool pendingUnknown = false;
  for (std::size_t i = 0; i < transcription.size(); ++i) {
    const char c = transcription[i];
    const std::string_view rest = transcription.substr(i);
    auto add = [&phones](std::string name, bool glide = false, bool stressed = false) {
      phones.push_back({std::move(name), false, stressed, glide});
    };
    if (pendingUnknown) {
      add("?");
      pendingUnknown = false;
      continue;
    }
    switch (c) {
      case '[':
      case ']':
      case '/':
      case ' ': break;
      case '_': pendingUnknown = true; break;
      case '~':
        if (!phones.empty()) phones.back().nasal = true;
        break;
      case '^':
        if (!phones.empty()) {
          std::string& name = phones.back().name;
          if (name == "E")
            name = "e";
          else if (name == "O")
            name = "o";
        }
        break;
      default:
        if (rest.substr(0, 3) == "tch") {
          add("T");
          i += 2;
        } else if (rest.substr(0, 2) == "dj") {
          add("D");
          i += 1;
        } else if (rest.substr(0, 2) == "nh") {
          add("N");
          i += 1;
        } else if (rest.substr(0, 2) == "lh") {
          add("l");
          add("i", true);
          i += 1;
        } else if (rest.substr(0, 2) == "rr") {
          add("X");
          i += 1;
        } else if (c == 'x')
          add("S");
        else if (c == 'j')
          add("Z");
        else if (c == 'y' || c == 'Y')
          add("i", true, c == 'Y');
        else if (c == 'w' || c == 'W')
          add("u", true, c == 'W');
        else if (c == 'e' || c == 'o')
          add(std::string(1, static_cast<char>(c - 'a' + 'A')));
        else if (c == 'E' || c == 'O')
          add(std::string(1, c), false, true);
        else if (c == 'A' || c == 'I' || c == 'U')
          add(std::string(1, static_cast<char>(c - 'A' + 'a')), false, true);
        else
          add(std::string(1, c));
        break;
    }
  }
  Normalize(phones);
  return phones;
}

Phones FromEspeak(std::string_view text) {
  Phones phones;
  bool stressNext = false;
  auto add = [&phones, &stressNext](std::string name, bool glide = false) {
    const bool vowel = IsVowelName(name) && !glide;
    phones.push_back({std::move(name), false, vowel && stressNext, glide});
    if (vowel) stressNext = false;
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const std::string_view rest = text.substr(i);
    const bool afterVowel = !phones.empty() && IsVowelName(phones.back().name);
    if (c == '\'') {
      stressNext = true;
      continue;
    }
    if (c == ',' || c == '@' || c == '-' || c == ';' || c == '#' || c == ':' || c == ' ') continue;
    if (c == '~' || c == 'N') {
      if (!phones.empty()) phones.back().nasal = true;
      continue;
    }
    if (rest.substr(0, 2) == "tS") {
      add("T");
      ++i;
      continue;
    }
    if (rest.substr(0, 2) == "dZ") {
      add("D");
      ++i;
      continue;
    }
    if (rest.substr(0, 2) == "n^") {
      add("N");
      ++i;
      continue;
    }
    if (rest.substr(0, 2) == "l^") {
      add("l");
      add("i", true);
      ++i;
      continue;
    }
    switch (c) {
      case '&': add("a"); break;
      case 'y': add("i"); break;
      case 'I': add("i", afterVowel); break;
      case 'U': add("u", afterVowel); break;
      case 'j': add("i", true); break;
      case 'w': add("u", true); break;
      case '*':
      case 'R': add("r"); break;
      case 'x':
      case 'h': add("X"); break;
      default: add(std::string(1, c)); break;
    }
  }
  Normalize(phones);
  return phones;
}

// Position of our stressed vowel in their string, by the alignment of the two phone
// strings (edit distance), so that a glide read as a vowel elsewhere in the word does
// not count as another stress.
bool SameStress(const Phones& ours, const Phones& theirs) {
  const std::size_t n = ours.size(), m = theirs.size();
  std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) cost[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= m; ++j) cost[0][j] = static_cast<int>(j);
  auto substitution = [](const Phone& a, const Phone& b) {
    if (a == b) return 0;
    return IsVowelName(a.name) == IsVowelName(b.name) ? 1 : 2;
  };
  for (std::size_t i = 1; i <= n; ++i)
    for (std::size_t j = 1; j <= m; ++j)
      cost[i][j] = std::min(
          {cost[i - 1][j] + 1, cost[i][j - 1] + 1, cost[i - 1][j - 1] + substitution(ours[i - 1], theirs[j - 1])});
  std::size_t i = n, j = m;
  while (i > 0 && j > 0) {
    if (cost[i][j] == cost[i - 1][j - 1] + substitution(ours[i - 1], theirs[j - 1])) {
      if (ours[i - 1].stressed || theirs[j - 1].stressed) return ours[i - 1].stressed && theirs[j - 1].stressed;
      --i, --j;
    } else if (cost[i][j] == cost[i - 1][j] + 1) {
      if (ours[i - 1].stressed) return false;
      --i;
    } else {
      if (theirs[j - 1].stressed) return false;
      --j;
    }
  }
  return false;
}

// Which syllable, counted from the start (glides and hiatus are read differently
// mostly near the end of a word), carries the stress; 0 when none is marked.
int StressedSyllable(const Phones& phones) {
  int fromStart = 0;
  for (const Phone& phone : phones) {
    if (!IsVowelName(phone.name) || phone.glide) continue;
    ++fromStart;
    if (phone.stressed) return fromStart;
  }
  return 0;
}

int SyllableCount(const Phones& phones) {
  return static_cast<int>(
      std::count_if(phones.begin(), phones.end(), [](const Phone& p) { return IsVowelName(p.name) && !p.glide; }));
}

std::string Show(const Phones& phones) {
  std::string text;
  for (const Phone& p : phones) {
    if (p.stressed) text += '\'';
    text += p.name;
    if (p.nasal) text += '~';
  }
  return text;
}

std::string Label(const Phone* p) { return p ? p->name + (p->nasal ? "~" : "") : "-"; }

// Differences found by aligning the two phone strings (edit distance).
std::vector<std::string> Differences(const Phones& ours, const Phones& theirs) {
  const std::size_t n = ours.size(), m = theirs.size();
  std::vector<std::vector<int>> cost(n + 1, std::vector<int>(m + 1));
  for (std::size_t i = 0; i <= n; ++i) cost[i][0] = static_cast<int>(i);
  for (std::size_t j = 0; j <= m; ++j) cost[0][j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= n; ++i)
    for (std::size_t j = 1; j <= m; ++j)
      cost[i][j] = std::min(
          {cost[i - 1][j] + 1, cost[i][j - 1] + 1, cost[i - 1][j - 1] + (ours[i - 1] == theirs[j - 1] ? 0 : 1)});
  std::vector<std::string> result;
  std::size_t i = n, j = m;
  while (i > 0 || j > 0) {
    if (i > 0 && j > 0 && cost[i][j] == cost[i - 1][j - 1] + (ours[i - 1] == theirs[j - 1] ? 0 : 1)) {
      if (!(ours[i - 1] == theirs[j - 1])) result.push_back(Label(&ours[i - 1]) + " > " + Label(&theirs[j - 1]));
      --i, --j;
    } else if (i > 0 && cost[i][j] == cost[i - 1][j] + 1) {
      result.push_back(Label(&ours[i - 1]) + " > -");
      --i;
    } else {
      result.push_back("- > " + Label(&theirs[j - 1]));
      --j;
    }
  }
  return result;
}

enum class Mode { Words, Sentences };

struct Options {
  std::string wordList = "/usr/share/dict/brazilian";
  std::string rules = QUELVAR_SOURCE_DATA_DIR "/regras.rgr";
  std::string exceptions = QUELVAR_SOURCE_DATA_DIR "/portug.exc";
  std::size_t sample = 3000;
  unsigned seed = 1;
  std::size_t top = 15;
  bool listAll = false;
  bool listSame = false;
  Mode mode = Mode::Words;
};

void PrintUsage() {
  std::cerr << "usage: compare_transcription [--words=FILE] [--sample=N (0: all)] [--seed=N]\n"
               "       [--rules=FILE] [--exceptions=FILE] [--top=N] [--list | --list-all]\n"
               "       [--sentences]\n"
               "--list prints the words that differ, --list-all every word\n"
               "--sentences reads running text, a sentence a line: each sentence is transcribed\n"
               "  whole, as built-in speech says it (its runs of words through the translator\n"
               "  and the phrase rules), and each word in it is compared with the same word of\n"
               "  espeak-ng's reading of the whole sentence. Lines with digits are left out (the\n"
               "  digits are said by recordings), and so are sentences whose words do not pair\n"
               "  up. A word that espeak-ng gives only a secondary stress in the phrase counts\n"
               "  as stressed there. Where a word ends in s or z before one that begins with s\n"
               "  or z, the phrase rules say the sibilant once and espeak-ng writes it twice:\n"
               "  the first of its two counts as the one we say.\n";
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&arg](const char* prefix) { return arg.substr(std::string(prefix).size()); };
    if (arg.rfind("--words=", 0) == 0)
      options.wordList = value("--words=");
    else if (arg.rfind("--rules=", 0) == 0)
      options.rules = value("--rules=");
    else if (arg.rfind("--exceptions=", 0) == 0)
      options.exceptions = value("--exceptions=");
    else if (arg.rfind("--sample=", 0) == 0)
      options.sample = std::stoul(value("--sample="));
    else if (arg.rfind("--seed=", 0) == 0)
      options.seed = static_cast<unsigned>(std::stoul(value("--seed=")));
    else if (arg.rfind("--top=", 0) == 0)
      options.top = std::stoul(value("--top="));
    else if (arg == "--list")
      options.listAll = true;
    else if (arg == "--list-all")
      options.listAll = options.listSame = true;
    else if (arg == "--sentences")
      options.mode = Mode::Sentences;
    else {
      PrintUsage();
      return false;
    }
  }
  return true;
}

bool IsPlainWord(std::string_view word) {
  if (word.empty()) return false;
  return std::all_of(word.begin(), word.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || b >= 0xE0;  // lower-case letters, accented or not
  });
}

void PrintTop(const char* title, const std::map<std::string, std::pair<int, std::string>>& counts, std::size_t top) {
  std::vector<std::pair<std::string, std::pair<int, std::string>>> sorted(counts.begin(), counts.end());
  std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second.first > b.second.first; });
  std::printf("%s\n", title);
  for (std::size_t i = 0; i < sorted.size() && i < top; ++i) {
    std::printf("  %5d  %-14s e.g. %s\n", sorted[i].second.first, sorted[i].first.c_str(),
                sorted[i].second.second.c_str());
  }
}

// The lower-case words of a Windows-1252 line: runs of letters.
std::vector<std::string> LineWords(std::string_view line) {
  std::vector<std::string> words;
  std::string word;
  for (std::size_t i = 0; i <= line.size(); ++i) {
    const auto b = i < line.size() ? static_cast<unsigned char>(line[i]) : 0u;
    const bool letter = (b >= 'a' && b <= 'z') || (b >= 0xE0 && b != 0xF7) || (b >= 'A' && b <= 'Z') ||
                        (b >= 0xC0 && b < 0xDF && b != 0xD7);
    if (letter) {
      word += text::LowerChar(static_cast<char>(b));
    } else {
      if (!word.empty()) words.push_back(word);
      word.clear();
    }
  }
  return words;
}

// espeak-ng's reading of a whole sentence, one token a word.
std::vector<std::string> EspeakSentenceTokens(const std::string& utf8) {
  std::string all;
  const void* input = utf8.c_str();
  while (input != nullptr) {
    const char* clause = espeak_TextToPhonemes(&input, espeakCHARS_UTF8, 0);
    if (clause == nullptr) break;
    all += clause;
    all += ' ';
  }
  std::vector<std::string> tokens;
  std::string token;
  for (std::size_t i = 0; i <= all.size(); ++i) {
    const char c = i < all.size() ? all[i] : ' ';
    if (c == ' ' || c == '\n') {
      if (!token.empty()) {
        // A phrase leaves some words only a secondary stress: count it as theirs.
        if (token.find('\'') == std::string::npos) {
          const std::size_t secondary = token.find(',');
          if (secondary != std::string::npos) token[secondary] = '\'';
        }
        tokens.push_back(token);
      }
      token.clear();
    } else if (c != '_') {  // pauses between clauses belong to no word
      token += c;
    }
  }
  return tokens;
}

// One word to compare: its spelling (UTF-8) and both readings.
struct Comparison {
  std::string word;
  Phones ours, theirs;
};

bool IsSibilant(const Phones& phones, bool last) {
  if (phones.empty()) return false;
  const std::string& name = last ? phones.back().name : phones.front().name;
  return name == "s" || name == "z";
}

// The words of each sentence in context (see --sentences).
std::vector<Comparison> SentenceComparisons(const translator::Translator& translator, std::istream& list,
                                            std::size_t& leftOut) {
  std::vector<Comparison> comparisons;
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_of("0123456789") != std::string::npos) {
      ++leftOut;
      continue;
    }
    const std::string cp1252 = text::DataTextToCp1252(line);
    const std::vector<std::string> spelled = LineWords(cp1252);
    if (spelled.empty()) continue;
    std::vector<translator::TranslatedWord> ours;
    for (const std::string& run : voicedata::WordRuns(cp1252)) {
      std::vector<translator::TranslatedWord> words = translator::TranslateWords(translator, run);
      translator::ApplyPhraseRules(words);
      for (auto& word : words) {
        if (word.byRules) ours.push_back(std::move(word));
      }
    }
    const std::vector<std::string> theirs = EspeakSentenceTokens(line);
    if (ours.size() != spelled.size() || theirs.size() != spelled.size()) {
      ++leftOut;
      continue;
    }
    std::vector<Phones> theirPhones;
    for (const std::string& token : theirs) theirPhones.push_back(FromEspeak(token));
    for (std::size_t i = 0; i < spelled.size(); ++i) {
      Comparison c{text::Cp1252ToUtf8(spelled[i]), FromOurs(ours[i].transcription), theirPhones[i]};
      const bool merged = ours[i].joinsNext && !IsSibilant(c.ours, true);
      if (merged && i + 1 < spelled.size() && IsSibilant(c.theirs, true) && IsSibilant(theirPhones[i + 1], false)) {
        c.theirs.pop_back();
      }
      comparisons.push_back(std::move(c));
    }
  }
  return comparisons;
}

// A sample of the word list, each word alone.
std::vector<Comparison> WordComparisons(const translator::Translator& translator, std::istream& list,
                                        const Options& options) {
  std::vector<std::string> plain;
  for (std::string line; std::getline(list, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (IsPlainWord(text::DataTextToCp1252(line))) plain.push_back(line);
  }
  if (options.sample != 0 && options.sample < plain.size()) {
    std::mt19937 random(options.seed);
    std::shuffle(plain.begin(), plain.end(), random);
    plain.resize(options.sample);
    std::sort(plain.begin(), plain.end());
  }
  std::vector<Comparison> comparisons;
  for (const std::string& word : plain) {
    const void* input = word.c_str();
    const char* theirs = espeak_TextToPhonemes(&input, espeakCHARS_UTF8, 0);
    comparisons.push_back({word, FromOurs(translator::TranslateText(translator, text::DataTextToCp1252(word))),
                           FromEspeak(theirs ? theirs : "")});
  }
  return comparisons;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) return 2;

  translator::Translator translator;
  if (!translator::LoadTranslatorRules(translator, options.rules) ||
      !translator::LoadTranslatorExceptions(translator, options.exceptions)) {
    std::cerr << "cannot read " << options.rules << " or " << options.exceptions << "\n";
    return 1;
  }

  const auto listBytes = text::ReadWholeFile(options.wordList);
  std::istringstream list(listBytes.value_or(std::string()));
  if (!listBytes) {
    std::cerr << "cannot read " << options.wordList << "\n";
    return 1;
  }
  if (espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0) < 0 || espeak_SetVoiceByName("pt-br") != EE_OK) {
    std::cerr << "espeak-ng with a pt-br voice is needed\n";
    return 1;
  }
  std::size_t sentencesLeftOut = 0;
  const std::vector<Comparison> comparisons = options.mode == Mode::Sentences
                                                  ? SentenceComparisons(translator, list, sentencesLeftOut)
                                                  : WordComparisons(translator, list, options);
  espeak_Terminate();

  long total = 0, samePhones = 0, sameStress = 0, sameBoth = 0;
  std::map<std::string, std::pair<int, std::string>> phoneDifferences, stressEndings;
  for (const Comparison& c : comparisons) {
    const Phones& a = c.ours;
    const Phones& b = c.theirs;
    const bool phonesEqual = a == b;
    const int stressA = StressedSyllable(a), stressB = StressedSyllable(b);
    const bool stressEqual = (stressA == 0 && stressB == 0) || (SyllableCount(a) <= 1 && SyllableCount(b) <= 1) ||
                             (stressA != 0 && stressB != 0 && SameStress(a, b));
    ++total;
    samePhones += phonesEqual;
    sameStress += stressEqual;
    sameBoth += phonesEqual && stressEqual;
    if (!phonesEqual) {
      std::vector<std::string> differences = Differences(a, b);
      std::sort(differences.begin(), differences.end());
      differences.erase(std::unique(differences.begin(), differences.end()), differences.end());
      for (const std::string& d : differences) {
        auto& entry = phoneDifferences[d];
        if (entry.first++ == 0) entry.second = c.word;
      }
    }
    if (!stressEqual) {
      const std::string plain = text::DataTextToCp1252(c.word);
      const std::string ending = text::Cp1252ToUtf8(plain.substr(plain.size() >= 3 ? plain.size() - 3 : 0));
      auto& entry = stressEndings["-" + ending];
      if (entry.first++ == 0) entry.second = c.word;
    }
    if (options.listAll && (options.listSame || !phonesEqual || !stressEqual)) {
      std::printf("%s%s %s | %s | %s\n", phonesEqual ? " " : "P", stressEqual ? " " : "S", c.word.c_str(),
                  Show(a).c_str(), Show(b).c_str());
    }
  }

  const double share = 100.0 / static_cast<double>(std::max<long>(total, 1));
  std::printf("words compared:          %ld (from %s)\n", total, options.wordList.c_str());
  if (options.mode == Mode::Sentences) {
    std::printf("sentences left out:      %zu (digits, or words not aligned)\n", sentencesLeftOut);
  }
  std::printf("same phones:             %.1f %%\n", share * static_cast<double>(samePhones));
  std::printf("same stressed syllable:  %.1f %%\n", share * static_cast<double>(sameStress));
  std::printf("both:                    %.1f %%\n", share * static_cast<double>(sameBoth));
  PrintTop("commonest phone differences (ours > espeak-ng, words):", phoneDifferences, options.top);
  PrintTop("commonest word endings with another stressed syllable:", stressEndings, options.top);
  return 0;
}
