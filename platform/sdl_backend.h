#pragma once
// The window backend: a real window (SDL2) whose client area is a software image that
// the console draws into, a fixed-pitch font found with fontconfig and drawn with
// SDL2_ttf, keys and mouse from SDL, the system clipboard and SDL audio.

#include <memory>
#include <optional>
#include <string>

#include "platform/backend.h"

namespace platform {

// Nothing and a message when there is no display or SDL cannot start.
std::unique_ptr<Backend> CreateWindowBackend(std::string& error);

// The colour of one pixel of the window backend's client image (nothing outside it, or
// for another backend). For tests.
std::optional<Rgb> WindowImagePixel(Backend& backend, int x, int y);

}  // namespace platform
