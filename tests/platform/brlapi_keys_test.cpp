// What each key of a Braille display asks of the game, as BrlAPI delivers it.
#include <brlapi.h>
#include <gtest/gtest.h>

#include "platform/braille/braille.h"

namespace {

using platform::BrailleCommand;

struct Case {
  brlapi_keyCode_t code;
  std::optional<platform::BrailleInput> wanted;
};

TEST(BrlapiKeys, CommandsAndTypedKeysBecomeTheGamesKeys) {
  constexpr auto Cmd = BRLAPI_KEY_TYPE_CMD;
  constexpr auto Ctrl = BRLAPI_KEY_FLG_CONTROL;
  const Case cases[] = {
      {Cmd | BRLAPI_KEY_CMD_ROUTE | 5, {{BrailleCommand::Route, 5}}},
      {Cmd | BRLAPI_KEY_CMD_FWINLT, {{BrailleCommand::PanLeft, 0}}},
      {Cmd | BRLAPI_KEY_CMD_FWINRT, {{BrailleCommand::PanRight, 0}}},
      {Cmd | BRLAPI_KEY_CMD_LNUP, {{BrailleCommand::LineUp, 0}}},
      {Cmd | BRLAPI_KEY_CMD_LNDN, {{BrailleCommand::LineDown, 0}}},
      // Dots are never taken as dots: brltty's own table makes them characters.
      {Cmd | BRLAPI_KEY_CMD_PASSDOTS | 0x83, std::nullopt},
      {'2', {{BrailleCommand::Character, '2'}}},
      {Cmd | BRLAPI_KEY_CMD_HOME, std::nullopt},  // left to brltty
      {Cmd | BRLAPI_KEY_CMD_SWITCHVT_NEXT, std::nullopt},
      {'b', {{BrailleCommand::Character, 'b'}}},
      {0xE7, {{BrailleCommand::Character, 0xE7}}},                             // ç, Latin-1
      {BRLAPI_KEY_SYM_UNICODE | 0x20AC, {{BrailleCommand::Character, 0x80}}},  // €, Windows-1252
      {BRLAPI_KEY_SYM_UNICODE | 0x0416, std::nullopt},                         // no Windows-1252 byte
      {Ctrl | 'c', {{BrailleCommand::Character, 3}}},
      {BRLAPI_KEY_SYM_LINEFEED, {{BrailleCommand::Key, platform::VK_RETURN}}},
      {BRLAPI_KEY_SYM_BACKSPACE, {{BrailleCommand::Key, platform::VK_BACK}}},
      {Ctrl | BRLAPI_KEY_SYM_LEFT, {{BrailleCommand::Key, platform::VK_LEFT | platform::BrailleKeyCtrl}}},
      {BRLAPI_KEY_SYM_FUNCTION + 8, {{BrailleCommand::Key, platform::VK_F1 + 8}}},
      {BRLAPI_KEY_SYM_UNICODE | 0x07, std::nullopt},  // a control character types nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::TranslateBrlapiKey(c.code), c.wanted) << std::hex << c.code;
  }
}

}  // namespace
