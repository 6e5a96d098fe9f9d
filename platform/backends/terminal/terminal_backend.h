#pragma once
// The terminal backend: the console drawn with ANSI sequences on a text terminal, one
// cell per client unit, and keys read raw from it. Its key decoder and screen renderer
// are pure functions, so tests can run them without a terminal.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backends/shared/cell_grid.h"
#include "platform/core/backend.h"

namespace platform {

// Nothing and a message when standard input or output is not a terminal.
std::unique_ptr<Backend> CreateTerminalBackend(std::string& error);
// The same on a terminal given by its descriptors (the far end of a pty, in tests).
std::unique_ptr<Backend> CreateTerminalBackendOn(int inputFd, int outputFd, std::string& error);

// The kitty keyboard protocol's flags the console pushes where the terminal speaks it:
// disambiguated keys (1), press, repeat and release events (2), the key's place on a US
// keyboard and its shifted form (4), every key as a report, text keys too (8), and the text
// each key types (16). Without 8 text keys report no release; without 16 the text of a
// shifted key, a dead key or AltGr would be guessed from the key.
inline constexpr int KeyboardProtocolFlags = 1 | 2 | 4 | 8 | 16;

// One thing the terminal said: a key, a change of focus (terminals that report it), or an
// answer to the console's questions about the keyboard protocol.
struct TerminalInput {
  enum class Kind { Key, FocusIn, FocusOut, KeyboardFlags, DeviceAttributes };
  // Typed: a key whose release is never reported (text, and the sequences of terminals
  // without the protocol), to be taken as pressed and released at once. Press, Repeat and
  // Release are the protocol's events; a CSI key sequence without one is a press.
  enum class Event { Typed, Press, Repeat, Release };
  Kind kind = Kind::Key;
  Event event = Event::Typed;
  KeyEvent key;
  int flags = 0;  // KeyboardFlags: the protocol flags the terminal has on
  bool operator==(const TerminalInput&) const = default;
};

// What decoding carries from one read to the next besides the bytes left unread: inside a
// sequence too long to be any key's, whose rest is dropped as it comes.
struct TerminalDecodeState {
  bool skippingSequence = false;
};

// Decodes whole inputs from the front of 'bytes' into 'out' and returns how many bytes it
// used. Unless 'atEnd' is set, an unfinished input at the end (a lone ESC, a sequence cut
// short, part of a UTF-8 character) is left unread, to be completed by the next bytes;
// with 'atEnd' (nothing more came within the ESC timeout) a lone ESC is the Esc key and
// an unfinished sequence is dropped. ESC before a character is Alt with that character.
// Text is UTF-8; a character with no Windows-1252 byte is dropped, and a byte that is not
// UTF-8 is taken as a Windows-1252 byte. Key reports of the kitty keyboard protocol become
// the key events the window makes for the same keys. A sequence that cannot be one is
// dropped up to where it goes wrong; one longer than any key report is dropped whole, to its
// final byte, however many reads it takes ('state' remembers it between them). The form
// without 'state' decodes bytes that are all there are.
std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out,
                                TerminalDecodeState& state);
std::size_t DecodeTerminalInput(std::string_view bytes, bool atEnd, std::vector<TerminalInput>& out);

// What a terminal smaller than the console shows and says (Windows-1252: plain ASCII here),
// and the screen that shows it, wrapped to the columns there are.
std::string SizeNoticeText(int columns, int rows);
std::string RenderSizeNotice(int columns, int rows);

// The bytes that make a terminal showing 'shown' show 'wanted' (same size): cursor
// positioning, colours as 24-bit SGR and characters as UTF-8, only for cells that differ;
// with 'shown' null every cell is written. Only the cells inside visibleColumns x
// visibleRows are written, so a small terminal does not scroll. The pen colours are set
// before the first character, whatever the terminal had before.
std::string RenderGridDiff(const CellGrid* shown, const CellGrid& wanted, int visibleColumns, int visibleRows);

// The terminal console's signal handling, all in terminal_backend.cpp. SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and the crash signals give the terminal back as the end of the program
// does (raw mode off, the console's sequences undone, the keyboard protocol's flags popped)
// and then take their course; SIGTSTP gives it back and stops; SIGCONT takes it again and
// has the whole screen drawn anew. Others who share the terminal add their own steps
// (platform/services/signals.h).

}  // namespace platform
