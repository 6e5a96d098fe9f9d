#pragma once
// The window backend: a real window whose client area is an image the console draws into,
// in a fixed-pitch font, with keys and mouse and the system clipboard. On Linux an SDL2 window with SDL2_ttf and
// fontconfig (sdl_backend.cpp); on Windows a GDI window of the system's own (gdi_backend.cpp).

#include <memory>
#include <optional>
#include <string>

#include "platform/audio/sound_output.h"
#include "platform/core/backend.h"

namespace platform {

// Nothing and a message when there is no display or the window system cannot start.
std::unique_ptr<Backend> CreateWindowBackend(std::string& error);
// Where the window's sound goes: the shared device's mixer (and on Windows the system's own
// wave-out device reporting to the window, once it is open). The terminal's is the same.
std::unique_ptr<SoundOutput> CreateWindowSoundOutput();

// The colour of one pixel of the window backend's client image (nothing outside it, or
// for another backend). For tests.
std::optional<Rgb> WindowImagePixel(Backend& backend, int x, int y);

}  // namespace platform
