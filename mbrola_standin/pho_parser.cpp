// Phoneme-line parser: MBROLA phoneme text in, phones with durations and pitch points out.
#include "mbrola_standin/pho_parser.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "mbrola_standin/mbrola.h"

namespace mbrola_standin {
namespace {

// Longest phone we accept: a minute. Longer ones are input faults, not speech.
constexpr double MaxDurationMs = 60000;
constexpr double MaxPitchHz = 4000;
constexpr double MaxRatio = 100;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// Cursor over one line.
struct Cursor {
  std::string_view text;
  std::size_t at = 0;

  bool AtEnd() const { return at >= text.size(); }
  char Peek() const { return AtEnd() ? '\0' : text[at]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text[at])) ++at;
  }
  // A field runs to the next blank, parenthesis or comma.
  std::string_view Field() {
    const std::size_t start = at;
    while (!AtEnd() && !IsBlank(text[at]) && text[at] != '(' && text[at] != ')' && text[at] != ',') ++at;
    return text.substr(start, at - start);
  }
};

}  // namespace

bool ReadDecimal(std::string_view field, double& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
  double result = 0;
  int digits = 0;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9') {
    result = result * 10 + (field[i++] - '0');
    ++digits;
  }
  if (i < field.size() && field[i] == '.') {
    ++i;
    double scale = 0.1;
    while (i < field.size() && field[i] >= '0' && field[i] <= '9') {
      result += (field[i++] - '0') * scale;
      scale /= 10;
      ++digits;
    }
  }
  if (digits == 0 || i != field.size() || !std::isfinite(result)) return false;
  value = negative ? -result : result;
  return true;
}

namespace {

bool ReadNumber(std::string_view field, double& value) { return ReadDecimal(field, value); }

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  out.append(text.substr(0, 40));
  if (text.size() > 40) out += "...";
  return out + "\"";
}

PhoLine Fail(PhoLine line, int code, std::string text) {
  line.error = code;
  line.errorText = std::move(text);
  return line;
}

// ";; T=1.2 F=0.9": other keys are ignored, as other synthesizers' commands may appear.
PhoLine ParseCommand(std::string_view body) {
  PhoLine line;
  line.kind = PhoLine::Kind::Command;
  Cursor c{body};
  for (;;) {
    c.SkipBlanks();
    if (c.AtEnd()) break;
    const std::size_t keyStart = c.at;
    while (!c.AtEnd() && !IsBlank(c.Peek()) && c.Peek() != '=') ++c.at;
    const std::string_view key = body.substr(keyStart, c.at - keyStart);
    c.SkipBlanks();
    if (c.Peek() != '=') continue;
    ++c.at;
    c.SkipBlanks();
    const std::string_view valueText = c.Field();
    if (key != "T" && key != "F") continue;
    double value = 0;
    if (!ReadNumber(valueText, value) || value <= 0 || value > MaxRatio) {
      return Fail(line, MBR_ERROR_BAD_VALUE, "bad command value " + Quoted(body));
    }
    (key == "T" ? line.timeRatio : line.pitchRatio) = value;
  }
  return line;
}

}  // namespace

