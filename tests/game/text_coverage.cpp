// Lists the game's texts that no expected transcript shows.
//
//   game_text_coverage ALLOW_LIST --sources FILE... --transcripts FILE...
//
// The texts are the "..."_text literals of the game's sources (UTF-8, as the transcripts
// are). A text in the allow-list (one per line, '#' starts a comment line) may be missing:
// the game's rules never let the player see it. Exit status 1 when a text is missing or an
// allowed text does turn up (the allow-list is then stale).

#include <cstdio>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tools/game_texts.h"

using tools::ReadWhole;
using tools::TextLiterals;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: game_text_coverage ALLOW_LIST --sources FILE... --transcripts FILE...\n";
    return 2;
  }
  std::set<std::string> allowed;
  {
    std::istringstream lines(ReadWhole(argv[1]));
    for (std::string line; std::getline(lines, line);) {
      if (!line.empty() && line[0] != '#') allowed.insert(line);
    }
  }
  std::vector<std::string> texts;
  std::string transcripts;
  enum { None, Sources, Transcripts } reading = None;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--sources") {
      reading = Sources;
    } else if (arg == "--transcripts") {
      reading = Transcripts;
    } else if (reading == Sources) {
      for (std::string& text : TextLiterals(ReadWhole(arg))) texts.push_back(std::move(text));
    } else if (reading == Transcripts) {
      transcripts += ReadWhole(arg);
      transcripts += '\n';
    }
  }
  int missing = 0;
  std::set<std::string> seen;
  for (const std::string& text : texts) {
    if (!seen.insert(text).second) continue;
    const bool shown = transcripts.find(text) != std::string::npos;
    if (!shown && !allowed.contains(text)) {
      std::cout << "in no transcript: \"" << text << "\"\n";
      ++missing;
    } else if (shown && allowed.contains(text)) {
      std::cout << "allowed as unreachable but shown: \"" << text << "\"\n";
      ++missing;
    }
  }
  for (const std::string& text : allowed) {
    if (!seen.contains(text)) {
      std::cout << "allow-list names a text the game no longer has: \"" << text << "\"\n";
      ++missing;
    }
  }
  std::cout << seen.size() << " texts, " << missing << " problems\n";
  return missing == 0 ? 0 : 1;
}
