// Voice tables of the formant synthesizer: per-phone targets read from a ".voice" text file.
#include "mbrola_standin/voice.h"

#include "mbrola_standin/pho_parser.h"
#include "text/files.h"

#include <cmath>

namespace mbrola_standin {
namespace {

constexpr int RowNumbers = 17;  // F1..F4 B1..B3 NZ AV AH AF A2..A6 AB

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
    if (i > start) words.emplace_back(line.substr(start, i - start));
  }
  return words;
}

bool ReadDouble(const std::string& word, double& value) { return ReadDecimal(word, value); }

bool KindOf(const std::string& word, PhoneKind& kind) {
  static const std::pair<const char*, PhoneKind> Kinds[] = {
      {"silence", PhoneKind::Silence},     {"vowel", PhoneKind::Vowel}, {"glide", PhoneKind::Glide},
      {"liquid", PhoneKind::Liquid},       {"tap", PhoneKind::Tap},     {"nasal", PhoneKind::Nasal},
      {"fricative", PhoneKind::Fricative}, {"stop", PhoneKind::Stop}};
  for (const auto& [name, value] : Kinds) {
    if (word == name) {
      kind = value;
      return true;
    }
  }
  return false;
}

bool ReadHeader(const std::vector<std::string>& words, std::string_view line, Voice& voice, std::string& why) {
  const std::string& key = words[0];
  if (key == "info:") {
    const std::size_t at = line.find("info:") + 5;
    std::string text(line.substr(at));
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.erase(0, 1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
    voice.info.push_back(text);
    return true;
  }
  if (key == "voice:") {
    if (words.size() != 2) return why = "voice: takes one name", false;
    voice.name = words[1];
    return true;
  }
  std::vector<double> values;
  for (std::size_t i = 1; i < words.size(); ++i) {
    double v = 0;
    if (!ReadDouble(words[i], v)) return why = "not a number: " + words[i], false;
    values.push_back(v);
  }
  auto expect = [&](std::size_t count) {
    if (values.size() != count) why = key + " takes " + std::to_string(count) + " number(s)";
    return values.size() == count;
  };
  if (key == "rate:") {
    if (!expect(1) || values[0] < 4000 || values[0] > 96000) return why.empty() ? (why = "bad rate", false) : false;
    voice.sampleRate = static_cast<int>(values[0]);
  } else if (key == "pitch:") {
    if (!expect(1) || values[0] < 40 || values[0] > 800) return why.empty() ? (why = "bad pitch", false) : false;
    voice.pitchHz = values[0];
  } else if (key == "opening:") {
    if (!expect(1) || values[0] < 0.2 || values[0] > 0.9) return why.empty() ? (why = "bad opening", false) : false;
    voice.openQuotient = values[0];
  } else if (key == "tilt:") {
    if (!expect(1) || values[0] < 0 || values[0] > 0.95) return why.empty() ? (why = "bad tilt", false) : false;
    voice.tilt = values[0];
  } else if (key == "gain:") {
    if (!expect(1) || values[0] <= 0) return why.empty() ? (why = "bad gain", false) : false;
    voice.gain = values[0];
  } else if (key == "f5:" || key == "f6:") {
    if (!expect(2) || values[0] <= 0 || values[1] <= 0) return why.empty() ? (why = "bad formant", false) : false;
    (key == "f5:" ? voice.f5Hz : voice.f6Hz) = static_cast<float>(values[0]);
    (key == "f5:" ? voice.b5Hz : voice.b6Hz) = static_cast<float>(values[1]);
  } else {
    return why = "unknown setting " + key, false;
  }
  return true;
}

bool ReadRow(const std::vector<std::string>& words, VoiceRow& row, std::string& why) {
  if (words.size() != 2 + RowNumbers) {
    return why = "a phone row has a label, a kind and " + std::to_string(RowNumbers) + " numbers", false;
  }
  row.label = words[0];
  if (!KindOf(words[1], row.kind)) return why = "unknown kind " + words[1], false;
  double v[RowNumbers];
  for (int i = 0; i < RowNumbers; ++i) {
    if (!ReadDouble(words[2 + i], v[i]) || v[i] < 0 || v[i] > 20000) return why = "bad number " + words[2 + i], false;
  }
  for (int i = 0; i < 4; ++i) row.formantHz[i] = static_cast<float>(v[i]);
  for (int i = 0; i < 3; ++i) row.bandwidthHz[i] = static_cast<float>(v[4 + i]);
  row.nasalZeroHz = static_cast<float>(v[7]);
  row.voicingDb = static_cast<float>(v[8]);
  row.aspirationDb = static_cast<float>(v[9]);
  row.fricationDb = static_cast<float>(v[10]);
  for (int i = 0; i < 5; ++i) row.parallelDb[i] = static_cast<float>(v[11 + i]);
  row.bypassDb = static_cast<float>(v[16]);
  if (row.kind != PhoneKind::Silence) {
    for (int i = 0; i < 3; ++i) {
      if (row.formantHz[i] <= 0 || row.bandwidthHz[i] <= 0)
        return why = "a sounding phone needs F1..F3 and B1..B3", false;
    }
    if (row.formantHz[3] <= 0) return why = "a sounding phone needs F4", false;
  }
  return true;
}

std::string AtLine(int number, const std::string& why) { return "line " + std::to_string(number) + ": " + why; }

}  // namespace