PhoLine ParsePhoLine(std::string_view text) {
  PhoLine line;
  Cursor c{text};
  c.SkipBlanks();
  if (c.AtEnd()) return line;
  if (text.substr(c.at, 2) == ";;") return ParseCommand(text.substr(c.at + 2));
  if (c.Peek() == ';') return line;
  c.text = text.substr(0, text.find(';'));

  const std::size_t nameStart = c.at;
  while (!c.AtEnd() && !IsBlank(c.Peek()) && c.Peek() != '(') ++c.at;
  line.name = std::string(text.substr(nameStart, c.at - nameStart));
  c.SkipBlanks();
  if (line.name == "#") {
    line.kind = PhoLine::Kind::Flush;
    if (!c.AtEnd()) return Fail(line, MBR_ERROR_LEFTOVER_TEXT, "text after # " + Quoted(c.text.substr(c.at)));
    return line;
  }
  line.kind = PhoLine::Kind::Phone;
  if (line.name.empty())
    return Fail(line, MBR_ERROR_LEFTOVER_TEXT, "no phone name before " + Quoted(c.text.substr(c.at)));

  const std::string_view durationText = c.Field();
  if (!ReadNumber(durationText, line.durationMs)) {
    return Fail(line, MBR_ERROR_MISSING_DURATION, "no duration for phone " + Quoted(line.name));
  }
  if (line.durationMs < 0 || line.durationMs > MaxDurationMs) {
    return Fail(line, MBR_ERROR_BAD_VALUE, "duration out of range " + Quoted(durationText));
  }

  for (;;) {
    c.SkipBlanks();
    if (c.AtEnd()) break;
    const std::size_t pointStart = c.at;
    PitchPoint point;
    bool ok = false;
    if (c.Peek() == '(') {
      ++c.at;
      c.SkipBlanks();
      ok = ReadNumber(c.Field(), point.positionPercent);
      c.SkipBlanks();
      ok = ok && c.Peek() == ',';
      if (ok) {
        ++c.at;
        c.SkipBlanks();
        ok = ReadNumber(c.Field(), point.hertz);
        c.SkipBlanks();
        ok = ok && c.Peek() == ')';
        if (ok) ++c.at;
      }
    } else {
      ok = ReadNumber(c.Field(), point.positionPercent);
      c.SkipBlanks();
      ok = ok && ReadNumber(c.Field(), point.hertz);
    }
    if (!ok) {
      return Fail(line, MBR_ERROR_LEFTOVER_TEXT, "leftover text " + Quoted(c.text.substr(pointStart)));
    }
    if (point.positionPercent < 0 || point.hertz <= 0 || point.hertz > MaxPitchHz) {
      return Fail(line, MBR_ERROR_BAD_VALUE, "pitch point out of range " + Quoted(c.text.substr(pointStart)));
    }
    line.points.push_back(point);
  }
  return line;
}

namespace {

// Plain decimals, never exponents, so that the printed form reads back.
std::string Decimal(double value) {
  char text[400];
  std::snprintf(text, sizeof text, "%.3f", value);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out;
}

}  // namespace

std::string FormatPhoEvents(const std::vector<PhoEvent>& events) {
  std::string out;
  for (const PhoEvent& event : events) {
    if (event.flush) {
      out += "#\n";
      continue;
    }
    out += event.phone.name + " " + Decimal(event.phone.durationMs);
    for (const PitchPoint& point : event.phone.points) {
      out += " (" + Decimal(point.positionPercent) + "," + Decimal(point.hertz) + ")";
    }
    out += '\n';
  }
  return out;
}

PhoInput::PhoInput(Lookup lookup, std::size_t capacityBytes)
    : lookup_(std::move(lookup)), capacityBytes_(capacityBytes) {}

int PhoInput::Write(std::string_view text) {
  if (text.size() > capacityBytes_ - bufferedBytes_) {
    SetError(MBR_ERROR_INPUT_FULL, "input buffer full");
    return MBR_ERROR_INPUT_FULL;
  }
  bufferedBytes_ += text.size();
  int firstError = 0;
  // Lines end at LF or CR; "\r\n" ends one line and leaves an empty one, which costs
  // nothing.
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    std::size_t bytes = i + 1 - start;
    int code = 0;
    if (pending_.empty()) {
      code = TakeLine(text.substr(start, i - start), bytes);
    } else {
      pending_.append(text.substr(start, i - start));
      bytes += pending_.size() - (i - start);
      const std::string line = std::move(pending_);
      pending_.clear();
      code = TakeLine(line, bytes);
    }
    if (code != 0 && firstError == 0) firstError = code;
    start = i + 1;
  }
  pending_.append(text.substr(start));
  return firstError != 0 ? firstError : static_cast<int>(text.size());
}

int PhoInput::Flush() {
  int code = 0;
  if (!pending_.empty()) {
    const std::string line = std::move(pending_);
    pending_.clear();
    code = TakeLine(line, line.size());
  }
  for (PhoPhone& phone : held_) ready_.push_back(PhoEvent{false, std::move(phone)});
  held_.clear();
  ready_.push_back(PhoEvent{true, {}});
  return code;
}

