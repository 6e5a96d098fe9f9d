#pragma once
// The console started headless as the program starts it, for the tests that run the
// whole stack, with program exits thrown instead of ending the test process.

#include <memory>
#include <string>

#include "platform/core/backend.h"
#include "scratch.h"

// Installs the backend (a plain headless one when none is given) and a sound output that
// keeps what was played (platform::HeadlessSound), turns program exits
// into ProgramExit, starts the console afresh and clears the null wave device's log. The
// Windows directory and any other folders are set by the caller beforehand.
void StartHeadlessConsole(std::unique_ptr<platform::Backend> backend = nullptr);
// Closes the console's window, leaving a console as at start for whatever runs next.
void StopHeadlessConsole();