int Voice::Find(std::string_view label) const {
  for (const auto& [known, row] : names) {
    if (known == label) return row;
  }
  return -1;
}

bool ParseVoice(std::string_view text, Voice& voice, std::string& error) {
  voice = Voice{};
  int number = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    const std::size_t hash = line.find('#');
    const std::vector<std::string> words = Words(line.substr(0, hash));
    if (words.empty()) continue;
    std::string why;
    if (words[0].back() == ':') {
      if (!ReadHeader(words, line.substr(0, hash), voice, why)) return error = AtLine(number, why), false;
      continue;
    }
    VoiceRow row;
    if (!ReadRow(words, row, why)) return error = AtLine(number, why), false;
    if (voice.Find(row.label) >= 0) return error = AtLine(number, "phone " + row.label + " twice"), false;
    voice.names.emplace_back(row.label, static_cast<int>(voice.rows.size()));
    voice.rows.push_back(row);
  }
  if (voice.rows.empty()) return error = "no phones in the voice", false;
  if (voice.name.empty()) return error = "no voice: name", false;
  // Silence is needed for gaps and for unknown phones in no-error mode.
  if (voice.Find("_") < 0) {
    VoiceRow silence;
    silence.label = "_";
    voice.names.emplace_back("_", static_cast<int>(voice.rows.size()));
    voice.rows.push_back(silence);
  }
  return true;
}

bool LoadVoice(const std::string& path, Voice& voice, std::string& error) {
  text::FileRefusal refusal = text::FileRefusal::None;
  const auto content = text::ReadWholeFile(path, text::DataFileLimit, &refusal);
  if (!content) return error = path + " " + text::RefusalText(refusal), false;
  if (!ParseVoice(*content, voice, error)) return error = path + ": " + error, false;
  return true;
}

bool ApplyRenames(Voice& voice, std::string_view rename, std::string_view clone, std::string& error) {
  const std::vector<std::string> renames = Words(rename);
  const std::vector<std::string> clones = Words(clone);
  if (renames.size() % 2 != 0 || clones.size() % 2 != 0) return error = "renames and clones come in pairs", false;
  for (std::size_t i = 0; i < renames.size(); i += 2) {
    auto it = voice.names.begin();
    while (it != voice.names.end() && it->first != renames[i]) ++it;
    if (it == voice.names.end()) return error = "cannot rename unknown phone " + renames[i], false;
    it->first = renames[i + 1];
  }
  for (std::size_t i = 0; i < clones.size(); i += 2) {
    const int row = voice.Find(clones[i]);
    if (row < 0) return error = "cannot clone unknown phone " + clones[i], false;
    voice.names.emplace_back(clones[i + 1], row);
  }
  return true;
}

}  // namespace mbrola_standin
