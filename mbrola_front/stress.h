#pragma once
// Stress of a Portuguese word found from its spelling alone.

#include <string_view>

namespace mbrola_front {

// Words of fewer than three characters and a few function words carry no stress mark.
bool IsUnstressedWord(std::string_view upperWord);

// 1-based position of the stressed vowel, 0 when the word has no vowel.
int FindStressPosition(std::string_view word);

}  // namespace mbrola_front
