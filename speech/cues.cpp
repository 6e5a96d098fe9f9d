#include "speech/cues.h"

#include "console/keyboard.h"
#include "platform/win.h"

namespace speech {

void PlayClick() {}

void PlayTone() {
  // Keys typed ahead are thrown away before the tone sounds.
  while (console::KeyAvailable()) console::WaitKey();
  platform::MessageBeep();
}

std::string UpperText(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    const auto byte = static_cast<uint8_t>(c);
    if ((byte >= 'a' && byte <= 'z') || byte >= 224) c = static_cast<char>(byte - 32);
  }
  return upper;
}

}  // namespace speech
