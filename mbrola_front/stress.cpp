// Portuguese accentuation rules read backwards over the spelling.
#include "mbrola_front/stress.h"

#include <string>

#include "text/case.h"

namespace mbrola_front {
namespace {

bool IsAccentedVowel(unsigned char c) {
  // à á â ã é ê í ó ô õ ú
  switch (c) {
    case 0xE0:
    case 0xE1:
    case 0xE2:
    case 0xE3:
    case 0xE9:
    case 0xEA:
    case 0xED:
    case 0xF3:
    case 0xF4:
    case 0xF5:
    case 0xFA: return true;
    default: return false;
  }
}

bool IsPlainVowel(unsigned char c) {
  return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'w' || c == 'y' || c == 0xFC;  // ü
}

bool IsAEO(char c) { return c == 'a' || c == 'e' || c == 'o'; }

}  // namespace

bool IsUnstressedWord(std::string_view upperWord) {
  if (upperWord.size() < 3) return true;
  // NÃO is written with its Windows-1252 byte for Ã.
  return upperWord == "POR" || upperWord == "DAS" || upperWord == "DOS" || upperWord == "COM" ||
         upperWord == "N\xC3O" || upperWord == "SIM";
}

int FindStressPosition(std::string_view word) {
  const std::string lower = text::LowerText(word);
  const int length = static_cast<int>(lower.size());
  bool anyVowel = false;
  for (int i = length - 1; i >= 0; --i) {
    const auto c = static_cast<unsigned char>(lower[i]);
    if (IsAccentedVowel(c)) return i + 1;
    anyVowel = anyVowel || IsPlainVowel(c);
  }
  if (!anyVowel) return 0;

  int state = 0;
  int answer = 0;
  for (int i = length - 1; i >= 0; --i) {
    const char c = lower[i];
    const int here = i + 1;
    bool stop = false;
    switch (state) {
      case 0:
        if (IsAEO(c)) {
          answer = here;
          state = 1;
        } else if (c == 'i') {
          answer = here;
          state = 20;
        } else if (c == 'u') {
          answer = here;
          state = 10;
        } else if (c == 's') { /* a final s is skipped */
        }
        // -ns is the plural of -m (homens, jovens, jardins): read it as a final m.
        else if (c == 'm' || (c == 'n' && i + 2 == length && lower[i + 1] == 's')) {
          state = 40;
        } else {
          state = 30;
        }
        break;
      case 1:
        if (c == 'u') {
          state = 4;
        }
        // The i of a falling diphthong before the final vowel is its glide: the stress
        // goes to the vowel before it (ideia, apoia, praia).
        else if (c == 'i' && i > 0 && IsAEO(lower[i - 1])) {
          answer = here - 1;
          stop = true;
        } else if (IsPlainVowel(static_cast<unsigned char>(c))) {
          answer = here;
          stop = true;
        } else {
          state = 2;
        }
        break;
      case 2:
        if (IsAEO(c)) {
          answer = here;
          stop = true;
        } else if (c == 'i' || c == 'u') {
          answer = here;
          state = 3;
        }
        break;
      case 3:
        if (IsAEO(c)) {
          answer = here;
          stop = true;
        } else if (c == 'u') {
          state = 5;
        } else {
          stop = true;
        }
        break;
      case 4:
        if (c == 'g' || c == 'q') {
          answer = here + 2;
          state = 2;
        } else {
          answer = here + 1;
          stop = true;
        }
        break;
      case 5:
        answer = (c == 'g' || c == 'q') ? here + 2 : here + 1;
        stop = true;
        break;
      case 10:
        if (IsAEO(c) || c == 'i') answer = here;
        stop = true;
        break;
      case 20:
        if (IsAEO(c)) {
          answer = here;
        } else if (c == 'u') {
          state = 21;
        } else {
          stop = true;
        }
        break;
      case 21:
        answer = (c == 'g' || c == 'q') ? here + 2 : here + 1;
        stop = true;
        break;
      case 30:
        if (IsPlainVowel(static_cast<unsigned char>(c))) {
          answer = here;
          stop = true;
        }
        break;
      case 40:
        if (c == 'i' || c == 'o' || c == 'u') {
          answer = here;
          stop = true;
        } else if (IsAEO(c)) {
          answer = here;
          state = 1;
        } else {
          state = 0;
        }
        break;
      default: stop = true; break;
    }
    if (stop) break;
  }
  return answer;
}

}  // namespace mbrola_front
