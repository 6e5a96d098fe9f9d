// Stand-ins for the console and the speech front: they record what the game says.

#include "tests/game/fake_io.h"

#include <cstdlib>
#include <string_view>

#include "console/keyboard.h"
#include "console/screen.h"
#include "editor/editor.h"
#include "speech/config.h"
#include "speech/cues.h"
#include "speech/speak.h"
#include "speech/state.h"

namespace fake {

Io& TheIo() {
  static Io io;
  return io;
}

void Reset() { TheIo() = Io{}; }

}  // namespace fake

namespace console {

uint8_t TextAttribute() { return fake::TheIo().attribute; }
void SetTextAttribute(uint8_t attribute) { fake::TheIo().attribute = attribute; }

void Write(std::string_view text) { fake::TheIo().written += text; }
void WriteLine(std::string_view text) {
  fake::TheIo().written += text;
  fake::TheIo().written += '\n';
}
void ClearScreen() {}
void ClearToLineEnd() {}
void MoveCursor(int, int) {}
void SetWindowTitle(std::string_view) {}
[[noreturn]] void CloseConsole(int exitCode) { std::exit(exitCode); }
void Pause(uint16_t) {}
bool KeyAvailable() { return false; }

uint8_t WaitKey() {
  auto& keys = fake::TheIo().keys;
  if (keys.empty()) return 13;
  const uint8_t key = keys.front();
  keys.pop_front();
  return key;
}

std::string ReadEchoedLine(std::size_t) {
  auto& lines = fake::TheIo().lines;
  std::string line;
  if (!lines.empty()) {
    line = lines.front();
    lines.pop_front();
  }
  fake::TheIo().written += line + "\n";
  return line;
}

}  // namespace console

namespace editor {

void ReadLine(std::string& text) {
  auto& lines = fake::TheIo().lines;
  text.clear();
  if (!lines.empty()) {
    text = lines.front();
    lines.pop_front();
  }
  fake::TheIo().written += text + "\n";
}

void ReadNumber(int32_t& value) {
  auto& numbers = fake::TheIo().numbers;
  if (!numbers.empty()) {
    value = numbers.front();
    numbers.pop_front();
  }
  fake::TheIo().written += std::to_string(value) + "\n";
}

}  // namespace editor

namespace speech {

void SpeakWrite(std::string_view text) {
  fake::TheIo().written += text;
  fake::TheIo().spoken += std::string(text) + "\n";
}
void SpeakWriteLine(std::string_view text) {
  SpeakWrite(text);
  fake::TheIo().written += '\n';
}
void SpeakWriteNumber(int32_t n) { SpeakWrite(std::to_string(n)); }
void SpeakText(std::string_view text) { fake::TheIo().spoken += std::string(text) + "\n"; }
void StartSpeech(int, const std::string&) {}
void EndSpeech() {}
void PlayClick() {}
void PlayTone() {}
SpeechState& State() {
  static SpeechState settings;
  return settings;
}

}  // namespace speech
