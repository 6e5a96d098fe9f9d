// The console's settings: section VIDEO (and BRAILLE's MODO) of TAMIRE.INI, read by the bare
// file name each time the window is created.

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "console/console.h"
#include "console/console_internal.h"
#include "platform/services/files.h"

namespace console {
namespace {

constexpr std::string_view IniFile = "TAMIRE.INI";

// A decimal integer with an optional sign and blanks around it; nothing when invalid.
std::optional<long> ParseDecimal(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string ReadKey(std::string_view section, std::string_view key, std::string_view defaultValue,
                    std::size_t bufferSize = 80) {
  return platform::GetPrivateProfileString(section, key, defaultValue, IniFile, bufferSize);
}

bool StartsWithS(std::string_view value) { return !value.empty() && (value[0] == 'S' || value[0] == 's'); }

}  // namespace

namespace detail {

Settings LoadConsoleSettings() {
  Settings s;
  int background = 0, foreground = 7;

  if (const std::string v = ReadKey("VIDEO", "TABCORES", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"); !v.empty()) {
    std::string rest = v + ",";
    for (std::size_t entry = 0; entry < s.colourMap.size(); ++entry) {
      const std::size_t comma = rest.find(',');
      if (comma == std::string::npos) break;
      const auto value = ParseDecimal(std::string_view(rest).substr(0, comma));
      if (!value) break;
      s.colourMap[entry] = static_cast<uint8_t>(*value & 0xFF);
      rest.erase(0, comma + 1);
    }
  }
  if (const std::string v = ReadKey("VIDEO", "CORESFIXAS", "N"); !v.empty()) s.fixedColours = StartsWithS(v);
  if (const std::string v = ReadKey("VIDEO", "LENTO", "N"); !v.empty()) s.blitScroll = StartsWithS(v);
  // A value that is not a number counts as its default, so a damaged file still shows text.
  if (const std::string v = ReadKey("VIDEO", "CORFUNDO", "0"); !v.empty()) {
    background = static_cast<int>(ParseDecimal(v).value_or(0));
  }
  if (const std::string v = ReadKey("VIDEO", "CORLETRA", "15"); !v.empty()) {
    foreground = static_cast<int>(ParseDecimal(v).value_or(15));
  }
  // Kept to 8 bits in unsigned arithmetic, which cannot overflow for any value read.
  s.attribute =
      static_cast<uint8_t>((static_cast<unsigned>(background) * 16u + static_cast<unsigned>(foreground)) & 0xFFu);
  if (const std::string v = ReadKey("BRAILLE", "MODO", "0"); !v.empty()) {
    s.brailleMode = static_cast<uint8_t>(v[0]) & 3;
  }
  if (const std::string v = ReadKey("VIDEO", "AMPLIF", "2", 2); !v.empty()) {
    s.magnifierFactor = static_cast<uint8_t>(v[0]) & 7;
  }
  if (const std::string v = ReadKey("VIDEO", "FONTE", "Lucida Console"); !v.empty()) s.font.face = v;

  const platform::Rect workArea = platform::GetWorkArea();
  const auto computedWidth = static_cast<int>(static_cast<double>(workArea.right - workArea.left) / 1024.0 * 13.0);
  const auto computedHeight = static_cast<int>(static_cast<double>(workArea.bottom - workArea.top) / 734.0 * 28.0);
  s.font.width = static_cast<int>(ParseDecimal(ReadKey("VIDEO", "LARGURALETRA", "")).value_or(computedWidth));
  s.font.height = static_cast<int>(ParseDecimal(ReadKey("VIDEO", "ALTURALETRA", "")).value_or(computedHeight));
  if (s.font.width < 0 || s.font.width > 1000) s.font.width = computedWidth;
  if (s.font.height < 0 || s.font.height > 1000) s.font.height = computedHeight;
  if (const std::string v = ReadKey("VIDEO", "PESOLETRA", "700"); !v.empty()) {
    s.font.weight = static_cast<int>(ParseDecimal(v).value_or(700));
  }
  if (const std::string v = ReadKey("VIDEO", "CANTOTELA", "SIM"); !v.empty()) s.maximized = !StartsWithS(v);
  return s;
}

}  // namespace detail

const std::array<uint8_t, 16>& CurrentColourMap() { return detail::TheConsole().settings.colourMap; }
bool FixedColours() { return detail::TheConsole().settings.fixedColours; }
int MagnifierFactor() { return detail::TheConsole().settings.magnifierFactor; }

}  // namespace console
