#pragma once
// The screen review: going back over the 80 x 25 console screen by ear (characters, words,
// lines, fields of one colour, the whole screen), jumping, searching and copying it.

#include <functional>
#include <string>
#include <string_view>

namespace editor {

// Runs one visit to the review, from the console cursor, until the user presses Esc; the
// cursor is then put back where it was. The line editor calls it on Ctrl+Alt+F9.
void ScreenReview();

// The last text searched for, kept from one visit to the next (empty at start).
const std::string& ReviewSearchText();

// ---- for tests ----

// Everything the review makes heard, in the order it is made heard. The detail is the text
// spoken or spelled, the character of a character sound, the name of a named sound, and
// empty for the tone and the click.
enum class ReviewSound { Tone, Click, CharSound, SoundFile, Spell, Speak };
using ReviewSoundObserver = std::function<void(ReviewSound sound, std::string_view detail)>;
// The observer is told of each sound before it is played; an empty one removes it.
void SetReviewSoundObserver(ReviewSoundObserver observer);
// Forgets the search text.
void ResetReviewForTests();

}  // namespace editor
