// The synthesizer behind the C entry points: a voice, the phone input, queued utterances and the renderer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_standin/formant_synth.h"
#include "mbrola_standin/pho_parser.h"
#include "mbrola_standin/utterance.h"
#include "mbrola_standin/voice.h"

struct Parser;

// A phone built with init_Phone for an external parser.
struct Phone {
  std::string name;
  float durationMs = 0;
  std::vector<mbrola_standin::PitchPoint> points;
};

namespace mbrola_standin {

// Bytes of phoneme text the input holds before write_MBR refuses more.
constexpr std::size_t InputCapacityBytes = 64 * 1024;

class Engine {
 public:
  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Opens the voice at path (resolved as init_MBR says). Returns 0 or an error code.
  int Open(std::string_view path, std::string_view rename, std::string_view clone);
  void Close();
  bool IsOpen() const { return open_; }

  int Write(std::string_view text);
  int Flush();
  // Renders up to wanted samples; 0 when nothing is ready.
  int Read(std::int16_t* out, int wanted);
  void Reset();

  int LastError() const { return error_; }
  const std::string& LastErrorText() const { return errorText_; }
  void SetNoError(bool noError) { input_.SetNoError(noError); }
  bool NoError() const { return input_.NoError(); }
  // Takes effect from the next utterance that starts.
  int SetRate(int hertz);
  int Rate() const { return rate_; }
  void SetVolume(float ratio) { volume_ = ratio; }
  float Volume() const { return volume_; }
  const Voice& CurrentVoice() const { return voice_; }
  void SetParser(Parser* parser);
  // Records an error found by the C layer; returns code.
  int Refuse(int code, std::string text) { return Fail(code, std::move(text)); }

 private:
  int Fail(int code, std::string text);
  int TakeInputError(int result);
  void MoveReadyPhones();
  void PullParser();
  void Render(Utterance& utterance, std::int16_t* out, int count);

  bool open_ = false;
  Voice voice_;
  PhoInput input_;
  std::deque<Utterance> utterances_;
  std::unique_ptr<FormantSynth> synth_;
  Parser* parser_ = nullptr;
  int rate_ = 16000;
  int utteranceRate_ = 16000;  // the rate the front utterance started with
  float volume_ = 1.0f;
  int error_ = 0;
  std::string errorText_;

  // Renderer position in the front utterance.
  bool started_ = false;
  std::int64_t rendered_ = 0;
  int frameLength_ = 64;
  int frameLeft_ = 0;
  FrameParams frameEnd_;
};

}  // namespace mbrola_standin
