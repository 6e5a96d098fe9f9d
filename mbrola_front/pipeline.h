#pragma once
// The Portuguese front end's tables and its text-to-phoneme-lines pipeline.

#include <string>
#include <string_view>
#include <vector>

#include "mbrola_front/normalise.h"
#include "mbrola_front/prosody.h"
#include "mbrola_front/rules.h"

namespace mbrola_front {

// Everything the pipeline reads, loaded once; a test may hold several.
struct FrontEndData {
  AbbreviationTable abbreviations;
  RuleSet rules;
  ExceptionTable exceptions;
  ProsodyTables prosody;
  DiphoneList diphones;
};

struct FrontEndFiles {
  std::string rules, exceptions, abbreviations, prosody, diphones;
};

// folder + base + ".nrl", ".exc", ".abr", ".pro", ".dfn"; a "/" is added after the folder.
FrontEndFiles FrontEndFilesIn(std::string_view folder, std::string_view base = "portug");

enum class FrontEndLoadError { None, Rules, Abbreviations, Prosody };

// Loads rules, exceptions, abbreviations, prosody and the diphone list, in that order,
// stopping at the first failure. The prosody loader's messages go to 'messages'.
[[nodiscard]] FrontEndLoadError LoadFrontEndData(const FrontEndFiles& files, FrontEndData& data,
                                                 FrontEndMessageSink messages = WriteFrontEndMessage);
// The Portuguese failure text of a load error (Windows-1252), empty for None.
std::string FrontEndLoadErrorText(FrontEndLoadError error);

struct SpeechFactors {
  double duration = 1.0;
  double pitch = 1.0;
};

// Text (Windows-1252) -> the phoneme lines handed to MBROLA one by one, in order, without
// their line ends; empty lines are left out except a final one. A blank text gives none.
std::vector<std::string> TextToPhoLines(const FrontEndData& data, PhoLineState& state, std::string_view cp1252Text,
                                        SpeechFactors factors = {});
}  // namespace mbrola_front
