#pragma once
// What the page's console (web_backend.cpp) tells the page's speech objects.

#include <string_view>

namespace platform {

// Whether 'utf8' is the text the game last wrote on the screen, so that saying it now is
// the story being told rather than an answer to a key.
bool WebJustWrote(std::string_view utf8);

}  // namespace platform