void PhoInput::Reset() {
  pending_.clear();
  held_.clear();
  ready_.clear();
  bufferedBytes_ = 0;
  timeRatio_ = 1.0;
  pitchRatio_ = 1.0;
}

std::vector<PhoEvent> PhoInput::TakeReady() {
  std::vector<PhoEvent> out;
  out.swap(ready_);
  return out;
}

void PhoInput::ReleaseBytes(std::size_t bytes) { bufferedBytes_ -= std::min(bytes, bufferedBytes_); }

void PhoInput::ClearError() {
  error_ = 0;
  errorText_.clear();
}

void PhoInput::SetError(int code, const std::string& text) {
  error_ = code;
  errorText_ = text;
}

// Parses one complete line that stood for `bytes` input bytes. The bytes of a line
// that yields no phone are released at once.
int PhoInput::TakeLine(std::string_view text, std::size_t bytes) {
  PhoLine line = ParsePhoLine(text);
  if (line.error == 0 && line.kind == PhoLine::Kind::Phone) return QueuePhone(line, bytes);
  ReleaseBytes(bytes);
  if (line.error != 0) {
    SetError(line.error, line.errorText);
    return line.error;
  }
  if (line.kind == PhoLine::Kind::Command) {
    if (line.timeRatio > 0) timeRatio_ = line.timeRatio;
    if (line.pitchRatio > 0) pitchRatio_ = line.pitchRatio;
  } else if (line.kind == PhoLine::Kind::Flush) {
    Flush();
  }
  return 0;
}

int PhoInput::AddPhone(std::string_view name, double durationMs, std::vector<PitchPoint> points) {
  // An external phone weighs what its shortest line would.
  const std::size_t bytes = name.size() + 8 + 8 * points.size();
  if (bytes > capacityBytes_ - bufferedBytes_) {
    SetError(MBR_ERROR_INPUT_FULL, "input buffer full");
    return MBR_ERROR_INPUT_FULL;
  }
  bufferedBytes_ += bytes;
  PhoLine line;
  line.kind = PhoLine::Kind::Phone;
  line.name = std::string(name);
  line.durationMs = durationMs;
  line.points = std::move(points);
  bool sound = std::isfinite(durationMs) && durationMs >= 0 && durationMs <= MaxDurationMs;
  for (const PitchPoint& point : line.points) {
    sound = sound && std::isfinite(point.positionPercent) && point.positionPercent >= 0 &&
            point.positionPercent <= 1e6 && point.hertz > 0 && point.hertz <= MaxPitchHz;
  }
  if (!sound) {
    ReleaseBytes(bytes);
    SetError(MBR_ERROR_BAD_VALUE, "phone out of range " + Quoted(name));
    return MBR_ERROR_BAD_VALUE;
  }
  return QueuePhone(line, bytes);
}

// Checks the name, applies the ratios and holds the phone until a pitch point
// releases it with those before it.
int PhoInput::QueuePhone(PhoLine& line, std::size_t bytes) {
  PhoPhone phone;
  phone.row = lookup_(line.name);
  phone.name = line.name;
  if (phone.row < 0 && noError_) {
    phone.name = "_";
    phone.row = lookup_("_");
  }
  if (phone.row < 0) {
    ReleaseBytes(bytes);
    SetError(MBR_ERROR_UNKNOWN_PHONEME, "unknown phoneme " + Quoted(line.name));
    return MBR_ERROR_UNKNOWN_PHONEME;
  }
  // The ratios may not carry a phone beyond what a line could say.
  phone.durationMs = std::min(line.durationMs * timeRatio_, MaxDurationMs);
  phone.points = std::move(line.points);
  for (PitchPoint& point : phone.points) point.hertz = std::min(point.hertz * pitchRatio_, MaxPitchHz);
  phone.textBytes = bytes;
  const bool releases = !phone.points.empty();
  held_.push_back(std::move(phone));
  if (releases) {
    for (PhoPhone& held : held_) ready_.push_back(PhoEvent{false, std::move(held)});
    held_.clear();
  }
  return 0;
}

}  // namespace mbrola_standin
