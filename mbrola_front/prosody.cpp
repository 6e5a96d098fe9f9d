// Prosody tables, word classes, pitch codes and MBROLA phoneme lines.
#include "mbrola_front/prosody.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "mbrola_front/normalise.h"
#include "mbrola_front/text_codec.h"
#include "text/case.h"
#include "text/cp1252.h"

namespace mbrola_front {
namespace {

std::string W(std::string_view utf8) { return text::Utf8ToCp1252(utf8); }

constexpr char Diaeresis = '\xA8';
constexpr int StressPercent = 145;

// The lines of one section: after the line that is exactly its header, up to a line
// that begins with "[" or the end of the file. Empty and comment lines are left out.
std::optional<std::vector<std::string_view>> SectionLines(const std::vector<std::string>& lines,
                                                          std::string_view header) {
  size_t i = 0;
  while (i < lines.size() && TrimText(lines[i]) != header) ++i;
  if (i == lines.size()) return std::nullopt;
  std::vector<std::string_view> section;
  for (++i; i < lines.size(); ++i) {
    const std::string_view line = TrimText(lines[i]);
    if (!line.empty() && line[0] == '[') break;
    if (line.empty() || line[0] == '*' || line[0] == ';') continue;
    section.push_back(line);
  }
  return section;
}

// Codes are three characters wide in the lines between the steps; a shorter code
// would shift the token, so it is completed with the neutral step 5.
std::string ThreeCharacterCode(std::string_view code) {
  std::string out(code.substr(0, 3));
  out.resize(3, '5');
  return out;
}

bool IsNameCharacter(char c) {
  return c == '2' || c == '@' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::string ClassOf(std::string_view line) { return line.size() >= 3 ? std::string(line.substr(1, 2)) : std::string(); }

}  // namespace

void WriteFrontEndMessage(std::string_view title, std::string_view text) {
  const std::string line = text::Cp1252ToUtf8(title) + ": " + text::Cp1252ToUtf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void SortKeys(ProsodyTables& tables) {
  std::sort(tables.keys.begin(), tables.keys.end(), [](const TChave& a, const TChave& b) { return a.key < b.key; });
}

bool LoadProsodyLines(const std::vector<std::string>& lines, ProsodyTables& tables, FrontEndMessageSink messages) {
  tables = ProsodyTables{};
  const std::string title = W("Prosódia");
  auto fail = [&](const std::string& text) {
    messages(title, text);
    return false;
  };

  const auto durations = SectionLines(lines, W("[DURAÇÃO]"));
  if (!durations) return fail(W("Duração dos difones errada ou ausente"));
  for (const std::string_view line : *durations) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return fail(W("Configuração da prosódia: fonema errado: ") + std::string(line));
    }
    DurationEntry entry;
    entry.name = std::string(TrimText(line.substr(0, equals)).substr(0, 2));
    const auto value = ParseInteger(TrimText(line.substr(equals + 1)));
    if (value && *value >= 0) {
      entry.durationMs = static_cast<int>(*value);
    } else {
      messages(title, W("Configuração da prosódia: fonema errado: ") + std::string(line));
      entry.durationMs = 100;
    }
    if (tables.durations.size() < ProsodyTables::MaxDurations) tables.durations.push_back(entry);
  }

  const auto keys = SectionLines(lines, "[CHAVES]");
  if (!keys) return fail(W("Prosódia: palavras chaves ausentes"));
  for (const std::string_view line : *keys) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      return fail(W("Configuração da prosódia: chave errada: ") + std::string(line));
    }
    TChave entry;
    entry.key = text::UpperText(TrimText(line.substr(0, equals)));
    entry.wordClass = text::UpperText(TrimText(line.substr(equals + 1)).substr(0, 2));
    if (tables.keys.size() < ProsodyTables::MaxKeys) tables.keys.push_back(std::move(entry));
  }
  SortKeys(tables);

  const auto patterns = SectionLines(lines, W("[PROSÓDIA]"));
  if (!patterns) return fail(W("Prosódia: especificações ausentes"));
  for (const std::string_view raw : *patterns) {
    const std::string line = text::UpperText(raw);
    const size_t equals = line.find('=');
    if (equals == std::string::npos) {
      return fail(W("Configuração da prosódia: chave errada: ") + std::string(raw));
    }
    const std::string_view name = TrimText(std::string_view(line).substr(0, equals));
    const std::string_view value = TrimText(std::string_view(line).substr(equals + 1));
    if (name == "HERTZ") {
      const auto hertz = ParseInteger(value);
      if (!hertz) return fail(W("Configuração da prosódia: chave errada: ") + std::string(raw));
      tables.baseHertz = static_cast<int>(*hertz);
    } else if (name == "TABHERTZ") {
      std::string_view rest = value;
      for (int digit = 0; digit < 10; ++digit) {
        const size_t comma = rest.find(',');
        const auto step = ParseInteger(TrimText(rest.substr(0, comma)));
        if (!step || (comma == std::string_view::npos && digit < 9)) {
          return fail(W("Configuração da prosódia: chave errada: ") + std::string(raw));
        }
        tables.hertzSteps[digit] = static_cast<int>(*step);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      }
    } else {
      TProsodia record;
      std::string_view fields = name;
      std::string* const targets[3] = {&record.previous, &record.current, &record.next};
      for (std::string* target : targets) {
        const size_t bar = fields.find('|');
        *target = std::string(TrimText(fields.substr(0, bar)).substr(0, 3));
        fields = bar == std::string_view::npos ? std::string_view() : fields.substr(bar + 1);
      }
      record.code = ThreeCharacterCode(value);
      if (tables.patterns.size() < ProsodyTables::MaxPatterns) {
        tables.patterns.push_back(std::move(record));
      }
    }
  }
  return true;
}

