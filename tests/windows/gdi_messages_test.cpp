// The GDI window's own messages as the program receives them: keys by their position, each
// press with its character in Windows-1252, system keys and the close box left to the
// program, the right button with its position.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/backends/gdi/gdi_keys.h"
#include "platform/backends/shared/window_backend.h"

// After our own headers, whose names some of its macros share.
#include <windows.h>
#undef CreateFont
#undef PeekMessage

namespace platform {
namespace {

class GdiMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    backend_ = CreateWindowBackend(error);
    ASSERT_TRUE(backend_) << error;
    backend_->CreateFont({"", 16, 0, 400});
    ASSERT_TRUE(backend_->OpenWindow("teste", {640, 400}));
    window_ = ::FindWindowW(L"TmWinCrt", L"teste");
    ASSERT_TRUE(window_);
    Received();  // what opening the window posted
  }

  // Everything the window posted to the program since the last call.
  std::vector<Message> Received() {
    backend_->PollEvents();
    std::vector<Message> messages;
    Message message;
    while (PeekMessage(message)) messages.push_back(message);
    return messages;
  }

  // A key as the system sends it: its virtual key and its scan code.
  void Key(UINT message, WPARAM virtualKey, int scanCode, bool extended = false) {
    ::SendMessageW(window_, message, virtualKey, 1 | (scanCode << 16) | (extended ? 1 << 24 : 0));
  }

  std::unique_ptr<Backend> backend_;
  HWND window_ = nullptr;
};

TEST_F(GdiMessages, LettersAndDigitsGoByTheKeysPosition) {
  Key(WM_KEYDOWN, 'Q', 0x1E);  // an AZERTY layout names the key left of S "Q"
  ::SendMessageW(window_, WM_CHAR, L'q', 1);
  Key(WM_KEYUP, 'Q', 0x1E);
  Key(WM_KEYDOWN, '2', 0x03);
  Key(WM_KEYDOWN, VK_DELETE, 0x53, true);  // not a letter: kept
  const std::vector<Message> got = Received();
  std::vector<Input> inputs;
  for (const Message& message : got) {
    EXPECT_EQ(message.hwnd, ConsoleWindowHandle);
    EXPECT_EQ(message.message, static_cast<uint32_t>(WM_APP_KEY));
    inputs.push_back(message.input);
  }
  EXPECT_EQ(inputs, (std::vector<Input>{KeyEvent{'A', 0, 'q'}, KeyEvent{'A', 0, std::nullopt, KeyAction::Release},
                                        KeyEvent{'2', 0, std::nullopt}, KeyEvent{VK_DELETE, 0, std::nullopt}}));
}

TEST_F(GdiMessages, CharactersArriveInWindows1252AndOthersAreDropped) {
  for (const wchar_t character : {L'\u00E7', L'\u20AC', L'\u0416', L'\r', L'\x03'}) {
    ::SendMessageW(window_, WM_CHAR, character, 1);
  }
  std::vector<std::optional<uint8_t>> characters;
  for (const Message& message : Received()) {
    const auto* key = std::get_if<KeyEvent>(&message.input);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->virtualKey, 0);  // a character alone
    characters.push_back(key->character);
  }
  // ç, €, (no Cyrillic Zhe in Windows-1252), Enter, Ctrl+C
  EXPECT_EQ(characters, (std::vector<std::optional<uint8_t>>{0xE7, 0x80, 13, 3}));
}

TEST_F(GdiMessages, SystemKeysAndTheCloseBoxAreLeftToTheProgram) {
  Key(WM_SYSKEYDOWN, VK_F10, 0x44);
  ::SendMessageW(window_, WM_SYSCHAR, L'x', 1);  // the window menu's, not the program's
  ::SendMessageW(window_, WM_CLOSE, 0, 0);
  const std::vector<Message> got = Received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].input, Input(KeyEvent{VK_F10, 0, std::nullopt}));
  EXPECT_EQ(got[1].message, static_cast<uint32_t>(WM_CLOSE));
  EXPECT_TRUE(::IsWindow(window_));  // the program decides whether it closes
}

TEST_F(GdiMessages, TheRightButtonCarriesItsPosition) {
  ::SendMessageW(window_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(12, 34));
  ::SendMessageW(window_, WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(20, 40));
  ::SendMessageW(window_, WM_RBUTTONUP, 0, MAKELPARAM(20, 40));
  const std::vector<Message> got = Received();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].message, static_cast<uint32_t>(WM_RBUTTONDOWN));
  EXPECT_EQ(got[0].lParam, MAKELPARAM(12, 34));
  EXPECT_EQ(got[1].message, static_cast<uint32_t>(WM_MOUSEMOVE));
  EXPECT_EQ(got[2].message, static_cast<uint32_t>(WM_RBUTTONUP));
  EXPECT_EQ(got[2].lParam, MAKELPARAM(20, 40));
}

}  // namespace
}  // namespace platform
