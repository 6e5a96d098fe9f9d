// The program's message queue under a flood of input: it keeps a bounded number of keys,
// drops the rest whole (a release with its press), and never drops anything else.
#include <gtest/gtest.h>

#include <vector>

#include "platform/braille/braille.h"
#include "platform/core/backend.h"
#include "platform/core/win.h"

namespace platform {
namespace {

std::vector<Message> TakeAll() {
  std::vector<Message> taken;
  Message message;
  while (PeekMessage(message)) taken.push_back(message);
  return taken;
}

std::size_t Count(const std::vector<Message>& messages, uint32_t kind) {
  std::size_t n = 0;
  for (const Message& message : messages) n += message.message == kind;
  return n;
}

TEST(MessageQueue, AFloodOfKeysKeepsABoundedQueueAndEveryOtherMessage) {
  TakeAll();
  for (int i = 0; i < 20000; ++i) {
    PostKeyEvent({'A' + i % 26, 0, static_cast<uint8_t>('a' + i % 26)}, true);
    if (i % 1000 == 0) {
      PostMessage(ConsoleWindowHandle, MM_WOM_DONE, static_cast<uintptr_t>(i));
      PostMessage(ConsoleWindowHandle, WM_USER + 0x63);
      PostMessage(ConsoleWindowHandle, WM_APP_BRAILLE, static_cast<uintptr_t>(BrailleCommand::Resized));
      PostMessage(ConsoleWindowHandle, WM_APP_BRAILLE, static_cast<uintptr_t>(BrailleCommand::PanLeft));
    }
    ASSERT_LE(PendingInputMessages(), MostPendingInputMessages);
  }
  const std::vector<Message> taken = TakeAll();
  EXPECT_EQ(PendingInputMessages(), 0u);
  EXPECT_EQ(Count(taken, MM_WOM_DONE), 20u);
  EXPECT_EQ(Count(taken, WM_USER + 0x63), 20u);
  // Every key that went down comes up, each with its character, in the order typed.
  const std::size_t downs = Count(taken, WM_KEYDOWN);
  EXPECT_GT(downs, 50u);
  EXPECT_EQ(Count(taken, WM_CHAR), downs);
  EXPECT_EQ(Count(taken, WM_KEYUP), downs);
  std::vector<uintptr_t> typed;
  for (const Message& message : taken) {
    if (message.message == WM_CHAR) typed.push_back(message.wParam);
  }
  for (std::size_t i = 0; i < typed.size(); ++i) EXPECT_EQ(typed[i], 'a' + i % 26) << i;

  // Once taken, keys are queued again.
  PostKeyEvent({'Q', 0, 'q'}, true);
  EXPECT_EQ(Count(TakeAll(), WM_CHAR), 1u);
}

TEST(MessageQueue, AKeyHeldDownThroughAFloodIsStillLetGo) {
  TakeAll();
  // A Braille dot key held down, its repeats, and other keys typed meanwhile.
  PostKeyDown({'F', 0, std::nullopt});
  for (int i = 0; i < 2000; ++i) PostKeyDown({'F', 0, std::nullopt});
  for (int i = 0; i < 2000; ++i) PostKeyEvent({'J', 0, 'j'}, true);
  PostKeyUp('F', 0);
  const std::vector<Message> taken = TakeAll();
  ASSERT_FALSE(taken.empty());
  EXPECT_EQ(taken.back().message, static_cast<uint32_t>(WM_KEYUP));
  EXPECT_EQ(taken.back().wParam, static_cast<uintptr_t>('F'));
}

TEST(MessageQueue, ReleasesAloneAreBoundedToo) {
  TakeAll();
  for (int i = 0; i < 5000; ++i) PostKeyUp('K', 0);  // never seen going down
  EXPECT_LE(PendingInputMessages(), 2 * MostPendingInputMessages);
  TakeAll();
}

}  // namespace
}  // namespace platform
