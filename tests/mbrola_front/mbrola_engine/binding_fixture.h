#pragma once
// The MBROLA engine tests' fixture: a headless console with the null wave device, a private
// folder standing for the Windows directory, the fake MBROLA library's controls, and
// program exits turned into exceptions.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "headless_console.h"
#include "mbrola_front/mbrola_engine.h"

class BindingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void WriteFile(const std::string& path, const std::string& bytes);
  // TAMIRE.INI in the Windows directory.
  void WriteIni(const std::string& content);
  // Locates the files with [ORLENTTS] MBROLA_LIB=library plus extra lines, and opens.
  bool Open(const std::string& library, const std::string& extra = "");
  bool OpenFake(const std::string& extra = "") { return Open(FAKE_MBROLA_LIBRARY, extra); }
  // The front end's data files copied into a folder of their own, less the one named.
  std::string CopyOfFrontEndFiles(const std::string& without = "");

  // The fake library's record of calls, one a line, and its controls.
  std::vector<std::string> Calls() const;
  void ConfigureFake(int samplesPerUtterance, int chunkSamples);
  void FailFakeInit(int mode);
  void FailFakeLine(const std::string& start);
  void FailFakeReads(int count);

  // The null device's blocks, as played.
  std::vector<std::vector<uint8_t>> Blocks() const;
  std::size_t BytesPlayed() const;
  void PressKey(uint8_t character, int virtualKey);

  std::string root_, windows_;
  void* fake_ = nullptr;
};

// The front end the headless console entered into speech, and its operations by name.
mbrola_front::MbrolaEngine& Front();
inline const mbrola_front::FrontEndLocation& LocateFrontEndFiles() { return Front().LocateFiles(); }
inline bool FrontEndOpen(const std::string& database, const std::string& rules, const std::string& exceptions,
                         const std::string& abbreviations, const std::string& prosody, const std::string& diphones) {
  return Front().OpenFrontEnd(database, rules, exceptions, abbreviations, prosody, diphones);
}
inline void FrontEndClose() { Front().CloseFrontEnd(); }
inline bool FrontEndSpeak(std::string_view text) { return Front().SpeakFrontEnd(text); }
inline bool FrontEndBusy() { return Front().FrontEndBusy(); }
inline void FrontEndStop() { Front().StopFrontEnd(); }
inline void FrontEndSetOutputFile(const std::string& name) { Front().SetOutputFile(name); }
inline void FrontEndSetFactors(double pitch, double duration) { Front().SetFactors(pitch, duration); }
inline double FrontEndPitchFactor() { return Front().PitchFactor(); }
inline double FrontEndDurationFactor() { return Front().DurationFactor(); }
inline bool FrontEndFileMode() { return Front().FileMode(); }
inline const std::string& LastErrorText() { return Front().LastErrorText(); }
