#pragma once
// The window's font: a face looked up with fontconfig, and glyph images scaled to the cell.

#include <fontconfig/fontconfig.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::sdl {

struct FontFile {
  std::string path;
  int index = 0;
  int weight = FC_WEIGHT_REGULAR;
};

// Looks a face up with fontconfig. With 'exactFamily' the match must carry the family asked
// for: fontconfig always answers with some font, which for an unknown name is often not
// fixed-pitch at all, and the console needs one.
std::optional<FontFile> MatchFont(const std::string& name, bool bold, bool exactFamily);

// One glyph of the atlas: coverage (0..255) of each pixel of one text cell.
using Coverage = std::vector<uint8_t>;

// Scales a coverage image horizontally by linear interpolation (Windows squeezes or widens
// the glyphs of a font asked for with a width).
Coverage ScaleColumns(const Coverage& source, int sourceWidth, int height, int targetWidth);

}  // namespace platform::sdl
