#pragma once
// What every test folder shares: scratch folders, and program exits turned into exceptions
// so that a test sees the exit code instead of the test process ending.

#include <string>

// Thrown where the program would end, with the exit code it would end with.
struct ProgramExit {
  int code;
};

// A new empty folder /tmp/quelvar-<what>-XXXXXX; empty when it cannot be made.
std::string MakeTestFolder(const std::string& what);
