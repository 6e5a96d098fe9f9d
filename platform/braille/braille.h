#pragma once
// A refreshable Braille display: the cells it shows and the keys it sends. On Linux the
// display is reached through brltty's BrlAPI server, on a thread of its own, so that a slow
// or vanished server never holds up the program. The display's keys and news reach the
// console window typed, as BrailleCommand and argument (platform/core/keys.h, posted with
// PostBrailleCommand; any backend may post them: the headless key script does); what the
// display shows is decided by the console.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/win.h"

namespace platform {

// One update of the display: exactly as many cells as it has.
struct BrailleCells {
  std::u32string text;                // one character a cell
  std::vector<bool> marked;           // cells of a selection, shown with dot 8
  std::optional<std::size_t> cursor;  // the cell of the cursor, from 0
  bool operator==(const BrailleCells&) const = default;
};

class BrailleDisplay {
 public:
  virtual ~BrailleDisplay() = default;
  // How many cells the display has now; 0 while there is none.
  virtual int Cells() = 0;
  // Shows these cells (the latest call wins; never blocks).
  virtual void Show(const BrailleCells& cells) = 0;
  // Where the display belongs: with an X window id brltty gives it to the program while
  // that window has the focus; without, the program's terminal. Connecting starts here.
  virtual void Attach(std::optional<unsigned long> xWindow) = 0;
  // Why no display could be used, for the user (English), once; asked for once the
  // display reports BrailleCommand::Failed.
  virtual std::optional<std::string> TakeFailure() { return std::nullopt; }
};

enum class BrailleUse { Auto, On, Off };

// A BrlAPI connection, made with BrlAPI's own settings (BRLAPI_HOST, BRLAPI_AUTH), tried
// again every few seconds while there is none. With BrailleUse::On a failure is told once
// on standard error; with Auto nothing is said. Nothing where the system has no BrlAPI.
std::unique_ptr<BrailleDisplay> ConnectBrailleDisplay(BrailleUse use);

// What a BrlAPI key code (a brltty command or a typed key symbol) asks of the game; nothing
// for one it does not use. Only where the system has BrlAPI.
std::optional<BrailleInput> TranslateBrlapiKey(uint64_t code);

// The display the program uses (null: none), installed once at start.
void SetBrailleDisplay(std::unique_ptr<BrailleDisplay> display);
BrailleDisplay* CurrentBrailleDisplay();

}  // namespace platform
