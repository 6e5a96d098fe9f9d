#include "platform/braille/braille.h"

#include <cstdio>

namespace platform {
namespace {

std::unique_ptr<BrailleDisplay> gDisplay;

}  // namespace

void SetBrailleDisplay(std::unique_ptr<BrailleDisplay> display) {
  const bool first = gDisplay == nullptr;
  gDisplay = std::move(display);
  // The display is given back before the program ends, whichever way it ends.
  if (first && gDisplay) AddExitStep([] { gDisplay.reset(); });
}

BrailleDisplay* CurrentBrailleDisplay() { return gDisplay.get(); }

#ifndef QUELVAR_HAVE_BRLAPI
std::unique_ptr<BrailleDisplay> ConnectBrailleDisplay(BrailleUse use) {
  if (use == BrailleUse::On) {
    std::fputs("quelvar: no Braille display: this build of the game cannot reach brltty (BrlAPI)\n", stderr);
  }
  return nullptr;
}
#endif

}  // namespace platform