bool LoadProsody(const std::string& path, ProsodyTables& tables, FrontEndMessageSink messages) {
  tables = ProsodyTables{};
  const auto lines = ReadDataFileLines(path);
  if (!lines) {
    messages(W("Prosódia"), W("Configuração da prosódia não foi achada"));
    return false;
  }
  return LoadProsodyLines(*lines, tables, messages);
}

bool DiphoneList::Contains(std::string_view pair) const {
  return std::binary_search(pairs.begin(), pairs.end(), text::LowerText(pair));
}

void LoadDiphoneLines(const std::vector<std::string>& lines, DiphoneList& list) {
  list.pairs.clear();
  list.pairs.reserve(lines.size());
  for (const std::string& raw : lines) {
    const std::string_view line = TrimText(raw);
    if (line.empty() || line[0] == '!' || line[0] == '*' || line[0] == ';') continue;
    size_t i = 0;
    while (i < line.size() && IsNameCharacter(line[i])) ++i;
    const std::string_view first = line.substr(0, i);
    while (i < line.size() && !IsNameCharacter(line[i])) ++i;
    const size_t secondStart = i;
    while (i < line.size() && IsNameCharacter(line[i])) ++i;
    const std::string_view second = line.substr(secondStart, i - secondStart);
    list.pairs.push_back(text::LowerText(std::string(first) + "-" + std::string(second)));
  }
  std::sort(list.pairs.begin(), list.pairs.end());
}

bool LoadDiphoneList(const std::string& path, DiphoneList& list) {
  list.pairs.clear();
  const auto lines = ReadDataFileLines(path);
  if (!lines) return false;
  LoadDiphoneLines(*lines, list);
  return true;
}

std::string KeyOfWord(const ProsodyTables& tables, std::string_view word) {
  const std::string key = text::UpperText(word);
  const auto found = std::lower_bound(tables.keys.begin(), tables.keys.end(), key,
                                      [](const TChave& entry, const std::string& k) { return entry.key < k; });
  // The class is read back as exactly two characters, so any other width counts as unknown.
  if (found == tables.keys.end() || found->key != key || found->wordClass.size() != 2) {
    return "XX";
  }
  return found->wordClass;
}

std::vector<std::string> ClassifyWords(const ProsodyTables& tables, std::string_view text) {
  std::vector<std::string> out;
  out.push_back("[--]");
  size_t pos = 0;
  const size_t length = text.size();
  while (pos < length) {
    while (pos < length && text[pos] == ' ') ++pos;
    if (pos >= length) break;
    std::string wordClass, token;
    if (text[pos] == '.' && pos + 1 < length && text[pos + 1] == '.') {
      wordClass = ".-";
      token = ".";
      while (pos < length && text[pos] == '.') ++pos;
    } else if (!IsLetter(static_cast<unsigned char>(text[pos]))) {
      wordClass = std::string(2, text[pos]);
      token = std::string(1, text[pos]);
      ++pos;
    } else {
      const size_t start = pos;
      while (pos < length && IsLetter(static_cast<unsigned char>(text[pos]))) ++pos;
      token = std::string(text.substr(start, pos - start));
      wordClass = KeyOfWord(tables, token);
    }
    out.push_back("[" + wordClass + "]" + token);
    if (token[0] == '!' || token[0] == '.' || token[0] == '?') out.push_back("[--]");
  }
  return out;
}

