// The program's message queue under floods of arbitrary input: each byte posts a key (down,
// up, or typed at once), a character, a mouse move, a Braille display's key or news, a
// finished sound block or a wake-up, or takes some messages; a count byte repeats it. The
// queue never holds more input than its bound allows, and every message that is not input
// comes out once and in order.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/braille/braille.h"
#include "platform/core/backend.h"
#include "platform/core/win.h"

namespace {

using namespace platform;

// Releases of keys already down always go in; there are at most 256 keys and one button.
constexpr std::size_t MostInput = 2 * MostPendingInputMessages + 257;

struct Check {
  uintptr_t nextNews = 0;  // the number of the next MM_WOM_DONE to come out
  uintptr_t posted = 0;

  void Take(std::size_t count) {
    Message message;
    for (std::size_t i = 0; i < count && PeekMessage(message); ++i) {
      if (message.message != MM_WOM_DONE) continue;
      if (message.wParam != nextNews) std::abort();  // lost, doubled or out of order
      ++nextNews;
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  Check check;
  Message message;
  while (PeekMessage(message)) {
  }
  for (std::size_t at = 0; at + 1 < size; at += 2) {
    const uint8_t operation = data[at];
    const std::size_t times = 1 + data[at + 1] * 16u;
    const int key = 'A' + operation % 26;
    for (std::size_t i = 0; i < times; ++i) {
      switch (operation % 9) {
        case 0: PostKeyEvent({key, 0, static_cast<uint8_t>(key + 32)}, true); break;
        case 1: PostKey({key, ModShift, std::nullopt}); break;
        case 2: PostKey({key, 0, std::nullopt, KeyAction::Release}); break;
        case 3: PostKey({0, 0, operation}); break;  // a character without a key
        case 4: PostMessage(ConsoleWindowHandle, WM_MOUSEMOVE, 0, static_cast<intptr_t>(i)); break;
        case 5: PostBrailleCommand(i % 2 ? BrailleCommand::Route : BrailleCommand::Resized); break;
        case 6: PostMessage(ConsoleWindowHandle, MM_WOM_DONE, check.posted++); break;
        case 7: PostMessage(ConsoleWindowHandle, WM_USER + 0x63); break;
        default: check.Take(operation); break;
      }
      if (PendingInputMessages() > MostInput) std::abort();
    }
  }
  check.Take(SIZE_MAX);
  if (check.nextNews != check.posted || PendingInputMessages() != 0) std::abort();
  return 0;
}
