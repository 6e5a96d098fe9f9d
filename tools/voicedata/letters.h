#pragma once
// What the letters folder holds: each recording's file name (without ".wav") and the
// Portuguese text it says, or a computed dial tone.

#include <string>
#include <vector>

namespace voicedata {

struct Recording {
  std::string name;     // file name without ".wav": "_65", "_quatroc", "_FON97", "dtmf_#"
  std::string text;     // UTF-8 text to say; empty for a computed sound
  bool raised = false;  // a capital letter: said a little higher
  int dtmfLow = 0;      // a dial tone's two frequencies in Hz
  int dtmfHigh = 0;
};

std::vector<Recording> LettersFolderRecordings();

// The file name of a spoken number or calendar word: "_" + the word without tildes, cut
// to 8 characters, "dezessete" written "dezeset".
std::string WordFileName(const std::string& asciiWord);

}  // namespace voicedata
