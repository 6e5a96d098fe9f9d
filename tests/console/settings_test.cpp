// The console's settings in TAMIRE.INI: defaults, empty values, the colour map, the font
// size from the work area, and damaged files.

#include <fstream>
#include <string>

#include "console/console.h"
#include "console/screen.h"
#include "console_fixture.h"
#include "platform/core/win.h"
#include "platform/services/files.h"

using namespace console;

namespace {

using SettingsTest = ConsoleTest;

std::array<uint8_t, 16> Identity() {
  std::array<uint8_t, 16> map{};
  for (int i = 0; i < 16; ++i) map[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  return map;
}

TEST_F(SettingsTest, WithoutAFileTheDefaultsApply) {
  EnsureConsoleWindow();
  EXPECT_EQ(TextAttribute(), 0x0F);
  EXPECT_EQ(CurrentColourMap(), Identity());
  EXPECT_FALSE(FixedColours());
  EXPECT_EQ(MagnifierFactor(), 2);
  const auto& font = Backend().LastFontRequest();
  EXPECT_EQ(font.face, "Lucida Console");
  EXPECT_EQ(font.weight, 700);
  EXPECT_EQ(font.width, 13);
  EXPECT_EQ(font.height, 28);
  EXPECT_FALSE(Backend().Maximized());
}

TEST_F(SettingsTest, ColourMapTakesEntriesUntilTheFirstInvalidOne) {
  WriteIni("[VIDEO]\nTABCORES=4,2\n");
  EnsureConsoleWindow();
  auto expected = Identity();
  expected[0] = 4;
  expected[1] = 2;
  EXPECT_EQ(CurrentColourMap(), expected);
  SetTextAttribute(0x10);  // foreground nibble 0 -> red, background nibble 1 -> green
  WriteChars("r");
  EXPECT_EQ(Backend().CellAt(0, 0).foreground, (platform::Rgb{255, 0, 0}));
  EXPECT_EQ(Backend().CellAt(0, 0).background, (platform::Rgb{0, 255, 0}));
}

TEST_F(SettingsTest, ColourMapStopsAtANonNumber) {
  WriteIni("[video]\ntabcores=1,x,3\n");
  EnsureConsoleWindow();
  auto expected = Identity();
  expected[0] = 1;
  EXPECT_EQ(CurrentColourMap(), expected);
}

TEST_F(SettingsTest, AColourMapEntryOfSixteenOrMoreDrawsBlack) {
  WriteIni("[VIDEO]\nTABCORES=0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,16\n");
  EnsureConsoleWindow();
  SetTextAttribute(0x1F);
  WriteChars("k");
  EXPECT_EQ(Backend().CellAt(0, 0).foreground, (platform::Rgb{0, 0, 0}));
}

TEST_F(SettingsTest, AnEmptyForegroundKeepsLightGreyWhileAMissingOneGivesWhite) {
  WriteIni("[VIDEO]\nCORLETRA=\nCORFUNDO=1\n");
  EnsureConsoleWindow();
  EXPECT_EQ(TextAttribute(), 0x17);
}

TEST_F(SettingsTest, TheFontSizeFollowsTheWorkArea) {
  Backend().SetWorkArea({0, 0, 1280, 994});
  EnsureConsoleWindow();
  EXPECT_EQ(Backend().LastFontRequest().width, 16);
  EXPECT_EQ(Backend().LastFontRequest().height, 37);
}

TEST_F(SettingsTest, ExplicitFontValuesAndEmptyWeight) {
  WriteIni("[VIDEO]\nLARGURALETRA=10\nALTURALETRA=20\nPESOLETRA=\nFONTE=DejaVu Sans Mono\n");
  EnsureConsoleWindow();
  const auto& font = Backend().LastFontRequest();
  EXPECT_EQ(font.width, 10);
  EXPECT_EQ(font.height, 20);
  EXPECT_EQ(font.weight, 0);
  EXPECT_EQ(font.face, "DejaVu Sans Mono");
}

TEST_F(SettingsTest, CantoTelaOtherThanSOpensMaximized) {
  WriteIni("[VIDEO]\nCANTOTELA=NAO\n");
  EnsureConsoleWindow();
  EXPECT_TRUE(Backend().Maximized());
  // As large as its text, not as the screen.
  EXPECT_EQ(Backend().OuterSize().width, 80);
  EXPECT_EQ(Backend().OuterSize().height, 25);
}

TEST_F(SettingsTest, CantoTelaSimOpensANormalWindow) {
  WriteIni("[VIDEO]\nCANTOTELA=sim\n");
  EnsureConsoleWindow();
  EXPECT_FALSE(Backend().Maximized());
}

TEST_F(SettingsTest, BrailleModeFromTheFileAnnouncesItselfWhenTheWindowOpens) {
  WriteIni("[BRAILLE]\nMODO=2\n");
  EnsureConsoleWindow();
  EXPECT_EQ(Sound().Loops().size(), 2u);
}

TEST_F(SettingsTest, GarbageValuesFallBackToDefaults) {
  WriteIni(
      "[VIDEO]\nTABCORES=,,,\nCORFUNDO=azul\nCORLETRA=\x01\x02\nAMPLIF=0\nLARGURALETRA=-7x\n"
      "ALTURALETRA=99999999999999999999\nPESOLETRA=pesado\n[BRAILLE]\nMODO=\xFF\n");
  EnsureConsoleWindow();
  EXPECT_EQ(TextAttribute(), 0x0F);
  EXPECT_EQ(CurrentColourMap(), Identity());
  EXPECT_EQ(Backend().LastFontRequest().width, 13);
  EXPECT_EQ(Backend().LastFontRequest().height, 28);
  EXPECT_EQ(Backend().LastFontRequest().weight, 700);
  WriteChars("still writes");
  EXPECT_EQ(ScreenCharAt(1, 1), 's');
}

TEST_F(SettingsTest, BinaryFilesHugeLinesAndMissingSectionsDoNotHurt) {
  std::string content("\0\xFF\xFE[VID", 7);
  content += std::string(1 << 20, 'x');
  content += "\n[VIDEO\nCORLETRA=2\n[OUTRA]\nCORLETRA=3\n";
  content.push_back('\0');
  WriteIni(content);
  EnsureConsoleWindow();
  EXPECT_EQ(TextAttribute(), 0x0F);
}

TEST_F(SettingsTest, AnUnreadableConfigurationFolderGivesTheDefaults) {
  platform::SetWindowsDirectory("/nonexistent/quelvar/folder");
  EnsureConsoleWindow();
  EXPECT_EQ(TextAttribute(), 0x0F);
}

}  // namespace