std::vector<std::string> AssignPitchCodes(const ProsodyTables& tables, const std::vector<std::string>& classified,
                                          PitchTable use) {
  std::vector<std::string> out;
  out.reserve(classified.size());
  char previousThird = '5';
  for (size_t i = 0; i < classified.size(); ++i) {
    const std::string p = i > 0 ? ClassOf(classified[i - 1]) : std::string();
    const std::string c = ClassOf(classified[i]);
    const std::string n = i + 1 < classified.size() ? ClassOf(classified[i + 1]) : std::string();
    std::string code = "555";
    if (use == PitchTable::Use) {
      for (const TProsodia& record : tables.patterns) {
        if ((record.previous.empty() || record.previous == p) && (record.current.empty() || record.current == c) &&
            (record.next.empty() || record.next == n)) {
          code = record.code;
          break;
        }
      }
    }
    if (code[0] == '?') code[0] = previousThird;
    previousThird = code[2];
    const std::string& line = classified[i];
    out.push_back(code + "|" + (line.size() > 4 ? line.substr(4) : std::string()));
  }
  return out;
}

int DurationOf(const ProsodyTables& tables, std::string_view phoneme) {
  for (const DurationEntry& entry : tables.durations) {
    if (entry.name == phoneme) return entry.durationMs;
  }
  return 100;
}

std::string PitchTarget(const ProsodyTables& tables, std::string_view code, int& stage, bool lastInWord,
                        double pitchFactor) {
  char digit = 0;
  int position = 0;
  if (stage == 0) {
    digit = code.size() > 0 ? code[0] : 0;
    position = 50;
    stage = 1;
  } else if (stage == 2) {
    digit = code.size() > 1 ? code[1] : 0;
    position = 80;
    stage = 3;
  } else if (stage == 3 && lastInWord) {
    digit = code.size() > 2 ? code[2] : 0;
    position = 50;
  } else {
    return {};
  }
  if (digit < '0' || digit > '9') return {};
  const int step = tables.hertzSteps[digit - '0'];
  if (step == 0) return {};
  const auto hertz = static_cast<int64_t>(step * pitchFactor * tables.baseHertz) / 100;
  return std::to_string(position) + " " + std::to_string(hertz);
}

void GuardDiphone(const DiphoneList& diphones, std::string& previous, const std::string& current,
                  const std::string& line, std::vector<std::string>& out) {
  if (current.empty()) return;
  if (!diphones.Contains(previous + "-" + current)) {
    if (previous == "r2" && diphones.Contains("r2-_")) {
      out.push_back("_ 50");
    } else if (diphones.Contains(previous + "-y")) {
      out.push_back("y 50");
    } else {
      out.push_back("_ 50");
    }
  }
  if (!line.empty()) previous = current;
}

std::vector<std::string> BuildPhoLines(const ProsodyTables& tables, const DiphoneList& diphones,
                                       const std::vector<std::string>& phonemes, double durationFactor,
                                       double pitchFactor, PhoLineState& state) {
  std::vector<std::string> out;
  out.reserve(phonemes.size() + phonemes.size() / 4);
  int percent = 100;
  std::string code = "555";
  int stage = 0;
  size_t wordLength = 0;
  std::string previous = "_";
  for (size_t i = 0; i < phonemes.size(); ++i) {
    std::string line = phonemes[i];
    const bool lastInWord = i + 1 == phonemes.size() || phonemes[i + 1].empty();
    if (line.empty()) {
      percent = 100;
      state.currentPhoneme.clear();
    } else if (line[0] == ';' && line.size() >= 5 && line[4] == '|') {
      code = line.substr(1, 3);
      line.erase(1, 4);
      wordLength = line.size();
      stage = 0;
    } else {
      if (line[0] == '>') {
        percent = StressPercent;
        line.erase(0, 1);
        if (!line.empty() && line[0] == Diaeresis) line.erase(0, 1);
        stage = 2;
      } else {
        if (line[0] == Diaeresis) line.erase(0, 1);
        percent = 100;
      }
      long duration = 100;
      std::string name;
      if (!line.empty() && line[0] == '_') {
        if (line == "_") {
          duration = 100;
        } else if (line.size() >= 2 && line[1] == ' ') {
          duration = ParseInteger(TrimText(std::string_view(line).substr(2))).value_or(100);
        } else {
          duration = DurationOf(tables, line);
        }
        name = "_";
      } else {
        duration = DurationOf(tables, line);
        if (stage < 2) {
          if (wordLength > 13)
            duration = duration * 80 / 100;
          else if (wordLength > 9)
            duration = duration * 90 / 100;
        }
        name = line;
      }
      state.currentPhoneme = name;
      const auto ms = static_cast<int64_t>(static_cast<double>(duration * percent) * durationFactor) / 100;
      line = name + " " + std::to_string(ms);
      const std::string target = PitchTarget(tables, code, stage, lastInWord, pitchFactor);
      if (!target.empty()) line += " " + target;
    }
    GuardDiphone(diphones, previous, state.currentPhoneme, line, out);
    out.push_back(std::move(line));
  }
  return out;
}

}  // namespace mbrola_front
