// The terminal backend's key decoder and screen renderer, on byte strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/backends/terminal/terminal_backend.h"

namespace platform {
namespace {

// One decoded input as text, so that a failure reads as a list of keys.
std::string Describe(const TerminalInput& input) {
  switch (input.kind) {
    case TerminalInput::Kind::FocusIn: return "focus-in";
    case TerminalInput::Kind::FocusOut: return "focus-out";
    case TerminalInput::Kind::KeyboardFlags: return "flags " + std::to_string(input.flags);
    case TerminalInput::Kind::DeviceAttributes: return "attributes";
    case TerminalInput::Kind::Key: break;
  }
  std::string text;
  if (input.key.modifiers & ModCtrl) text += "Ctrl+";
  if (input.key.modifiers & ModAlt) text += "Alt+";
  if (input.key.modifiers & ModShift) text += "Shift+";
  text += "vk" + std::to_string(input.key.virtualKey);
  if (input.key.character) text += "/" + std::to_string(*input.key.character);
  switch (input.event) {
    case TerminalInput::Event::Typed: break;
    case TerminalInput::Event::Press: text += " down"; break;
    case TerminalInput::Event::Repeat: text += " repeat"; break;
    case TerminalInput::Event::Release: text += " up"; break;
  }
  return text;
}

std::vector<std::string> Decode(std::string_view bytes, bool atEnd = true) {
  std::vector<TerminalInput> inputs;
  const std::size_t used = DecodeTerminalInput(bytes, atEnd, inputs);
  std::vector<std::string> out;
  for (const auto& input : inputs) out.push_back(Describe(input));
  if (used != bytes.size()) out.push_back("unread:" + std::to_string(bytes.size() - used));
  return out;
}

using Keys = std::vector<std::string>;

TEST(TerminalKeys, PlainCharactersAndControlBytes) {
  EXPECT_EQ(Decode("a"), Keys{"vk65/97"});
  EXPECT_EQ(Decode("A"), Keys{"Shift+vk65/65"});
  EXPECT_EQ(Decode("7 "), (Keys{"vk55/55", "vk32/32"}));
  EXPECT_EQ(Decode(","), Keys{"vk0/44"});
  EXPECT_EQ(Decode("\r"), Keys{"vk13/13"});
  EXPECT_EQ(Decode("\t"), Keys{"vk9/9"});
  EXPECT_EQ(Decode("\x03"), Keys{"Ctrl+vk67/3"});
  EXPECT_EQ(Decode("\x1a"), Keys{"Ctrl+vk90/26"});
  EXPECT_EQ(Decode("\n"), Keys{"Ctrl+vk74/10"});
}

TEST(TerminalKeys, BackspaceIsDelAndCtrlBackspaceIsBs) {
  EXPECT_EQ(Decode("\x7f"), Keys{"vk8/8"});
  EXPECT_EQ(Decode("\x08"), Keys{"Ctrl+vk8/8"});
}

TEST(TerminalKeys, CursorAndEditingKeys) {
  // A CSI key without an event is a press; without the protocol, its release never comes.
  EXPECT_EQ(Decode("\x1b[A\x1b[B\x1b[C\x1b[D"), (Keys{"vk38 down", "vk40 down", "vk39 down", "vk37 down"}));
  EXPECT_EQ(Decode("\x1bOA\x1bOD"), (Keys{"vk38", "vk37"}));  // application cursor mode
  EXPECT_EQ(Decode("\x1b[H\x1b[F\x1b[1~\x1b[4~\x1bOH\x1bOF"),
            (Keys{"vk36 down", "vk35 down", "vk36 down", "vk35 down", "vk36", "vk35"}));
  EXPECT_EQ(Decode("\x1b[5~\x1b[6~\x1b[2~\x1b[3~"), (Keys{"vk33 down", "vk34 down", "vk45 down", "vk46 down"}));
}

TEST(TerminalKeys, FunctionKeysInEveryForm) {
  EXPECT_EQ(Decode("\x1bOP\x1bOQ\x1bOR\x1bOS"), (Keys{"vk112", "vk113", "vk114", "vk115"}));
  EXPECT_EQ(Decode("\x1b[11~\x1b[15~\x1b[17~\x1b[21~\x1b[23~\x1b[24~"),
            (Keys{"vk112 down", "vk116 down", "vk117 down", "vk121 down", "vk122 down", "vk123 down"}));
  EXPECT_EQ(Decode("\x1b[[A\x1b[[E"), (Keys{"vk112", "vk116"}));  // Linux console
  EXPECT_EQ(Decode("\x1b[1;5P"), Keys{"Ctrl+vk112 down"});
  EXPECT_EQ(Decode("\x1b[24;7~"), Keys{"Ctrl+Alt+vk123 down"});
}

TEST(TerminalKeys, XtermModifierParameters) {
  EXPECT_EQ(Decode("\x1b[1;5D"), Keys{"Ctrl+vk37 down"});
  EXPECT_EQ(Decode("\x1b[1;2C"), Keys{"Shift+vk39 down"});
  EXPECT_EQ(Decode("\x1b[1;3C"), Keys{"Alt+vk39 down"});
  EXPECT_EQ(Decode("\x1b[2;2~"), Keys{"Shift+vk45 down"});
  EXPECT_EQ(Decode("\x1b[2;5~"), Keys{"Ctrl+vk45 down"});
  EXPECT_EQ(Decode("\x1b[3;5~"), Keys{"Ctrl+vk46 down"});
  EXPECT_EQ(Decode("\x1b[Z"), Keys{"Shift+vk9/9"});
}

TEST(TerminalKeys, DesktopSafeChordsOfTheReviewAndTheBrailleKeyboard) {
  // Ctrl+Shift+F9, F11, F12 (modifier 6), and the Ctrl+Alt forms (7) where they arrive.
  EXPECT_EQ(Decode("\x1b[20;6~\x1b[23;6~\x1b[24;6~"),
            (Keys{"Ctrl+Shift+vk120 down", "Ctrl+Shift+vk122 down", "Ctrl+Shift+vk123 down"}));
  EXPECT_EQ(Decode("\x1b[20;7~"), Keys{"Ctrl+Alt+vk120 down"});
}

TEST(TerminalKeys, CtrlEnterFromModifyOtherKeysAndCsiU) {
  EXPECT_EQ(Decode("\x1b[27;5;13~"), Keys{"Ctrl+vk13/13"});
  EXPECT_EQ(Decode("\x1b[13;5u"), Keys{"Ctrl+vk13/13 down"});
  EXPECT_EQ(Decode("\x1b[127;5u"), Keys{"Ctrl+vk8/8 down"});
  EXPECT_EQ(Decode("\x1b[97;5u"), Keys{"Ctrl+vk65/1 down"});
  EXPECT_EQ(Decode("\x1b[27;3;120~"), Keys{"Alt+vk88"});
  EXPECT_EQ(Decode("\x1b[27;6;65~"), Keys{"Ctrl+Shift+vk65/1"});
}

TEST(TerminalKeys, LoneEscWaitsForTheTimeoutAltLetterDoesNot) {
  EXPECT_EQ(Decode("\x1b", false), Keys{"unread:1"});
  EXPECT_EQ(Decode("\x1b", true), Keys{"vk27/27"});
  EXPECT_EQ(Decode("\x1bx", false), Keys{"Alt+vk88"});
  EXPECT_EQ(Decode("\x1bX", false), Keys{"Alt+Shift+vk88"});
  EXPECT_EQ(Decode("\x1b"
                   "5"),
            Keys{"Alt+vk53"});
  EXPECT_EQ(Decode("\x1b\x1b"), (Keys{"vk27/27", "vk27/27"}));
  EXPECT_EQ(Decode("\x1b\r"), Keys{"Alt+vk13"});
  EXPECT_EQ(Decode("a\x1b", false), (Keys{"vk65/97", "unread:1"}));
}

TEST(TerminalKeys, SequenceSplitAcrossReadsWaitsForItsEnd) {
  EXPECT_EQ(Decode("\x1b[1;5", false), Keys{"unread:5"});
  EXPECT_EQ(Decode("\x1b[", false), Keys{"unread:2"});
  EXPECT_EQ(Decode("\x1bO", false), Keys{"unread:2"});
  EXPECT_EQ(Decode("\x1bO", true), Keys{"Alt+Shift+vk79"});  // Alt+Shift+O
  EXPECT_EQ(Decode("\x1b[1;5", true), Keys{});               // cut short for good: dropped
}

TEST(TerminalKeys, BrokenAndUnknownSequencesAreDroppedWithoutLosingTheNextKey) {
  EXPECT_EQ(Decode("\x1b[1;\x03"), Keys{"Ctrl+vk67/3"});
  EXPECT_EQ(Decode("\x1b[99~a"), Keys{"vk65/97"});
  EXPECT_EQ(Decode("\x1b[?1;2;4cq"), (Keys{"attributes", "vk81/113"}));  // a terminal's answer, not a key
  EXPECT_EQ(Decode("\x1b[<0;3;4Mz"), Keys{"vk90/122"});
}

TEST(TerminalKeys, Utf8BecomesWindows1252) {
  EXPECT_EQ(Decode("\xc3\xa9"), Keys{"vk0/233"});                 // é
  EXPECT_EQ(Decode("\xc3\xa3o"), (Keys{"vk0/227", "vk79/111"}));  // ão
  EXPECT_EQ(Decode("\xc3\x87"), Keys{"vk0/199"});                 // Ç
  EXPECT_EQ(Decode("\xe2\x82\xac"), Keys{"vk0/128"});             // € is 0x80 in Windows-1252
  EXPECT_EQ(Decode("\xe4\xb8\xad"
                   "a"),
            Keys{"vk65/97"});  // no Windows-1252 byte: dropped
  EXPECT_EQ(Decode("\xc3", false), Keys{"unread:1"});
  EXPECT_EQ(Decode("\xe9"
                   "a"),
            (Keys{"vk0/233", "vk65/97"}));    // a Latin-1 terminal's byte
  EXPECT_EQ(Decode("\x1b\xc3\xa9"), Keys{});  // Alt with a letter that has no key: nothing
}

TEST(TerminalKeys, MalformedUtf8IsTypedByteByByte) {
  // Overlong forms and surrogates are not UTF-8: each byte stands for itself, as a
  // Latin-1 terminal's bytes do.
  EXPECT_EQ(Decode("\xc0\xaf"), (Keys{"vk0/192", "vk0/175"}));
  EXPECT_EQ(Decode("\xed\xa0\x80"), (Keys{"vk0/237", "vk0/160", "vk0/128"}));
}

// ---- the kitty keyboard protocol (reports as kitty 0.26.5 sends them with flags 31) ----

TEST(TerminalKeys, AnswersAboutTheKeyboardProtocol) {
  EXPECT_EQ(Decode("\x1b[?0u\x1b[?62;22c"), (Keys{"flags 0", "attributes"}));
  EXPECT_EQ(Decode("\x1b[?31u"), Keys{"flags 31"});
  EXPECT_EQ(Decode("\x1b[?u"), Keys{"flags 0"});
}

TEST(TerminalKeys, TextComesFromTheTerminalAndKeysFromTheirPlace) {
  EXPECT_EQ(Decode("\x1b[49:33;2;33u"), Keys{"Shift+vk49/33 down"});  // Shift+1 is '!' here
  EXPECT_EQ(Decode("\x1b[97:65;2;65u"), Keys{"Shift+vk65/65 down"});
  // ABNT2: the c cedilla key (in the place of ';'), e acute from a dead key, and AltGr+Q.
  EXPECT_EQ(Decode("\x1b[231::59;u"), Keys{"vk186/231 down"});
  EXPECT_EQ(Decode("\x1b[233::101;u"), Keys{"vk69/233 down"});
  EXPECT_EQ(Decode("\x1b[47::113;;47u"), Keys{"vk81/47 down"});
  // AltGr is not Alt, in the window either.
  EXPECT_EQ(Decode("\x1b[57453u\x1b[63::119;;63u"), (Keys{"vk18 down", "vk87/63 down"}));
  // AZERTY: the key in the place of Q types 'a'; the Braille keys go by place.
  EXPECT_EQ(Decode("\x1b[97::113;;97u"), Keys{"vk81/97 down"});
  // Text of several characters (an input method's): the rest as typed keys.
  EXPECT_EQ(Decode("\x1b[0;;97:98u"), (Keys{"vk0/97 down", "vk66/98"}));
}

TEST(TerminalKeys, WithoutTextTheShiftedKeyOrACapitalElseNothingIsGuessed) {
  EXPECT_EQ(Decode("\x1b[49:33;2u"), Keys{"Shift+vk49/33 down"});
  EXPECT_EQ(Decode("\x1b[97;2u"), Keys{"Shift+vk65/65 down"});
  EXPECT_EQ(Decode("\x1b[231;2u"), Keys{"Shift+vk0/199 down"});  // Ç
  EXPECT_EQ(Decode("\x1b[97;65u"), Keys{"vk65/65 down"});        // caps lock
  EXPECT_EQ(Decode("\x1b[97;66u"), Keys{"Shift+vk65/97 down"});  // caps lock and Shift
  EXPECT_EQ(Decode("\x1b[49;2u"), Keys{"Shift+vk49 down"});      // the layout's business
}

TEST(TerminalKeys, EditingAndFunctionKeysWithTheirEvents) {
  EXPECT_EQ(Decode("\x1b[1;5D\x1b[1;5:2D\x1b[1;1:3D"), (Keys{"Ctrl+vk37 down", "Ctrl+vk37 repeat", "vk37 up"}));
  EXPECT_EQ(Decode("\x1b[P\x1b[1;1:3P\x1b[13~"), (Keys{"vk112 down", "vk112 up", "vk114 down"}));
  // As in the window: Shift+Tab keeps its Tab, Ctrl+Space makes no character.
  EXPECT_EQ(Decode("\x1b[9;2u\x1b[32;5u"), (Keys{"Shift+vk9/9 down", "Ctrl+vk32 down"}));
}

TEST(TerminalKeys, TheKeypadAndPauseAsTheWindowNamesThem) {
  EXPECT_EQ(Decode("\x1b[57400;129;49u"), Keys{"vk97/49 down"});  // num lock on: its digit
  EXPECT_EQ(Decode("\x1b[57400u"), Keys{"vk97/49 down"});
  EXPECT_EQ(Decode("\x1b[57424u\x1b[57414u\x1b[57427u"), (Keys{"vk35 down", "vk13/13 down", "vk12 down"}));
  EXPECT_EQ(Decode("\x1b[57362u\x1b[57362;5u"), (Keys{"vk19 down", "Ctrl+vk3 down"}));  // Ctrl+Break
}

TEST(TerminalKeys, KeysTheConsoleCannotUseAndReportsThatCannotBeAreDropped) {
  // F13, Caps Lock, a media key, Super; an event the protocol does not have; text with no
  // Windows-1252 character. The key after each still counts.
  EXPECT_EQ(Decode("\x1b[57376ua\x1b[57358ub\x1b[57428uc\x1b[57444ud"),
            (Keys{"vk65/97", "vk66/98", "vk67/99", "vk91 down", "vk68/100"}));
  EXPECT_EQ(Decode("\x1b[115;1:9ua\x1b[0;;20013ub"), (Keys{"vk65/97", "vk66/98"}));
  EXPECT_EQ(Decode("\x1b[115;1:3;;;;;;;;;;;99999999999999uz"), (Keys{"vk83 up", "vk90/122"}));
}

TEST(TerminalKeys, ASequenceLongerThanAnyKeyReportIsDroppedWholeHoweverItArrives) {
  // Too long to be a key: none of its bytes is typed, the key after it is.
  EXPECT_EQ(Decode("\x1b[" + std::string(128, ';') + "1u" + "z"), Keys{"vk90/122"});
  std::string thousand = "\x1b[1";
  for (int i = 0; i < 999; ++i) thousand += ";" + std::to_string(i % 300);
  EXPECT_EQ(Decode(thousand + "~ab"), (Keys{"vk65/97", "vk66/98"}));
  EXPECT_EQ(Decode("\x1bO" + std::string(500, '5') + "Pq"), Keys{"vk81/113"});
  // A byte that cannot be in a sequence ends it there and is decoded on its own.
  EXPECT_EQ(Decode("\x1b[" + std::string(300, '1') + "\r"), Keys{"vk13/13"});

  // Read by read: the bytes waiting for the next read stay few, and the rest of the
  // sequence is dropped as it comes, however many reads it takes.
  TerminalDecodeState state;
  std::vector<TerminalInput> inputs;
  std::string pending;
  for (std::size_t at = 0; at < thousand.size(); at += 100) {
    pending += thousand.substr(at, 100);
    pending.erase(0, DecodeTerminalInput(pending, false, inputs, state));
    EXPECT_LE(pending.size(), 200u);
  }
  EXPECT_TRUE(state.skippingSequence);
  pending += "~x";
  pending.erase(0, DecodeTerminalInput(pending, false, inputs, state));
  EXPECT_TRUE(pending.empty());
  EXPECT_FALSE(state.skippingSequence);
  ASSERT_EQ(inputs.size(), 1u);
  EXPECT_EQ(Describe(inputs[0]), "vk88/120");
}

TEST(TerminalKeys, FocusReports) { EXPECT_EQ(Decode("\x1b[O\x1b[I"), (Keys{"focus-out", "focus-in"})); }

CellGrid Blank(int columns, int rows) {
  CellGrid grid(columns, rows);
  for (auto& cell : grid.cells) cell = {' ', {192, 192, 192}, {0, 0, 0}};
  return grid;
}

TEST(TerminalRender, ASmallTerminalShowsTheSizeItNeedsWrappedToItsWidth) {
  EXPECT_EQ(SizeNoticeText(60, 20),
            "Ilha de Quelvar precisa de um terminal de 80 colunas por 25 linhas; este tem 60 colunas por 20 "
            "linhas. Aumente a janela do terminal.");
  const std::string screen = RenderSizeNotice(20, 24);
  ASSERT_EQ(screen.rfind("\x1b[0m\x1b[2J", 0), 0u);
  // Each row starts with its own cursor move and holds at most 20 characters; together
  // they are the whole notice.
  std::string joined;
  for (std::size_t at = screen.find(";1H"); at != std::string::npos;) {
    const std::size_t end = screen.find('\x1b', at + 3);
    const std::string row = screen.substr(at + 3, end == std::string::npos ? std::string::npos : end - at - 3);
    EXPECT_LE(row.size(), 20u) << row;
    joined += (joined.empty() ? "" : " ") + row;
    at = end == std::string::npos ? end : screen.find(";1H", end);
  }
  EXPECT_EQ(joined, SizeNoticeText(20, 24));
  // A terminal too short for the whole notice shows what fits.
  EXPECT_EQ(RenderSizeNotice(80, 1),
            "\x1b[0m\x1b[2J\x1b[1;1HIlha de Quelvar precisa de um terminal de 80 colunas por 25 linhas; este tem 80");
}

TEST(TerminalRender, OnlyChangedCellsAreWrittenWithTheirColours) {
  const CellGrid shown = Blank(10, 3);
  CellGrid wanted = shown;
  wanted.At(2, 1) = {'o', {255, 255, 0}, {0, 0, 255}};
  wanted.At(3, 1) = {'k', {255, 255, 0}, {0, 0, 255}};
  EXPECT_EQ(RenderGridDiff(&shown, wanted, 10, 3), "\x1b[2;3H\x1b[38;2;255;255;0m\x1b[48;2;0;0;255mok");
  EXPECT_EQ(RenderGridDiff(&wanted, wanted, 10, 3), "");
}

TEST(TerminalRender, ColourChangesAndGapsAreMinimal) {
  const CellGrid shown = Blank(10, 2);
  CellGrid wanted = shown;
  wanted.At(0, 0) = {'a', {255, 0, 0}, {0, 0, 0}};
  wanted.At(1, 0) = {'b', {0, 255, 0}, {0, 0, 0}};
  wanted.At(5, 0) = {'c', {0, 255, 0}, {0, 0, 0}};
  EXPECT_EQ(RenderGridDiff(&shown, wanted, 10, 2),
            "\x1b[1;1H\x1b[38;2;255;0;0m\x1b[48;2;0;0;0ma\x1b[38;2;0;255;0mb\x1b[1;6Hc");
}

TEST(TerminalRender, CharactersAreUtf8AndControlsShowAsBlanks) {
  const CellGrid shown = Blank(4, 1);
  CellGrid wanted = shown;
  wanted.At(0, 0).character = 0xE3;  // ã
  wanted.At(1, 0).character = 0x80;  // €
  wanted.At(2, 0).character = 0x81;  // undefined: a C1 control
  wanted.At(3, 0).character = 0x07;
  EXPECT_EQ(RenderGridDiff(&shown, wanted, 4, 1),
            "\x1b[1;1H\x1b[38;2;192;192;192m\x1b[48;2;0;0;0m\xc3\xa3\xe2\x82\xac  ");
}

TEST(TerminalRender, FullRedrawCoversOnlyTheVisibleCellsAndMovesAfterTheLastColumn) {
  CellGrid wanted = Blank(3, 3);
  wanted.At(2, 0).character = 'x';
  const std::string all = RenderGridDiff(nullptr, wanted, 3, 2);
  EXPECT_EQ(all,
            "\x1b[1;1H\x1b[38;2;192;192;192m\x1b[48;2;0;0;0m  x"
            "\x1b[2;1H   ");
  EXPECT_EQ(RenderGridDiff(nullptr, wanted, 2, 1), "\x1b[1;1H\x1b[38;2;192;192;192m\x1b[48;2;0;0;0m  ");
}

}  // namespace
}  // namespace platform
