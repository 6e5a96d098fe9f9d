// Shared fixture of the library tests: opens the br4 voice and reads whole utterances.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mbrola_standin/mbrola.h"

namespace mbrola_standin_test {

class MbrolaTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(init_MBR(QUELVAR_MBROLA_VOICE_PATH), 0) << ErrorText(); }
  void TearDown() override { close_MBR(); }

  static std::string ErrorText() {
    char text[256];
    lastErrorStr_MBR(text, sizeof text);
    return text;
  }
  // Everything ready now, read in chunks of `chunk` samples.
  static std::vector<std::int16_t> ReadAll(int chunk = 4096) {
    std::vector<std::int16_t> all;
    std::vector<short> buffer(static_cast<std::size_t>(chunk));
    int n = 0;
    while ((n = read_MBR(buffer.data(), chunk)) > 0) all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    return all;
  }
  // Writes the text, flushes, and reads everything.
  static std::vector<std::int16_t> Say(const std::string& text) {
    reset_MBR();
    EXPECT_GE(write_MBR(text.c_str()), 0) << ErrorText();
    EXPECT_EQ(flush_MBR(), 0) << ErrorText();
    return ReadAll();
  }
};

// "olá mundo", as the front end writes it.
inline constexpr const char* OlaMundo =
    ";Olá\r\n_ 100\r\no 80 50 200\r\nl 60\r\na 150 50 220\r\n;mundo\r\nm 70\r\nun 120\r\nd 60\r\n"
    "u 100 50 180\r\n_ 100\r\n#\r\n";
inline constexpr int OlaMundoMs = 840;

}  // namespace mbrola_standin_test
