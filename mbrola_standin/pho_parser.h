// Phoneme-line parser: MBROLA phoneme text in, phones with durations and pitch points out.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mbrola_standin {

struct PitchPoint {
  double positionPercent = 0;  // of the phone's duration; may exceed 100
  double hertz = 0;
};

// One line of input, read on its own (no ratios applied, no name check).
struct PhoLine {
  enum class Kind { Empty, Phone, Flush, Command };
  Kind kind = Kind::Empty;
  std::string name;
  double durationMs = 0;
  std::vector<PitchPoint> points;
  double timeRatio = 0;   // Command: T= value, 0 when absent
  double pitchRatio = 0;  // Command: F= value, 0 when absent
  int error = 0;          // an MBR_ERROR_* code, 0 when the line is sound
  std::string errorText;
};

// Reads a decimal number "[+-]digits[.digits]" filling the whole text, whatever the
// process locale says about decimal points.
bool ReadDecimal(std::string_view text, double& value);

// Reads one line without its line end. A ";" starts a comment; ";;" at the start
// makes a command line.
PhoLine ParsePhoLine(std::string_view line);

// A phone ready for synthesis: its voice row, duration and pitch points with the
// line's T= and F= ratios applied.
struct PhoPhone {
  std::string name;
  int row = -1;
  double durationMs = 0;
  std::vector<PitchPoint> points;
  std::size_t textBytes = 0;  // input bytes it stands for, released after synthesis
};

struct PhoEvent {
  bool flush = false;  // true: the utterance ends here (phone unused)
  PhoPhone phone;
};

// "a 96 (80,276)" / "#": one line per event, the printable form tests compare.
std::string FormatPhoEvents(const std::vector<PhoEvent>& events);

// The input side of the synthesizer: a bounded buffer of text that is cut into lines
// and parsed as it arrives. Phones without a pitch point are held until a phone with
// one, or a flush, releases them, so every ready phone lies before a known pitch point
// or before the end of its utterance.
class PhoInput {
 public:
  // Gives the voice row of a phone name, or -1 when the voice lacks it.
  using Lookup = std::function<int(std::string_view)>;

  PhoInput(Lookup lookup, std::size_t capacityBytes);

  // Takes all of text or none of it (MBR_ERROR_INPUT_FULL); complete lines are parsed
  // at once. Returns the bytes taken, or the code of the first line in error (that
  // line is dropped, the others are kept).
  int Write(std::string_view text);
  // Reads a pending partial line as complete, then ends the utterance.
  int Flush();
  // A phone from an external parser (setParser_MBR), checked, weighed and held like
  // a parsed line. Returns 0 or an error code.
  int AddPhone(std::string_view name, double durationMs, std::vector<PitchPoint> points);
  // Drops everything pending and held and the ratios; keeps the error (the caller
  // clears it) and the no-error switch.
  void Reset();
  void SetNoError(bool noError) { noError_ = noError; }
  bool NoError() const { return noError_; }

  // Hands over the events released so far, in input order.
  std::vector<PhoEvent> TakeReady();
  std::size_t HeldCount() const { return held_.size(); }
  // Bytes counted against the capacity: pending text, held and ready phones, and
  // phones handed over whose bytes have not been released yet.
  std::size_t BufferedBytes() const { return bufferedBytes_; }
  void ReleaseBytes(std::size_t bytes);

  int LastError() const { return error_; }
  const std::string& LastErrorText() const { return errorText_; }
  void ClearError();

 private:
  int TakeLine(std::string_view line, std::size_t bytes);
  int QueuePhone(PhoLine& line, std::size_t bytes);
  void SetError(int code, const std::string& text);

  Lookup lookup_;
  std::size_t capacityBytes_;
  std::size_t bufferedBytes_ = 0;
  std::string pending_;
  std::vector<PhoPhone> held_;
  std::vector<PhoEvent> ready_;
  double timeRatio_ = 1.0;
  double pitchRatio_ = 1.0;
  bool noError_ = false;
  int error_ = 0;
  std::string errorText_;
};

}  // namespace mbrola_standin
