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

// The key events among the messages, of one action.
std::vector<KeyEvent> Keys(const std::vector<Message>& messages, KeyAction action) {
  std::vector<KeyEvent> keys;
  for (const Message& message : messages) {
    const auto* key = std::get_if<KeyEvent>(&message.input);
    if (key && key->action == action) keys.push_back(*key);
  }
  return keys;
}

TEST(MessageQueue, AFloodOfKeysKeepsABoundedQueueAndEveryOtherMessage) {
  TakeAll();
  for (int i = 0; i < 20000; ++i) {
    PostKeyEvent({'A' + i % 26, 0, static_cast<uint8_t>('a' + i % 26)}, true);
    if (i % 1000 == 0) {
      PostMessage(ConsoleWindowHandle, MM_WOM_DONE, static_cast<uintptr_t>(i));
      PostMessage(ConsoleWindowHandle, WM_USER + 0x63);
      PostBrailleCommand(BrailleCommand::Resized);
      PostBrailleCommand(BrailleCommand::PanLeft);
    }
    ASSERT_LE(PendingInputMessages(), MostPendingInputMessages);
  }
  const std::vector<Message> taken = TakeAll();
  EXPECT_EQ(PendingInputMessages(), 0u);
  EXPECT_EQ(Count(taken, MM_WOM_DONE), 20u);
  EXPECT_EQ(Count(taken, WM_USER + 0x63), 20u);
  // A Braille display's news is never dropped; its keys are input like the keyboard's.
  std::size_t resized = 0;
  for (const Message& message : taken) resized += message.input == Input(BrailleInput{BrailleCommand::Resized, 0});
  EXPECT_EQ(resized, 20u);
  // Every key that went down comes up, each with its character, in the order typed.
  const std::vector<KeyEvent> presses = Keys(taken, KeyAction::Press);
  EXPECT_GT(presses.size(), 50u);
  EXPECT_EQ(Keys(taken, KeyAction::Release).size(), presses.size());
  for (std::size_t i = 0; i < presses.size(); ++i) {
    EXPECT_EQ(presses[i].character, std::optional<uint8_t>('a' + i % 26)) << i;
  }

  // Once taken, keys are queued again.
  PostKeyEvent({'Q', 0, 'q'}, true);
  EXPECT_EQ(Keys(TakeAll(), KeyAction::Press).size(), 1u);
}

TEST(MessageQueue, AKeyHeldDownThroughAFloodIsStillLetGo) {
  TakeAll();
  // A Braille dot key held down, its repeats, and other keys typed meanwhile.
  PostKey({'F', 0, std::nullopt});
  for (int i = 0; i < 2000; ++i) PostKey({'F', 0, std::nullopt});
  for (int i = 0; i < 2000; ++i) PostKeyEvent({'J', 0, 'j'}, true);
  PostKey({'F', 0, std::nullopt, KeyAction::Release});
  const std::vector<Message> taken = TakeAll();
  ASSERT_FALSE(taken.empty());
  EXPECT_EQ(taken.back().message, static_cast<uint32_t>(WM_APP_KEY));
  EXPECT_EQ(taken.back().input, Input(KeyEvent{'F', 0, std::nullopt, KeyAction::Release}));
}

TEST(MessageQueue, ReleasesAloneAreBoundedToo) {
  TakeAll();
  for (int i = 0; i < 5000; ++i) PostKey({'K', 0, std::nullopt, KeyAction::Release});  // never seen going down
  EXPECT_LE(PendingInputMessages(), 2 * MostPendingInputMessages);
  TakeAll();
}

}  // namespace
}  // namespace platform
