// What speech-dispatcher might send, as arbitrary bytes arriving in pieces of any size: the
// reader gives whole replies or stops with an error, never more than its bounds allow. The
// same bytes as a text to speak can never end the text early.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "speech/sapi/ssip.h"

using speech::sapi::SsipReader;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;  // how the bytes are cut into reads
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  SsipReader reader;
  bool broken = false;
  for (std::size_t at = 0; at < bytes.size(); at += piece) {
    const bool fed = reader.Feed(bytes.substr(at, piece));
    if (broken && fed) __builtin_trap();  // nothing is taken after an error
    broken = !fed;
    while (const auto reply = reader.Next()) {
      if (reply->code < 0 || reply->code > 999) __builtin_trap();
      if (reply->lines.size() > SsipReader::MostReplyLines) __builtin_trap();
      for (const std::string& line : reply->lines) {
        if (line.size() > SsipReader::MostLineBytes) __builtin_trap();
      }
      (void)speech::sapi::SsipMessageNumber(*reply);
    }
  }
  if (broken && reader.Error().empty()) __builtin_trap();

  // Spoken, the bytes end only at the closing line.
  const std::string spoken = speech::sapi::SsipSpeakData(bytes);
  constexpr std::string_view Closing = "\r\n.\r\n";
  if (spoken.find(Closing) != spoken.size() - Closing.size()) __builtin_trap();
  if (spoken.rfind(".\r\n", 0) == 0) __builtin_trap();  // nor at once
  return 0;
}
