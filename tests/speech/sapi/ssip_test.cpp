// SSIP as speech-dispatcher speaks it: replies read from pieces of any size, events told
// from replies, what breaks the stream, the text of a SPEAK, and the daemon's address.

#include <gtest/gtest.h>

#include <string>

#include "speech/sapi/ssip.h"

namespace {

using speech::sapi::SsipReader;

TEST(Ssip, RepliesAndEventsAreReadWhateverPiecesTheBytesComeIn) {
  const std::string bytes =
      "249-espeak-ng\tpt-BR\tnone\r\n249 OK VOICE LIST SENT\r\n225-17\r\n225 OK MESSAGE QUEUED\r\n"
      "702-17\r\n702-3\r\n702 END\r\n231 HAPPY HACKING\r\n";
  for (std::size_t piece : {1u, 2u, 7u, 4096u}) {
    SsipReader reader;
    for (std::size_t at = 0; at < bytes.size(); at += piece) ASSERT_TRUE(reader.Feed(bytes.substr(at, piece)));
    const auto voices = reader.Next(), queued = reader.Next(), ended = reader.Next(), quit = reader.Next();
    ASSERT_TRUE(voices && queued && ended && quit) << "pieces of " << piece;
    EXPECT_EQ(voices->code, 249);
    EXPECT_EQ(voices->lines, std::vector<std::string>{"espeak-ng\tpt-BR\tnone"});
    EXPECT_EQ(speech::sapi::SsipMessageNumber(*queued), 17u);
    EXPECT_TRUE(ended->IsEvent());
    EXPECT_EQ(ended->code, speech::sapi::SsipEventEnd);
    EXPECT_EQ(quit->text, "HAPPY HACKING");
    EXPECT_FALSE(reader.Next());
  }
}

TEST(Ssip, GarbageALineWithoutEndOrAReplyWithoutEndBreakTheStream) {
  SsipReader garbage;
  EXPECT_FALSE(garbage.Feed("x\r\n"));
  EXPECT_NE(garbage.Error().find("'x'"), std::string::npos) << garbage.Error();
  EXPECT_FALSE(garbage.Feed("208 OK\r\n"));  // nothing is taken after

  SsipReader half;
  EXPECT_TRUE(half.Feed("208 OK CLIE"));
  EXPECT_FALSE(half.Next());  // half a reply is none

  SsipReader flood;
  EXPECT_FALSE(flood.Feed(std::string(SsipReader::MostLineBytes + 1, '2')));
  EXPECT_FALSE(SsipReader().Feed("2x8 OK\r\n"));
  EXPECT_FALSE(SsipReader().Feed("208OK\r\n"));
}

TEST(Ssip, ASpokenTextEndsOnlyAtItsClosingLine) {
  EXPECT_EQ(speech::sapi::SsipSpeakData("Bom dia."), "Bom dia.\r\n.\r\n");
  EXPECT_EQ(speech::sapi::SsipSpeakData(".\n.x\r\nfim"), "..\r\n..x\r\nfim\r\n.\r\n");
  EXPECT_EQ(speech::sapi::SsipSpeakData("a\rb"), "a\r\nb\r\n.\r\n");
}

TEST(Ssip, TheAddressComesFromSpeechdAddressOrTheRuntimeFolder) {
  std::string error;
  auto address = speech::sapi::ParseSsipAddress("", "/run/user/1000", error);
  ASSERT_TRUE(address);
  EXPECT_EQ(address->path, "/run/user/1000/speech-dispatcher/speechd.sock");
  address = speech::sapi::ParseSsipAddress("unix_socket:/tmp/my.sock", "/run", error);
  ASSERT_TRUE(address);
  EXPECT_EQ(address->path, "/tmp/my.sock");
  address = speech::sapi::ParseSsipAddress("inet_socket:192.168.0.34:6563", "/run", error);
  ASSERT_TRUE(address);
  EXPECT_EQ(address->kind, speech::sapi::SsipAddress::Kind::Inet);
  EXPECT_EQ(address->host, "192.168.0.34");
  EXPECT_EQ(address->port, 6563);
  EXPECT_FALSE(speech::sapi::ParseSsipAddress("inet_socket:host:0", "/run", error));
  EXPECT_FALSE(speech::sapi::ParseSsipAddress("pigeon:home", "/run", error));
  EXPECT_NE(error.find("pigeon"), std::string::npos);
}

}  // namespace
