#pragma once
// What the tests that run the console headless share: a scratch folder, and the console
// started as the program starts it, with program exits thrown instead of ending the
// test process.

#include <memory>
#include <string>

#include "platform/backend.h"

// Thrown where the program would end, with the exit code it would end with.
struct ProgramExit {
  int code;
};

// A new empty folder /tmp/quelvar-<what>-XXXXXX; empty when it cannot be made.
std::string MakeTestFolder(const std::string& what);

// Installs the backend (a plain headless one when none is given), turns program exits
// into ProgramExit, starts the console afresh and clears the null wave device's log. The
// Windows directory and any other folders are set by the caller beforehand.
void StartHeadlessConsole(std::unique_ptr<platform::Backend> backend = nullptr);
