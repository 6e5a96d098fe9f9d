#include "speech/speak.h"

#include <string>

#include "speech/config.h"
#include "speech/cues.h"
#include "speech/diphone.h"
#include "speech/engine.h"
#include "speech/host.h"
#include "speech/log.h"
#include "speech/numbers.h"
#include "speech/state.h"
#include "text/case.h"
#include "translator/translator.h"

namespace speech {

namespace {

constexpr std::size_t TranslatorRunMaximum = 999;
constexpr std::size_t SpelledNumberDigits = 7;
constexpr uint16_t PauseStepMs = 50;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte >= 128;
}
bool IsWordChar(char c) { return c == ' ' || IsLetter(c); }

// A pause in 50 ms steps; a waiting key ends it.
void PauseFor(int milliseconds) {
  for (int step = 0; step < milliseconds / PauseStepMs; ++step) {
    if (CurrentHost().KeyAvailable()) return;
    CurrentHost().Pause(PauseStepMs);
  }
}

// rest begins with the punctuation mark; the character after it decides the pause.
void SpeakPunctuation(std::string_view rest) {
  if (CurrentHost().KeyAvailable()) return;
  WaitUntilSilent();
  const char mark = rest.front();
  const char next = rest.size() > 1 ? rest[1] : ' ';
  if (State().punctuationNames) PlayCharSound(static_cast<uint8_t>(mark));
  switch (mark) {
    case '(':
    case ')':
    case ':':
    case ';': PauseFor(State().pauseAfterColon); break;
    case ',':
    case '-':
    case '.':
      if (next == ' ') {
        PauseFor(mark == '.' ? State().pauseAfterPeriod : State().pauseAfterComma);
      } else if (!State().punctuationNames) {
        // A mark inside a word or number (10.05, a,b) is heard as itself.
        PlayCharSound(static_cast<uint8_t>(mark));
      }
      break;
    default: break;
  }
}

void SpeakWithEngine(std::string_view text) {
  WaitUntilSilent();
  if (CurrentHost().KeyAvailable()) return;
  EngineSpeak(text);
  State().waitBeforeSound = true;
}

void SpeakBuiltIn(std::string_view text) {
  std::string work(text);
  work += ' ';
  std::size_t at = 0;  // the working copy is work[at..]
  State().stopRequested = false;
  char last = ' ';
  int repeats = 0;

  const auto takeRun = [&](auto belongs) {
    const std::size_t start = at;
    while (at < work.size() && belongs(work[at])) ++at;
    return std::string_view(work).substr(start, at - start);
  };

  while (!State().stopRequested && at < work.size()) {
    if (CurrentHost().KeyAvailable()) {
      StopSpeech();
      return;
    }
    while (at < work.size() && work[at] == '0') {
      PlaySoundFile("_zero");
      ++at;
    }
    if (at >= work.size()) break;
    const char first = work[at];

    if (first >= '1' && first <= '9') {
      const std::string_view run = takeRun([](char c) { return IsDigit(c) || c == '-'; });
      if (run.find('-') != std::string_view::npos || run.size() >= SpelledNumberDigits) {
        SpellText(run);
      } else {
        SpeakWords(NumberToWords(std::stoull(std::string(run))), false);
      }
      continue;
    }

    if (IsWordChar(first)) {
      const std::string_view run = takeRun(IsWordChar);
      if (text::UpperText(run) == "WWW") {
        SpellText(run);
      } else {
        SpeakPhonetic(translator::TranslateText(BuiltInTranslator(), run.substr(0, TranslatorRunMaximum)));
      }
      // A hyphen between two words is silent.
      if (at + 1 < work.size() && work[at] == '-' && IsLetter(work[at + 1])) ++at;
      continue;
    }

    char ch = first;
    if (ch == last) {
      // From the fifth identical character in a row on, each is only a click.
      if (++repeats > 3) {
        PlayClick();
        ch = ' ';
      }
    } else {
      last = ch;
      repeats = 0;
    }
    const std::string_view rest = std::string_view(work).substr(at);
    if (rest.front() == '-') {
      const char next = rest.size() <= 2 ? ' ' : rest[1];
      if (next == ' ' || next == '-') {
        SpeakPunctuation(rest);
      } else if (IsDigit(next)) {
        PlaySoundFile("_MENOS");
      } else {
        PlayCharSound('-');
      }
    } else if (rest.starts_with("://")) {
      SpellText(rest.substr(0, 1));
    } else {
      switch (ch) {
        case ' ':
        case '\t': break;
        case '(':
        case ')':
        case ',':
        case '.':
        case ':':
        case ';': SpeakPunctuation(rest); break;
        default:
          if (!CurrentHost().KeyAvailable()) PlayCharSound(static_cast<uint8_t>(ch));
          break;
      }
    }
    ++at;
  }
}

}  // namespace

void SpeakWrite(std::string_view text) {
  CurrentHost().Write(text);
  SpeakText(text);
}

void SpeakWriteLine(std::string_view text) {
  SpeakWrite(text);
  CurrentHost().WriteLine();
}

void SpeakWriteNumber(int32_t n) { SpeakWrite(std::to_string(n)); }

void SpeakText(std::string_view text) {
  LogSpokenText(text);
  if (State().silent) return;
  if (State().engineActive) {
    SpeakWithEngine(text);
    // An engine that went for good while taking the text leaves it to the built-in voice.
    if (!State().engineActive) SpeakBuiltIn(text);
  } else {
    SpeakBuiltIn(text);
    HandleDamagedVoice();
  }
}

}  // namespace speech
