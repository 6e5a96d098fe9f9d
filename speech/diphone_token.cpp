#include "speech/diphone_token.h"

#include <algorithm>
#include <cstring>

namespace speech {
namespace {

constexpr std::size_t MaxTokenLength = 40;

bool IsConsonant(char c) { return c != 0 && std::strchr("bcdfgjklmnpqrstvxz", c) != nullptr; }
bool IsGlide(char c) { return c == 'w' || c == 'y'; }
bool IsVowelMark(char c) { return c == '^' || c == '~'; }

}  // namespace

bool IsVowel(char c) { return c != 0 && std::strchr("AEIOUaeiouwy", c) != nullptr; }

DiphoneToken NextDiphoneToken(std::string_view text, std::size_t& position, bool& stressed) {
  DiphoneToken token;
  if (position < text.size() && text[position] == '[') {
    stressed = false;
    ++position;
  }
  std::string& t = token.text;
  while (position < text.size()) {
    const char c = text[position];
    if (c == ' ' || c == ']') break;
    if (c == '/') {
      if (t.size() > 8) break;
      ++position;
      continue;
    }
    if (c == '|') {
      // The marker is a token of its own: what was collected before it is spoken first.
      if (t.empty()) {
        t = "_TRACO";
        ++position;
      }
      return token;
    }
    const std::size_t width = c == '_' ? 2 : 1;
    if (t.size() + width > MaxTokenLength) return token;
    if (c == '_') {
      t += '_';
      if (position + 1 < text.size()) t += text[position + 1];
      position += std::min<std::size_t>(2, text.size() - position);
      continue;
    }
    t += c;
    ++position;
  }
  if (position < text.size()) token.ending = text[position++];
  if (t == "_,") token.silenceSamples = 4000;
  if (t == "_.") token.silenceSamples = 8000;
  if (t == "_;") token.silenceSamples = 6000;
  if (t == "_:") token.silenceSamples = 8000;
  if (token.silenceSamples > 0) t.clear();
  return token;
}

void ForEachDiphoneSyllable(std::string_view s, double factor,
                            const std::function<void(std::string_view, double)>& syllable) {
  const std::size_t n = s.size();
  if (n == 0) return;
  if (n == 1) {
    syllable(s, factor);
    return;
  }
  const char last = s.back();
  if (n > 2) {
    const bool cluster = IsConsonant(s[0]) && IsConsonant(s[1]);
    const bool kept = s.starts_with("dj") || s.starts_with("nh") || s.starts_with("rr") || s.starts_with("ks") ||
                      s.starts_with("tch");
    if (cluster && !kept) {
      syllable(s.substr(0, 1), 1.0);
      ForEachDiphoneSyllable(s.substr(1), factor, syllable);
      return;
    }
    if (s.ends_with("rr")) {
      ForEachDiphoneSyllable(s.substr(0, n - 2), factor, syllable);
      syllable("rr", factor);
      return;
    }
    if (IsConsonant(last)) {
      ForEachDiphoneSyllable(s.substr(0, n - 1), factor, syllable);
      ForEachDiphoneSyllable(s.substr(n - 1), factor, syllable);
      return;
    }
  }
  if (IsGlide(last)) {
    const char before = s[n - 2];
    if (IsVowel(before) && n > 2) {
      ForEachDiphoneSyllable(s.substr(0, n - 1), 0.6, syllable);
      syllable(s.substr(n - 2), factor);
      return;
    }
    if (IsVowelMark(before) && n >= 3) {
      if (n > 3) {
        std::string prefix(s.substr(0, n - 1));
        if (prefix.back() == '~') prefix.back() = '^';
        ForEachDiphoneSyllable(prefix, 0.6, syllable);
      }
      const char glided[3] = {s[n - 3], s[n - 1], s[n - 2]};
      syllable(std::string_view(glided, 3), factor);
      return;
    }
  }
  if (s != "_s" && last == 's') {
    ForEachDiphoneSyllable(s.substr(0, n - 1), 0.7, syllable);
    syllable("s", factor);
    return;
  }
  syllable(s, factor);
}

}  // namespace speech
