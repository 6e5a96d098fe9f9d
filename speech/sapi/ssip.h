#pragma once
// SSIP, the text protocol speech-dispatcher speaks: reading its replies and events from the
// bytes of a connection, writing the text of a SPEAK, and where the daemon listens.
//
// A reply is one or more lines "CCC-text" ended by one line "CCC text", each ended by CR LF,
// CCC being three digits. Codes 700 to 799 are events the daemon sends on its own (the end
// of a message, its cancelling), the message's number on the first line. Anything else on
// the wire is a daemon that cannot be talked to.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace speech::sapi {

struct SsipReply {
  int code = 0;
  std::vector<std::string> lines;  // the "CCC-" lines' texts, in order
  std::string text;                // the last line's text

  bool IsEvent() const { return code >= 700 && code <= 799; }
  bool Succeeded() const { return code >= 200 && code <= 299; }
};

// Events of speech-dispatcher that the voice follows.
inline constexpr int SsipEventEnd = 702;
inline constexpr int SsipEventCancel = 703;

// Takes the bytes of a connection as they come, in pieces of any size, and gives back the
// replies they complete. Bounded: a line longer than MostLineBytes, or a reply of more than
// MostReplyLines lines, is a protocol error, as is any line not of the form above.
class SsipReader {
 public:
  static constexpr std::size_t MostLineBytes = 64 * 1024;
  static constexpr std::size_t MostReplyLines = 100000;

  // Adds bytes; false once the stream is broken (Error() says how). Nothing is taken after.
  bool Feed(std::string_view bytes);
  // The next complete reply, in order; nothing when none is complete yet.
  std::optional<SsipReply> Next();
  const std::string& Error() const { return error_; }

 private:
  bool TakeLine(std::string_view line);

  std::string line_;  // an unfinished line
  SsipReply current_;
  std::vector<SsipReply> done_;
  std::size_t taken_ = 0;  // replies of done_ already given out
  std::string error_;
};

// The text of a SPEAK, ready to send after the daemon's 230: UTF-8 lines ended by CR LF, a
// line starting with '.' given a second one, and the closing line ".".
std::string SsipSpeakData(std::string_view utf8);

// The message number of an event or a SPEAK's 225 reply (its first line); nothing when it
// is not a number.
std::optional<uint64_t> SsipMessageNumber(const SsipReply& reply);

// Where speech-dispatcher listens: SPEECHD_ADDRESS ("unix_socket[:PATH]",
// "inet_socket[:HOST[:PORT]]"), else its socket in the user's runtime folder.
struct SsipAddress {
  enum class Kind { Unix, Inet } kind = Kind::Unix;
  std::string path;                // Unix
  std::string host = "127.0.0.1";  // Inet
  uint16_t port = 6560;            // Inet
};
// Nothing (with the reason) for an address that names no method this program speaks.
std::optional<SsipAddress> ParseSsipAddress(std::string_view text, std::string_view runtimeFolder, std::string& error);

}  // namespace speech::sapi
