#include "speech/numbers.h"

#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/core/win.h"
#include "platform/services/files.h"
#include "speech/cues.h"
#include "speech/state.h"
#include "text/files.h"
#include "text/wave.h"

namespace speech {

namespace {

constexpr const char* Units[10] = {"zero", "um", "dois", "tres", "quatro", "cinco", "seis", "sete", "oito", "nove"};
constexpr const char* Teens[10] = {"dez",    "onze",      "doze",      "treze",   "quatorze",
                                   "quinze", "dezesseis", "dezessete", "dezoito", "dezenove"};
constexpr const char* Tens[10] = {"",          "",         "vinte",   "trinta",  "quarenta",
                                  "cinquenta", "sessenta", "setenta", "oitenta", "noventa"};
constexpr const char* Hundreds[10] = {"",           "cento",      "duzentos",   "trezentos",  "quatrocentos",
                                      "quinhentos", "seiscentos", "setecentos", "oitocentos", "novecentos"};
// Windows-1252: \xE3 is a-tilde, \xF5 is o-tilde.
constexpr const char* ScaleOne[4] = {"trilh\xE3o ", "bilh\xE3o ", "milh\xE3o ", "mil "};
constexpr const char* ScaleMany[4] = {
    "trilh\xF5"
    "es ",
    "bilh\xF5"
    "es ",
    "milh\xF5"
    "es ",
    "mil "};
constexpr const char* Weekdays[7] = {"Domingo", "Segunda", "Terca", "Quarta", "Quinta", "Sexta", "Sabado"};
constexpr const char* Months[12] = {"Janeiro", "Fevereiro", "Marco",    "Abril",   "Maio",     "Junho",
                                    "Julho",   "Agosto",    "Setembro", "Outubro", "Novembro", "Dezembro"};

constexpr std::size_t MaxSamples = 30000;
constexpr std::size_t HeaderBytes = text::WaveHeaderSize;

// The words of one group of three digits.
std::string GroupWords(int h, int d, int u) {
  if (h == 0 && d == 0 && u == 0) return {};
  if (h == 1 && d == 0 && u == 0) return "cem";
  std::string words;
  if (h != 0) {
    words += Hundreds[h];
    if (d != 0 || u != 0) words += " e ";
  }
  if (d == 1) return words + Teens[u];
  if (d != 0) {
    words += Tens[d];
    if (u != 0) words += " e ";
  }
  if (u != 0) words += Units[u];
  return words;
}

// The file name of a recorded word: "_" and the word, 8 characters at most, no tildes.
std::string WordFileName(std::string word) {
  for (char& c : word) {
    if (c == '\xE3') c = 'a';
    if (c == '\xF5') c = 'o';
  }
  if (word == "dezessete") word = "dezeset";
  return ("_" + word).substr(0, 8);
}

// Collects 8-bit 11025 Hz samples and plays them as one sound.
class WordSound {
 public:
  WordSound() : samples_(MaxSamples) {}

  void Append(std::FILE* file, std::size_t samples) {
    while (samples > 0) {
      if (count_ > 0 && count_ + samples > MaxSamples) Play();
      const std::size_t take = std::min(samples, MaxSamples - count_);
      const std::size_t got = std::fread(samples_.data() + count_, 1, take, file);
      count_ += got;
      if (got < take) return;
      samples -= take;
      if (samples > 0) Play();  // a word longer than one buffer goes on in the next
    }
  }

  void Play() {
    if (count_ == 0) return;
    PlaySoundBuffer({std::span<const uint8_t>(samples_.data(), count_), {11025, 8, 1}});
    count_ = 0;
  }

