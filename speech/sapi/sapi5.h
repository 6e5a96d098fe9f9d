#pragma once
// The SAPI 5 adapters: the engine dispatch's five operations over a speech voice
// (speech/sapi/sapi5_objects.h). EngineKind::Sapi5 sets the voice and the output stream
// through the voice's own properties; its late-bound twin (EngineKind::Sapi5LateBound)
// through properties set by name.

#include <string>
#include <string_view>

#include "speech/sapi/sapi5_objects.h"

namespace speech {

// Opens voice number 'voice' (1-based; out of range: voice 1 at rate 0) at 'rate'
// (-10..10); outputFile empty is the sound device. False leaves nothing open.
bool Sapi5Open(int voice, int rate, const std::string& outputFile);
void Sapi5Close();
// Speaks a text (Windows-1252) in the background; an empty text speaks a blank.
void Sapi5Speak(std::string_view text);
// True while the voice still speaks (asked for 20 ms); then the host is woken.
bool Sapi5Busy();
// Drops queued speech; true when the request failed.
bool Sapi5Stop();

bool Sapi54Open(int voice, int rate, const std::string& outputFile);
void Sapi54Close();
void Sapi54Speak(std::string_view text);
bool Sapi54Busy();
bool Sapi54Stop();

// The objects each adapter creates; by default those of the installed engine (on Linux
// speech-dispatcher, on Windows the system's voices). An empty set puts those back.
void SetSapi5Objects(sapi::Sapi5Objects objects);
void SetSapi54Objects(sapi::Sapi5Objects objects);
// The installed engine's objects, for EngineKind::Sapi5 or (lateBound) its late-bound twin.
sapi::Sapi5Objects InstalledSapi5Objects(bool lateBound);

}  // namespace speech
