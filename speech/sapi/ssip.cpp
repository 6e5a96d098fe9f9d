#include "speech/sapi/ssip.h"

#include <charconv>

namespace speech::sapi {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Shown(std::string_view line) {
  std::string shown;
  for (const char c : line.substr(0, 40)) {
    const auto byte = static_cast<unsigned char>(c);
    shown += byte >= 0x20 && byte < 0x7F ? c : '?';
  }
  return line.size() > 40 ? shown + "..." : shown;
}

}  // namespace

bool SsipReader::Feed(std::string_view bytes) {
  if (!error_.empty()) return false;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (line_.size() + piece.size() > MostLineBytes) {
      error_ = "a line longer than " + std::to_string(MostLineBytes / 1024) + " KiB";
      return false;
    }
    line_.append(piece);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
    std::string line = std::move(line_);
    line_.clear();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!TakeLine(line)) return false;
  }
  return true;
}

bool SsipReader::TakeLine(std::string_view line) {
  const bool numbered = line.size() >= 3 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]);
  if (!numbered || (line.size() > 3 && line[3] != '-' && line[3] != ' ')) {
    error_ = "a line that is not a reply: '" + Shown(line) + "'";
    return false;
  }
  int code = 0;
  std::from_chars(line.data(), line.data() + 3, code);
  const std::string_view text = line.size() > 4 ? line.substr(4) : std::string_view();
  current_.code = code;
  if (line.size() > 3 && line[3] == '-') {
    if (current_.lines.size() >= MostReplyLines) {
      error_ = "a reply of more than " + std::to_string(MostReplyLines) + " lines";
      return false;
    }
    current_.lines.emplace_back(text);
    return true;
  }
  current_.text = std::string(text);
  if (taken_ > 0 && taken_ == done_.size()) {
    done_.clear();
    taken_ = 0;
  }
  done_.push_back(std::move(current_));
  current_ = SsipReply{};
  return true;
}

std::optional<SsipReply> SsipReader::Next() {
  if (taken_ >= done_.size()) return std::nullopt;
  return std::move(done_[taken_++]);
}

std::string SsipSpeakData(std::string_view utf8) {
  std::string data;
  data.reserve(utf8.size() + 8);
  bool lineStart = true;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
      data += "\r\n";
      lineStart = true;
      continue;
    }
    // A line of the text that starts with a dot must not be taken for the closing line.
    if (lineStart && c == '.') data += '.';
    data += c;
    lineStart = false;
  }
  data += "\r\n.\r\n";
  return data;
}

std::optional<uint64_t> SsipMessageNumber(const SsipReply& reply) {
  if (reply.lines.empty()) return std::nullopt;
  const std::string& first = reply.lines.front();
  uint64_t number = 0;
  const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), number);
  if (error != std::errc() || end != first.data() + first.size()) return std::nullopt;
  return number;
}

std::optional<SsipAddress> ParseSsipAddress(std::string_view text, std::string_view runtimeFolder, std::string& error) {
  SsipAddress address;
  address.path = std::string(runtimeFolder) + "/speech-dispatcher/speechd.sock";
  if (text.empty()) return address;
  const std::size_t colon = text.find(':');
  const std::string_view method = text.substr(0, colon);
  const std::string_view rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
  if (method == "unix_socket") {
    if (!rest.empty()) address.path = std::string(rest);
    return address;
  }
  if (method == "inet_socket") {
    address.kind = SsipAddress::Kind::Inet;
    const std::size_t portColon = rest.find(':');
    if (!rest.substr(0, portColon).empty()) address.host = std::string(rest.substr(0, portColon));
    if (portColon != std::string_view::npos) {
      const std::string_view port = rest.substr(portColon + 1);
      unsigned number = 0;
      const auto [end, failed] = std::from_chars(port.data(), port.data() + port.size(), number);
      if (failed != std::errc() || end != port.data() + port.size() || number == 0 || number > 65535) {
        error = "SPEECHD_ADDRESS names no port: '" + std::string(text) + "'";
        return std::nullopt;
      }
      address.port = static_cast<uint16_t>(number);
    }
    return address;
  }
  error = "SPEECHD_ADDRESS names no way to reach speech-dispatcher: '" + std::string(text) + "'";
  return std::nullopt;
}

}  // namespace speech::sapi
