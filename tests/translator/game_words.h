#pragma once
// The judged list of the game's words: each word with the transcription the built-in
// translator must give and the phonemes the MBROLA front end must give. Both test
// folders read it; game_words.tsv says how it was judged.

#include <fstream>
#include <string>
#include <vector>

namespace game_words {

struct JudgedWord {
  std::string word;        // UTF-8, lower case
  std::string translator;  // the translator's transcription, UTF-8
  std::string frontEnd;    // the front end's phoneme lines joined by blanks, UTF-8
};

// Lines "word<TAB>translator<TAB>front end"; "#" starts a comment line.
inline std::vector<JudgedWord> ReadJudgedWords(const std::string& path) {
  std::vector<JudgedWord> words;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    words.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1), line.substr(second + 1)});
  }
  return words;
}

// The words of a UTF-8 text, lower-cased: runs of ASCII letters and non-ASCII characters
// (the accented letters), split at anything else, the hyphen included.
inline std::vector<std::string> WordsOf(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const unsigned char c = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    if ((c >= 'a' && c <= 'z') || c >= 0x80) {
      word += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      word += static_cast<char>(c - 'A' + 'a');
    } else {
      if (!word.empty()) words.push_back(word);
      word.clear();
      continue;
    }
    // Capital accented letters (U+00C0..U+00DE, bar the multiplication sign) to small.
    if (word.size() >= 2 && static_cast<unsigned char>(word[word.size() - 2]) == 0xC3) {
      const unsigned char second = static_cast<unsigned char>(word.back());
      if (second >= 0x80 && second <= 0x9E && second != 0x97) word.back() = static_cast<char>(second + 0x20);
    }
  }
  return words;
}

}  // namespace game_words
