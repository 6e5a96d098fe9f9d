#pragma once
// The Portuguese front end as a speech engine: finding its files, opening the MBROLA
// library and voice, speaking text through wave playback or into a wave file.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mbrola_front/pipeline.h"
#include "speech/engine.h"

namespace mbrola_front {

// MBROLA's samples: 16-bit mono at 16000 Hz.
inline constexpr uint32_t MbrolaSampleRate = 16000;
inline constexpr int ReadBufferSamples = 16000;
inline constexpr std::size_t PlayBlockBytes = 16000;  // a block is handed over at this size
inline constexpr std::size_t MinimumBlockBytes = 256;
inline constexpr std::size_t FirstBlockBytes = 3200;  // 100 ms: the first block of a reply

// Where the front end looks, worked out once from section ORLENTTS of TAMIRE.INI.
struct FrontEndLocation {
  std::string database;  // "br4" unless MBROLA_DB names another
  std::string library;   // MBROLA_LIB, "mbrola.dll" (our own library) when unset
  FrontEndFiles files;   // DIR + BASE + ".nrl", ".exc", ".abr", ".pro", ".dfn"
};

// The 44-byte header of a 16-bit mono 16000 Hz wave image of dataSize bytes.
std::vector<uint8_t> MakeWaveHeader(uint32_t dataSize);

// The prosody loader's messages, the way a message box appears on this console: written,
// spoken, and left when the user presses Enter.
void ShowConsoleMessage(std::string_view title, std::string_view text);

// The front end as speech's engine of kind EngineKind::Mbrola, with all it keeps. It speaks
// through wave playback; after each engine operation the host is woken to look at playback
// again.
class MbrolaEngine final : public speech::Engine {
 public:
  MbrolaEngine();
  ~MbrolaEngine() override;

  // ---- as an engine ----
  // The voice number is not used; rate and pitch become the front end's factors.
  bool Open(int voice, int rate, int pitch, const std::string& outputFile) override;
  // Waits until the sound has ended, then closes.
  void Close() override;
  void Speak(std::string_view text) override;
  // A waiting key stops the engine and answers false.
  bool Busy(int mode) override;
  void Stop() override;

  // ---- the front end itself ----
  // Reads MBROLA_DB, DIR, BASE and MBROLA_LIB of section ORLENTTS and fills in the
  // defaults: database "br4"; folder the one of the registered br4 voice when it holds the
  // front end's files, else the front-end folder of the installed data; base "portug".
  const FrontEndLocation& LocateFiles();
  // Where the files were found, looked for at the first call.
  const FrontEndLocation& Located();
  // Loads the MBROLA library, opens the voice database and loads the five tables (empty
  // arguments take their defaults). On a table failure LastErrorText says which; a library
  // or database failure leaves it empty. A failed open releases what it had opened.
  bool OpenFrontEnd(const std::string& database, const std::string& rules, const std::string& exceptions,
                    const std::string& abbreviations, const std::string& prosody, const std::string& diphones);
  // Finishes the output file, frees the tables, closes and unloads MBROLA.
  void CloseFrontEnd();
  // Synthesizes the text (Windows-1252) and hands every sample to wave playback (or to the
  // output file); returns once all of it is queued. False when MBROLA reported an error or
  // the output file could not be written; the rest of the text is still spoken.
  bool SpeakFrontEnd(std::string_view text);
  bool FrontEndBusy();
  void StopFrontEnd();
  // The output wave file of the next open; empty plays through the sound device.
  void SetOutputFile(const std::string& name);
  void SetFactors(double pitchFactor, double durationFactor);
  double PitchFactor() const;
  double DurationFactor() const;
  bool FileMode() const;
  // Why the last open failed (Windows-1252, at most 255 characters); empty after a success.
  const std::string& LastErrorText() const;

  struct State;

 private:
  std::unique_ptr<State> s_;
};

// Enters the front end into speech as EngineKind::Mbrola.
void RegisterMbrolaEngine();

}  // namespace mbrola_front
