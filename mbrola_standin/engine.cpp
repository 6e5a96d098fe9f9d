// The synthesizer behind the C entry points: a voice, the phone input, queued utterances and the renderer.
#include "mbrola_standin/engine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "mbrola_standin/float_mode.h"
#include "mbrola_standin/mbrola.h"
#include "text/files.h"

namespace mbrola_standin {
namespace {

// Parameters are refreshed every 4 ms; the time line looks this far ahead.
constexpr double FrameMs = 4;
constexpr double FrameMarginMs = 5;
// An external parser is asked for at most this many phones per read.
constexpr int MaxPulls = 4096;
constexpr double LowestPitchHz = 30;

bool Readable(const std::string& path) {
  std::FILE* file = text::OpenDataFile(path);
  if (file) std::fclose(file);
  return file != nullptr;
}

// The path itself, the path with ".voice", then for a bare name the voice folders.
std::string ResolveVoicePath(std::string_view given) {
  if (given.empty()) return {};
  const std::string path(given);
  if (Readable(path)) return path;
  if (Readable(path + ".voice")) return path + ".voice";
  if (path.find_first_of(text::PathSeparators) != std::string::npos) return {};
  std::vector<std::string> folders;
  if (const char* env = std::getenv("QUELVAR_MBROLA_VOICES"); env != nullptr && *env != '\0') folders.emplace_back(env);
#ifdef QUELVAR_MBROLA_VOICE_DIR
  folders.emplace_back(QUELVAR_MBROLA_VOICE_DIR);
#endif
  for (const std::string& folder : folders) {
    for (const std::string& candidate : {folder + "/" + path + ".voice", folder + "/" + path}) {
      if (Readable(candidate)) return candidate;
    }
  }
  return {};
}

}  // namespace

Engine::Engine() : input_([this](std::string_view name) { return voice_.Find(name); }, InputCapacityBytes) {}

int Engine::Fail(int code, std::string text) {
  error_ = code;
  errorText_ = std::move(text);
  return code;
}

int Engine::Open(std::string_view path, std::string_view rename, std::string_view clone) {
  Close();
  const std::string resolved = ResolveVoicePath(path);
  if (resolved.empty()) return Fail(MBR_ERROR_DATABASE_OPEN, "cannot find voice " + std::string(path));
  Voice voice;
  std::string why;
  if (!LoadVoice(resolved, voice, why)) return Fail(MBR_ERROR_DATABASE_FORMAT, why);
  if (!ApplyRenames(voice, rename, clone, why)) return Fail(MBR_ERROR_BAD_ARGUMENT, why);
  voice_ = std::move(voice);
  rate_ = voice_.sampleRate;
  synth_ = std::make_unique<FormantSynth>(voice_.sampleRate, SourceShape{voice_.openQuotient, voice_.tilt});
  open_ = true;
  Reset();
  return 0;
}

void Engine::Close() {
  SetParser(nullptr);
  Reset();
  open_ = false;
  synth_.reset();
  voice_ = Voice{};
}

int Engine::TakeInputError(int result) {
  if (input_.LastError() != 0) {
    Fail(input_.LastError(), input_.LastErrorText());
    input_.ClearError();
  }
  return result;
}

int Engine::Write(std::string_view text) {
  if (!open_) return Fail(MBR_ERROR_NOT_INITIALISED, "no voice is open");
  const int result = TakeInputError(input_.Write(text));
  MoveReadyPhones();
  return result;
}

int Engine::Flush() {
  if (!open_) return Fail(MBR_ERROR_NOT_INITIALISED, "no voice is open");
  PullParser();
  const int result = TakeInputError(input_.Flush());
  MoveReadyPhones();
  return std::min(result, 0);
}

void Engine::Reset() {
  input_.Reset();
  input_.ClearError();
  utterances_.clear();
  started_ = false;
  rendered_ = 0;
  frameLeft_ = 0;
  error_ = 0;
  errorText_.clear();
  if (synth_) synth_->Reset();
  if (parser_ != nullptr && parser_->reset_Parser != nullptr) parser_->reset_Parser(parser_);
}

int Engine::SetRate(int hertz) {
  if (hertz < 4000 || hertz > 96000) return Fail(MBR_ERROR_BAD_ARGUMENT, "sample rate out of range");
  rate_ = hertz;
  return 0;
}

void Engine::SetParser(Parser* parser) {
  if (parser_ != nullptr && parser_ != parser && parser_->close_Parser != nullptr) parser_->close_Parser(parser_);
  parser_ = parser;
}

void Engine::MoveReadyPhones() {
  for (const PhoEvent& event : input_.TakeReady()) {
    if (utterances_.empty() || utterances_.back().Closed()) utterances_.emplace_back(voice_, FrameMs + FrameMarginMs);
    if (event.flush) {
      utterances_.back().Close();
    } else {
      utterances_.back().Append(event.phone);
    }
  }
}

void Engine::PullParser() {
  if (parser_ == nullptr || parser_->nextphone_Parser == nullptr) return;
  for (int pull = 0; pull < MaxPulls; ++pull) {
    // Leave room for the phone before asking for it, so that none is lost.
    if (input_.BufferedBytes() + 1024 > InputCapacityBytes) break;
    Phone* phone = nullptr;
    const StatePhone state = parser_->nextphone_Parser(parser_, &phone);
    if (state == PHO_OK && phone != nullptr) {
      TakeInputError(input_.AddPhone(phone->name, phone->durationMs, phone->points));
    } else if (state == PHO_FLUSH) {
      TakeInputError(input_.Flush());
    } else if (state == PHO_ERROR) {
      Fail(MBR_ERROR_PARSER, "the phone parser failed");
      break;
    } else {
      break;
    }
  }
}

int Engine::Read(std::int16_t* out, int wanted) {
  if (!open_) return Fail(MBR_ERROR_NOT_INITIALISED, "no voice is open");
  if (wanted <= 0) return 0;
  if (out == nullptr) return Fail(MBR_ERROR_BAD_ARGUMENT, "no sample buffer");
  PullParser();
  MoveReadyPhones();
  const FlushDenormals flushing;
  int produced = 0;
  while (produced < wanted && !utterances_.empty()) {
    Utterance& utterance = utterances_.front();
    if (!started_) {
      utteranceRate_ = rate_;
      frameLength_ = std::max(1, static_cast<int>(std::lround(utteranceRate_ * FrameMs / 1000)));
      started_ = true;
    }
    const double samplesPerMs = utteranceRate_ / 1000.0;
    const std::int64_t limit = utterance.Closed()
                                   ? std::llround(utterance.EndMs() * samplesPerMs)
                                   : static_cast<std::int64_t>(std::floor(utterance.HorizonMs() * samplesPerMs));
    if (utterance.Closed() && rendered_ >= limit) {
      input_.ReleaseBytes(utterance.KeptBytes());
      utterances_.pop_front();
      started_ = false;
      rendered_ = 0;
      frameLeft_ = 0;
      continue;
    }
    if (limit <= rendered_) break;
    const int count = static_cast<int>(std::min<std::int64_t>(limit - rendered_, wanted - produced));
    Render(utterance, out + produced, count);
    produced += count;
    input_.ReleaseBytes(utterance.Forget(rendered_ / samplesPerMs));
  }
  return produced;
}

void Engine::Render(Utterance& utterance, std::int16_t* out, int count) {
  const double samplesPerMs = utteranceRate_ / 1000.0;
  const float scale = static_cast<float>(voice_.gain) * volume_;
  const double highestPitchHz = utteranceRate_ / 4.0;
  for (int i = 0; i < count; ++i) {
    if (frameLeft_ == 0) {
      const FrameParams from = rendered_ == 0 ? utterance.ParamsAt(0) : frameEnd_;
      frameEnd_ = utterance.ParamsAt((rendered_ + frameLength_) / samplesPerMs);
      synth_->BeginFrame(from, frameEnd_, frameLength_);
      frameLeft_ = frameLength_;
    }
    double period = 0;
    if (synth_->PeriodStartsNext()) {
      const double hertz = std::clamp(utterance.PitchAt(rendered_ / samplesPerMs), LowestPitchHz, highestPitchHz);
      period = utteranceRate_ / hertz;
    }
    const float value = synth_->Step(period) * scale;
    out[i] = static_cast<std::int16_t>(std::lrint(std::clamp(value, -32768.0f, 32767.0f)));
    ++rendered_;
    --frameLeft_;
  }
}

}  // namespace mbrola_standin
