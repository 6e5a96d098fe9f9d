// Text normalisation of the Portuguese front end.
#include "mbrola_front/normalise.h"

#include <array>

#include "mbrola_front/text_codec.h"
#include "text/case.h"
#include "text/cp1252.h"

namespace mbrola_front {
namespace {

// Source literals are UTF-8; the tables hold Windows-1252 bytes.
std::string W(std::string_view utf8) { return text::Utf8ToCp1252(utf8); }

struct NumberWords {
  std::array<std::string, 10> units;
  std::array<std::string, 10> teens;
  std::array<std::string, 10> tens;      // index 2..9
  std::array<std::string, 10> hundreds;  // index 1..9, compound forms
  std::array<std::string, 10> ordinalUnits;
  std::array<std::string, 10> ordinalTens;
  std::array<std::string, 10> ordinalHundreds;
  std::string ordinalThousand;
  std::array<std::string, 5> scaleSingular;
  std::array<std::string, 5> scalePlural;
};

const NumberWords& Words() {
  static const NumberWords words = [] {
    NumberWords w;
    w.units = {W("zero"),  W("um"),   W("dois"), W("três"), W("quatro"),
               W("cinco"), W("seis"), W("sete"), W("oito"), W("nove")};
    w.teens = {W("dez"),    W("onze"),      W("doze"),      W("treze"),   W("quatorze"),
               W("quinze"), W("dezesseis"), W("dezessete"), W("dezoito"), W("dezenove")};
    w.tens = {"",           "",           W("vinte"),  W("trinta"), W("quarenta"), W("cinqüenta"), W("sessenta"),
              W("setenta"), W("oitenta"), W("noventa")};
    w.hundreds = {"",
                  W("cento"),
                  W("duzentos"),
                  W("trezentos"),
                  W("quatrocentos"),
                  W("quinhentos"),
                  W("seiscentos"),
                  W("setecentos"),
                  W("oitocentos"),
                  W("novecentos")};
    w.ordinalUnits = {"",          W("primeiro"), W("segundo"), W("terceiro"), W("quarto"),
                      W("quinto"), W("sexto"),    W("sétimo"),  W("oitavo"),   W("nono")};
    w.ordinalTens = {"",
                     W("décimo"),
                     W("vigésimo"),
                     W("trigésimo"),
                     W("quadragésimo"),
                     W("quinquagésimo"),
                     W("sexagésimo"),
                     W("septuagésimo"),
                     W("octagésimo"),
                     W("nonagésimo")};
    w.ordinalHundreds = {"",
                         W("centésimo"),
                         W("ducentésimo"),
                         W("tricentésimo"),
                         W("quadrigentésimo"),
                         W("quingentésimo"),
                         W("seiscentésimo"),
                         W("septigentésimo"),
                         W("octigentésimo"),
                         W("nongentésimo")};
    w.ordinalThousand = W("milésimo");
    w.scaleSingular = {W("trilhão "), W("bilhão "), W("milhão "), W("mil "), ""};
    w.scalePlural = {W("trilhões "), W("bilhões "), W("milhões "), W("mil "), ""};
    return w;
  }();
  return words;
}

const std::array<std::optional<std::string>, 256>& Names() {
  static const std::array<std::optional<std::string>, 256> names = [] {
    std::array<std::optional<std::string>, 256> n;
    const char* const low[] = {"espaço",
                               "exclamação",
                               "aspas",
                               "sustenido",
                               "cifrão",
                               "porcento",
                               "é comercial",
                               "apóstrofo",
                               "abre parênteses",
                               "fecha parênteses",
                               "asterisco",
                               "mais",
                               "vírgula",
                               "traço",
                               "ponto",
                               "barra",
                               "zéro",
                               "um",
                               "dois",
                               "três",
                               "quatro",
                               "cinco",
                               "seis",
                               "séte",
                               "oito",
                               "nóve",
                               "dois pontos",
                               "ponto e vírgula",
                               "menor que",
                               "igual",
                               "maior que",
                               "interrogação",
                               "arrôba"};
    for (int i = 0; i < 33; ++i) n[32 + i] = W(low[i]);
    const char* const letters[] = {"a",    "bê", " sê", " dê", "é",      "éfe", "jê",      "agá", "i",
                                   "jóta", "cá", "éle", "ême", "êne",    "ó",   "pê",      "quê", "érre",
                                   "ésse", "tê", "u",   "vê",  "dábliu", "xis", "ípsilon", "zê"};
    for (int i = 0; i < 26; ++i) {
      n['A' + i] = W(letters[i]);
      n['a' + i] = W(letters[i]);
    }
    n['j'] = W("jota");
    n['n'] = W("ene");
    const char* const mid[] = {"abre colchete", "barra invertida", "fecha colchete",
                               "circunflexo",   "sublinhado",      "crase"};
    for (int i = 0; i < 6; ++i) n[91 + i] = W(mid[i]);
    const char* const braces[] = {"abre chave", "barra vertical", "fecha chave", "til"};
    for (int i = 0; i < 4; ++i) n[123 + i] = W(braces[i]);
    const char* const high[] = {"exclamação reversa",
                                "centavos de dólar",
                                "libras",
                                "símbolo de moeda",
                                "iene",
                                "barra interrompida",
                                "parágrafo",
                                "trema",
                                "copyright",
                                "ordinal feminino",
                                "Aspas esquerdas",
                                "negação",
                                "hífen",
                                "Marca registrada",
                                "mácron",
                                "grau",
                                "mais ou menos",
                                "elevado ao quadrado",
                                "elevado ao cubo",
                                "acento agudo",
                                "mi",
                                "pi",
                                "ponto no meio",
                                "cedilha",
                                "expoente um",
                                "ordinal masculino",
                                "aspas direitas",
                                "um quarto",
                                "um meio",
                                "três quartos",
                                "interrogação reversa"};
    for (int i = 0; i < 31; ++i) n[161 + i] = W(high[i]);
    const char* const accented[] = {"A grave",       "A agudo",     "A circunflexo", "A com til",  "A com trema",
                                    "A bola",        "A É",         "Cê cedilha",    "É grave",    "É agudo",
                                    "É circunflexo", "É com trema", "I grave",       "I agudo",    "I circunflexo",
                                    "I com trema",   "Dê cortado",  "N com til",     "Ó grave",    "Ó agudo",
                                    "Ó circunflexo", "Ó com til",   "Ó tremado",     "vezes",      "Ó cortado",
                                    "U grave",       "U agudo",     "U circunflexo", "U com trema"};
    for (int i = 0; i < 29; ++i) n[192 + i] = W(accented[i]);
    for (int code = 225; code <= 255; ++code) n[code] = n[code - 32];
    return n;
  }();
  return names;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool InSet(unsigned char c, std::string_view setUtf8Bytes) {
  return setUtf8Bytes.find(static_cast<char>(c)) != std::string_view::npos;
}

const std::string& AccentedLetters() {
  static const std::string letters = W("ÀÁÂÃÇÉÊÌÍÑÓÔÕÙÚÜàáâãçéêìíñóôõùúü");
  return letters;
}

bool IsPassThrough(char c) { return std::string_view(" !(),.:;?").find(c) != std::string_view::npos; }

}  // namespace

bool IsLetter(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return c >= 128 && InSet(c, AccentedLetters());
}

bool IsWordConsonant(unsigned char c) {
  const unsigned char upper = static_cast<unsigned char>(text::UpperChar(static_cast<char>(c)));
  if (upper >= 'A' && upper <= 'Z' && c < 128) {
    return std::string_view("AEIOU").find(static_cast<char>(upper)) == std::string_view::npos;
  }
  return c == 0xC7 || c == 0xD1 || c == 0xE7 || c == 0xF1;  // Ç Ñ ç ñ
}

void LoadAbbreviationLines(const std::vector<std::string>& lines, AbbreviationTable& table) {
  table.entries.clear();
  for (const std::string& raw : lines) {
    const std::string_view line = TrimText(raw);
    if (line.empty() || line.front() == ';') continue;
    if (table.entries.size() >= AbbreviationTable::MaxAbbreviations) break;
    Abbreviation entry;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      entry.expansion = std::string(line.substr(0, 999));
    } else {
      entry.key = text::UpperText(TrimText(line.substr(0, equals)));
      entry.expansion = std::string(TrimText(line.substr(equals + 1).substr(0, 999)));
    }
    table.entries.push_back(std::move(entry));
  }
}

bool LoadAbbreviations(const std::string& path, AbbreviationTable& table) {
  table.entries.clear();
  const auto lines = ReadDataFileLines(path);
  if (!lines) return false;
  LoadAbbreviationLines(*lines, table);
  return true;
}

std::string LookupAbbreviation(const AbbreviationTable& table, std::string_view word) {
  const std::string key = text::UpperText(word);
  for (const Abbreviation& entry : table.entries) {
    if (entry.key == key) return entry.expansion;
  }
  return {};
}

std::optional<std::string> CharacterName(unsigned char code) { return Names()[code]; }

GroupWordsResult GroupWords(char hundreds, char tens, char units) {
  const NumberWords& w = Words();
  const int h = hundreds - '0', t = tens - '0', u = units - '0';
  GroupWordsResult result;
  if (h == 0 && t == 0 && u == 0) return result;
  if (h == 1 && t == 0 && u == 0) {
    result.words = W("cem");
    return result;
  }
  if (h != 0) {
    result.words = w.hundreds[h];
    if (t == 0 && u == 0) return result;
    result.words += " e ";
    result.innerE = true;
  }
  if (t == 1) {
    result.words += w.teens[u];
    return result;
  }
  if (t != 0) {
    result.words += w.tens[t];
    if (u == 0) return result;
    result.words += " e ";
    result.innerE = true;
  }
  if (u != 0) result.words += w.units[u];
  return result;
}

GroupWordsResult ScaledGroupWords(std::string_view threeDigits, int groupIndex) {
  GroupWordsResult result = GroupWords(threeDigits[0], threeDigits[1], threeDigits[2]);
  if (threeDigits == "000" || groupIndex >= 4) return result;
  const NumberWords& w = Words();
  result.words += " ";
  result.words += threeDigits == "001" ? w.scaleSingular[groupIndex] : w.scalePlural[groupIndex];
  return result;
}

std::string CardinalWords(int64_t value) {
  if (value <= 0) return W("zero");
  if (value > 999999999999999LL) value = 999999999999999LL;
  std::string digits = std::to_string(value);
  digits.insert(0, 15 - digits.size(), '0');
  std::array<GroupWordsResult, 5> groups;
  std::array<int, 5> values{};
  int last = -1;
  for (int i = 0; i < 5; ++i) {
    const std::string_view three = std::string_view(digits).substr(i * 3, 3);
    values[i] = std::stoi(std::string(three));
    groups[i] = ScaledGroupWords(three, i);
    // One thousand is "mil", never "um mil", wherever it stands: dois milhões e mil.
    if (i == 3 && values[i] == 1) groups[i].words.erase(0, 3);
    if (!groups[i].words.empty()) last = i;
  }
  std::string result;
  for (int i = 0; i <= last; ++i) {
    // Brazilian usage: the last group is joined by "e" when it is below a hundred or
    // whole hundreds (mil e vinte e um, mil e duzentos, dois milhões e mil), and not
    // otherwise (mil cento e cinquenta).
    if (i == last && !result.empty() && (values[i] < 100 || values[i] % 100 == 0)) result += "e ";
    result += groups[i].words;
  }
  return result;
}

std::string GenderForm(std::string_view word, Gender gender) {
  std::string out(word);
  if (gender == Gender::Feminine && !out.empty()) out.back() = 'a';
  return out;
}

std::string OrdinalWords(Gender gender, int64_t value) {
  if (value >= 2000) return CardinalWords(value);
  if (value <= 0) return W("zero");
  const NumberWords& w = Words();
  const int units = static_cast<int>(value % 10), tens = static_cast<int>(value / 10 % 10);
  const int hundreds = static_cast<int>(value / 100 % 10), thousands = static_cast<int>(value / 1000);
  std::string result;
  auto put = [&](const std::string& word) { result = " " + GenderForm(word, gender) + result; };
  if (units != 0) put(w.ordinalUnits[units]);
  if (tens != 0) put(w.ordinalTens[tens]);
  if (hundreds != 0) put(w.ordinalHundreds[hundreds]);
  if (thousands != 0) put(w.ordinalThousand);
  return std::string(TrimText(result));
}

std::string ReadNumberAt(std::string_view text, size_t& pos) {
  const size_t length = text.size();
  size_t end = pos;
  bool hasDash = false;
  while (end < length && (IsDigit(text[end]) || text[end] == '-')) {
    hasDash = hasDash || text[end] == '-';
    ++end;
  }
  if (hasDash) {
    std::string out;
    for (; pos < end; ++pos) {
      out += ' ';
      out += text[pos] == '-' ? W("traço") : Words().units[text[pos] - '0'];
    }
    return out;
  }
  std::string prefix;
  while (pos + 1 < length && text[pos] == '0' && IsDigit(text[pos + 1])) {
    prefix += "zero ";
    ++pos;
  }
  int64_t value = 0;
  constexpr int64_t Limit = 100000000000000LL;  // 10^14: at most 15 digits per number
  while (pos < length) {
    if (IsDigit(text[pos])) {
      if (value >= Limit) break;
      value = value * 10 + (text[pos] - '0');
      ++pos;
    } else if (text[pos] == '.' && pos + 3 < length && IsDigit(text[pos + 1]) && IsDigit(text[pos + 2]) &&
               IsDigit(text[pos + 3]) && (pos + 4 == length || !IsDigit(text[pos + 4]))) {
      ++pos;  // thousands separator
    } else {
      break;
    }
  }
  const std::string_view rest = text.substr(pos);
  auto ordinal = [&](Gender gender, size_t skip, bool plural) {
    pos += skip;
    std::string words = OrdinalWords(gender, value);
    if (plural) words += "s";
    return words;
  };
  if (rest.empty() || rest[0] == ' ') return prefix + CardinalWords(value);
  if (static_cast<unsigned char>(rest[0]) == 186) return ordinal(Gender::Masculine, 1, false);
  if (static_cast<unsigned char>(rest[0]) == 170) return ordinal(Gender::Feminine, 1, false);
  if (rest.rfind("o.", 0) == 0) return ordinal(Gender::Masculine, 2, false);
  if (rest.rfind("a.", 0) == 0) return ordinal(Gender::Feminine, 2, false);
  if (rest.rfind("os.", 0) == 0) return ordinal(Gender::Masculine, 3, true);
  if (rest.rfind("as.", 0) == 0) return ordinal(Gender::Feminine, 3, true);
  return prefix + CardinalWords(value);
}

std::string ReadWordAt(const AbbreviationTable& table, std::string_view text, size_t& pos) {
  const size_t start = pos;
  bool hasVowel = false;
  while (pos < text.size() && IsLetter(static_cast<unsigned char>(text[pos]))) {
    if (!IsWordConsonant(static_cast<unsigned char>(text[pos]))) hasVowel = true;
    ++pos;
    if (pos < text.size() && text[pos] == '-') ++pos;  // hyphenated words stay one word
  }
  const std::string_view word = text.substr(start, pos - start);
  if (hasVowel) return std::string(word);
  if (pos < text.size() && text[pos] == '.' && !LookupAbbreviation(table, word).empty()) {
    return std::string(word);
  }
  std::string spelled;
  for (const char c : word) spelled += CharacterName(static_cast<unsigned char>(c)).value_or("");
  return spelled;
}

std::string NormaliseText(const AbbreviationTable& table, std::string_view input) {
  std::string single;
  if (input.size() == 1) {
    if (auto name = CharacterName(static_cast<unsigned char>(input[0]))) {
      single = *name;
      input = single;
    }
  }
  const std::string_view text = input;
  const size_t length = text.size();
  std::string out;
  out.reserve(length + length / 2);
  size_t pos = 0;
  while (pos < length) {
    const char c = text[pos];
    const auto u = static_cast<unsigned char>(c);
    if (c == '-' && pos > 0 && pos + 1 < length && text[pos - 1] == ' ' && text[pos + 1] == ' ') {
      out += ',';
      ++pos;
    } else if (c == '-' && pos + 1 < length && IsDigit(text[pos + 1])) {
      out += "menos ";
      ++pos;
    } else if (IsDigit(c)) {
      out += ReadNumberAt(text, pos);
      out += ' ';
      while (pos + 1 < length && (text[pos] == ',' || text[pos] == '.') && IsDigit(text[pos + 1])) {
        out += text[pos] == ',' ? W("vírgula ") : std::string("ponto ");
        ++pos;
        out += ReadNumberAt(text, pos);
        out += ' ';
      }
    } else if (IsLetter(u)) {
      const std::string word = ReadWordAt(table, text, pos);
      std::string expansion;
      if (pos + 1 < length && text[pos] == '.' && text[pos + 1] == ' ') {
        expansion = LookupAbbreviation(table, word);
      }
      if (!expansion.empty()) {
        out += expansion;
        ++pos;  // the dot is dropped, the blank stays
      } else {
        out += word;
      }
    } else if (text.substr(pos, 3) == "...") {
      out += "... ";
      pos += 3;
    } else if (c == '.' && pos + 1 < length && text[pos + 1] != ' ') {
      out += " ponto ";
      ++pos;
    } else if (IsPassThrough(c)) {
      out += c;
      ++pos;
    } else if (c == '\t' || c == '\n' || c == '\r') {
      ++pos;
    } else {
      out += ' ';
      out += CharacterName(u).value_or("");
      out += ' ';
      ++pos;
    }
  }
  return out;
}

}  // namespace mbrola_front
