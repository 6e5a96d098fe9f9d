#pragma once
// The window's keys: SDL's key positions and modifiers as the virtual keys and modifier bits
// of platform/core/keys.h.

#include <SDL.h>

#include <cstdint>

namespace platform::sdl {

uint32_t ModifiersOf(uint16_t sdlModifiers);
// The virtual key of a physical key. Letters and digits go by position (scancode), so that
// the Braille dot keys S D F J K L are the same keys on every layout.
int VirtualKeyOf(const SDL_Keysym& key);
// Keys whose character (if any) comes with the key itself, never from text input.
bool IsNonTextKey(int virtualKey);

}  // namespace platform::sdl