 private:
  std::vector<uint8_t> samples_;
  std::size_t count_ = 0;
};

}  // namespace

std::string NumberToWords(uint64_t n) {
  if (n == 0) return "zero";
  char digits[32];
  std::snprintf(digits, sizeof digits, "%015llu", static_cast<unsigned long long>(n % 1000000000000000ull));
  std::array<std::string, 5> groups;
  std::array<int, 5> values{};
  int last = -1;
  for (int g = 0; g < 5; ++g) {
    const char* at = digits + 3 * g;
    const int h = at[0] - '0', d = at[1] - '0', u = at[2] - '0';
    values[g] = 100 * h + 10 * d + u;
    groups[g] = GroupWords(h, d, u);
    if (groups[g].empty()) continue;
    // One thousand is "mil", never "um mil", wherever it stands: dois milhões e mil.
    if (g == 3 && values[g] == 1) groups[g].clear();
    if (g < 4) {
      if (!groups[g].empty()) groups[g] += ' ';
      groups[g] += values[g] == 1 ? ScaleOne[g] : ScaleMany[g];
    }
    last = g;
  }
  std::string words;
  for (int g = 0; g <= last; ++g) {
    if (values[g] == 0) continue;
    // The last group is joined by "e" when it is below a hundred or whole hundreds:
    // mil e um, mil e vinte e um, mil e cem, dois milhões e mil; but mil cento e
    // cinquenta, mil duzentos e trinta e quatro.
    if (g == last && !words.empty() && (values[g] < 100 || values[g] % 100 == 0)) words += "e ";
    words += groups[g];
  }
  return words;
}

void SpeakWords(std::string_view words, bool feminine) {
  std::vector<std::string> list;
  for (std::size_t at = 0; at < words.size();) {
    const std::size_t end = std::min(words.find(' ', at), words.size());
    if (end > at) list.emplace_back(words.substr(at, end - at));
    at = end + 1;
  }
  WordSound sound;
  for (std::size_t i = 0; i < list.size(); ++i) {
    std::string name = WordFileName(list[i]);
    if (feminine && i + 1 == list.size()) {
      if (name == "_um") name = "_uma";
      if (name == "_dois") name = "_duas";
    }
    TellRecordedSound(name.size() < 8 ? name : "_" + list[i]);
    const std::string path = platform::TranslateWindowsPath(State().lettersFolder + name + ".wav");
    const std::string found = platform::FindPathIgnoringCase(path).value_or(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(text::OpenDataFile(found), std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) continue;
    const long length = std::ftell(file.get());
    if (length <= static_cast<long>(HeaderBytes) || std::fseek(file.get(), HeaderBytes, SEEK_SET) != 0) continue;
    sound.Append(file.get(), static_cast<std::size_t>(length) - HeaderBytes);
  }
  sound.Play();
}

void SpeakHoursMinutes(int hours, int minutes) {
  SpeakWords(NumberToWords(static_cast<uint64_t>(std::max(hours, 0))), true);
  PlaySoundFile(hours < 2 ? "_hora" : "_horas");
  if (minutes != 0) {
    SpeakWords(NumberToWords(static_cast<uint64_t>(std::max(minutes, 0))), false);
    PlaySoundFile(minutes < 2 ? "_minuto" : "_minutos");
  }
}

int WeekdayOf(int day, int month, int year) {
  // Days since 1 March of year 0 of the proleptic Gregorian calendar, then the weekday.
  static constexpr int Offsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 1 || month > 12) return 0;
  if (month < 3) year -= 1;
  const long long y = year;
  const long long sum = y + y / 4 - y / 100 + y / 400 + Offsets[month - 1] + day;
  return static_cast<int>(((sum % 7) + 7) % 7);
}

void SpeakDayMonthYear(int day, int month, int year) {
  PlaySoundFile(std::string("_") + Weekdays[WeekdayOf(day, month, year)]);
  if (day == 1) {
    PlaySoundFile("_primeir");
  } else {
    SpeakWords(NumberToWords(static_cast<uint64_t>(std::max(day, 0))), false);
  }
  PlaySoundFile("_de");
  if (month >= 1 && month <= 12) PlaySoundFile(("_" + std::string(Months[month - 1])).substr(0, 8));
  PlaySoundFile("_de");
  if (year >= 2100) {
    SpeakWords(NumberToWords(static_cast<uint64_t>(year)), false);
    return;
  }
  if (year >= 2000) SpeakWords(NumberToWords(2000), false);
  if (year > 2000) PlaySoundFile("_e");
  if (year % 100 != 0) SpeakWords(NumberToWords(static_cast<uint64_t>(std::abs(year % 100))), false);
}

void SpeakTime() {
  const platform::LocalTime now = platform::GetLocalTime();
  SpeakHoursMinutes(now.hour, now.minute);
}

void SpeakDate() {
  const platform::LocalTime today = platform::GetLocalTime();
  SpeakDayMonthYear(today.day, today.month, today.year);
}

}  // namespace speech
