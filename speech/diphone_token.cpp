#include "speech/diphone_token.h"

#include <algorithm>

namespace speech {
namespace {

constexpr std::size_t MaxTokenLength = 40;

}  // namespace

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

}  // namespace speech
