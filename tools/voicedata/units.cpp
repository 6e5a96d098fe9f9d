// Walks a transcription the way the diphone synthesizer does and reports the units it asks for.

#include "tools/voicedata/units.h"

#include <cstring>
#include <vector>

#include "speech/diphone_token.h"

namespace voicedata {
namespace {

class Walker {
 public:
  explicit Walker(const std::function<void(const UnitLookup&)>& found) : found_(found) {}

  void Syllable(std::string_view part) {
    if (!part.empty() && part.front() == '_') return;  // a character's recording
    std::string name = "$";
    for (const char ch : part) {
      if (ch == '^') {
        Unit(name + "CIRC");
        name = "$";
      } else if (ch == '~') {
        Unit(name + "TIL");
        name = "$";
      } else {
        name += ch;
      }
    }
    if (name != "$") Unit(name);
  }

  void Segment(std::string_view s) {
    speech::ForEachDiphoneSyllable(s, 1.0, [this](std::string_view part, double) { Syllable(part); });
  }

 private:
  void Unit(const std::string& spelled) { found_(UnitLookup{spelled, UnitKey(spelled)}); }

  const std::function<void(const UnitLookup&)>& found_;
};

}  // namespace

std::string UnitKey(std::string_view spelled) {
  std::string key(spelled);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return key;
}

std::vector<std::string> WordRuns(std::string_view cp1252) {
  std::vector<std::string> runs;
  std::string run;
  for (const char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    if (b == ' ' || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 128) {
      run += c;
    } else if (!run.empty()) {
      runs.push_back(run);
      run.clear();
    }
  }
  if (!run.empty()) runs.push_back(run);
  return runs;
}

void ForEachUnitLookup(std::string_view transcription, const std::function<void(const UnitLookup&)>& found) {
  Walker walker(found);
  std::size_t position = 0;
  bool stressed = false;
  while (position < transcription.size()) {
    walker.Segment(speech::NextDiphoneToken(transcription, position, stressed).text);
  }
}

}  // namespace voicedata

namespace voicedata {
namespace {

struct Phone {
  std::string name;  // our phone
  bool vowel = false;
  bool glide = false;
  bool stressed = false;
};

std::vector<Phone> SplitPhones(std::string_view text) {
  static constexpr std::string_view Multi[] = {"tch", "dj", "nh", "lh", "rr"};
  std::vector<Phone> phones;
  std::size_t i = 0;
  while (i < text.size()) {
    bool matched = false;
    for (const std::string_view m : Multi) {
      if (text.substr(i).starts_with(m)) {
        phones.push_back(Phone{std::string(m)});
        i += m.size();
        matched = true;
        break;
      }
    }
    if (matched) continue;
    const char c = text[i++];
    Phone p;
    p.stressed = c >= 'A' && c <= 'Z';
    p.name = std::string(1, static_cast<char>(p.stressed ? c + 32 : c));
    p.vowel = std::strchr("aeiouwy", p.name[0]) != nullptr;
    p.glide = p.name == "w" || p.name == "y";
    phones.push_back(p);
  }
  return phones;
}

std::string Consonant(const std::string& name) {
  if (name == "x") return "S";
  if (name == "j") return "Z";
  if (name == "nh") return "n^";
  if (name == "lh") return "l^";
  if (name == "r") return "*";
  if (name == "rr") return "x";
  if (name == "tch") return "tS";
  if (name == "dj") return "dZ";
  if (name == "c" || name == "q") return "k";
  if (name == "h") return "";
  return name;
}

}  // namespace

std::string UnitToEspeak(std::string_view spelled) {
  std::string_view body = spelled;
  if (body.starts_with("$")) body.remove_prefix(1);
  enum class Mark { None, Closed, Nasal } mark = Mark::None;
  if (body.ends_with("CIRC")) {
    mark = Mark::Closed;
    body.remove_suffix(4);
  } else if (body.ends_with("TIL")) {
    mark = Mark::Nasal;
    body.remove_suffix(3);
  }
  const std::vector<Phone> phones = SplitPhones(body);
  // The vowels the mark applies to: the last vowel, and with a nasal the glide after it too.
  std::size_t markedFrom = phones.size();
  if (mark != Mark::None && !phones.empty()) {
    markedFrom = phones.size() - 1;
    if (mark == Mark::Nasal && phones.back().glide && phones.size() >= 2 && phones[phones.size() - 2].vowel) {
      markedFrom = phones.size() - 2;
    }
  }
  std::string out = "[[";
  for (std::size_t i = 0; i < phones.size(); ++i) {
    const Phone& p = phones[i];
    if (!p.vowel) {
      out += Consonant(p.name);
      continue;
    }
    if (p.stressed) out += "'";
    const bool marked = i >= markedFrom;
    const char v = p.name[0];
    if (p.glide && !(marked && mark == Mark::Nasal)) {
      out += v == 'w' ? "U" : "I";
    } else if (marked && mark == Mark::Nasal) {
      switch (v) {
        case 'a': out += "&~"; break;
        case 'w': out += "U~"; break;
        case 'y': out += "I~"; break;
        default: out += std::string(1, v) + "~"; break;
      }
    } else if (marked && mark == Mark::Closed) {
      out += v == 'a' ? "&" : std::string(1, v);
    } else {
      switch (v) {
        case 'e': out += "E"; break;
        case 'o': out += "O"; break;
        default: out += std::string(1, v); break;
      }
    }
  }
  return out + "]]";
}

void ForEachFallbackName(std::string_view spelled, std::size_t longestStored,
                         const std::function<void(const std::string&)>& found) {
  const std::string name(spelled);
  found(name);
  const std::size_t n = name.size();
  if (n <= longestStored || n <= 2) return;
  const char last = name.back();
  if (std::strchr("AEIOUWYaeiouwy", last) != nullptr) {
    ForEachFallbackName(name.substr(0, n - 1), longestStored, found);
    ForEachFallbackName(std::string("$") + last, longestStored, found);
  } else if (name.ends_with("CIRC") && n >= 7) {
    ForEachFallbackName(name.substr(0, n - 5), longestStored, found);
    ForEachFallbackName("$" + name.substr(n - 5), longestStored, found);
  } else if (name.ends_with("TIL")) {
    const std::string base = name.substr(0, n - 3);
    const char vowel = base.empty() ? 0 : base.back();
    ForEachFallbackName(vowel != 0 && std::strchr("IUiu", vowel) != nullptr ? base : base + "CIRC", longestStored,
                        found);
    ForEachFallbackName("$nn", longestStored, found);
  }
}

}  // namespace voicedata
