#include "platform/backends/sdl/sdl_fonts.h"

#include <strings.h>

#include <algorithm>
#include <cmath>

namespace platform::sdl {

std::optional<FontFile> MatchFont(const std::string& name, bool bold, bool exactFamily) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
  if (!pattern) return std::nullopt;
  std::string family;
  if (FcChar8* asked = nullptr; FcPatternGetString(pattern, FC_FAMILY, 0, &asked) == FcResultMatch) {
    family = reinterpret_cast<const char*>(asked);
  }
  FcPatternDel(pattern, FC_WEIGHT);
  FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return std::nullopt;
  std::optional<FontFile> found;
  bool familyMatches = !exactFamily;
  FcChar8* matched = nullptr;
  for (int i = 0; !familyMatches && FcPatternGetString(match, FC_FAMILY, i, &matched) == FcResultMatch; ++i) {
    familyMatches = strcasecmp(reinterpret_cast<const char*>(matched), family.c_str()) == 0;
  }
  FcChar8* file = nullptr;
  if (familyMatches && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    FontFile font;
    font.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match, FC_INDEX, 0, &font.index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &font.weight);
    found = font;
  }
  FcPatternDestroy(match);
  return found;
}

Coverage ScaleColumns(const Coverage& source, int sourceWidth, int height, int targetWidth) {
  Coverage target(static_cast<std::size_t>(targetWidth * height));
  const double ratio = static_cast<double>(sourceWidth) / targetWidth;
  for (int x = 0; x < targetWidth; ++x) {
    const double at = std::clamp((x + 0.5) * ratio - 0.5, 0.0, static_cast<double>(sourceWidth - 1));
    const int left = static_cast<int>(at);
    const int right = std::min(left + 1, sourceWidth - 1);
    const double weight = at - left;
    for (int y = 0; y < height; ++y) {
      const double value = source[static_cast<std::size_t>(y * sourceWidth + left)] * (1 - weight) +
                           source[static_cast<std::size_t>(y * sourceWidth + right)] * weight;
      target[static_cast<std::size_t>(y * targetWidth + x)] = static_cast<uint8_t>(std::lround(value));
    }
  }
  return target;
}

}  // namespace platform::sdl
