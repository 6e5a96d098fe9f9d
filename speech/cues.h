#pragma once
// Sound cues and waiting: clicks, tones, recorded character sounds, silencing.

#include <string>
#include <string_view>

namespace speech {

void PlayClick();
// The attention tone; discards keys typed ahead first.
void PlayTone();
std::string UpperText(std::string_view text);

}  // namespace speech
