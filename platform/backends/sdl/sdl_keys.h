#pragma once
// The window's keys: SDL's key positions and modifiers as the virtual keys and modifier bits
// the console takes.

#include <SDL.h>

#include <cstdint>

namespace platform::sdl {

inline constexpr int VkPause = 0x13, VkNumpad0 = 0x60, VkDecimal = 0x6E, VkLeftWindows = 0x5B;

uint32_t ModifiersOf(uint16_t sdlModifiers);
// The virtual key of a physical key. Letters and digits go by position (scancode), so that
// the Braille dot keys S D F J K L are the same keys on every layout.
int VirtualKeyOf(const SDL_Keysym& key);
// Keys whose character (if any) comes with the key itself, never from text input.
bool IsNonTextKey(int virtualKey);

}  // namespace platform::sdl
