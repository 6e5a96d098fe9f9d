#pragma once
// Steps taken when the terminal is given back for a signal and taken again, by those who
// share the program's terminal with its console (a Braille display that brltty must get
// back while the game is stopped). The terminal console's handlers run them
// (platform/backends/terminal/terminal_backend.h): 'leave' after the terminal is given back
// for a signal (SIGTSTP: the program stops and may go on), 'resume' after it is taken
// again. Both run inside signal handlers, so they may make async-signal-safe calls only.

namespace platform {

using TerminalLeaveStep = void (*)(int signal);
using TerminalResumeStep = void (*)();
// False when the steps' few places are full.
bool AddTerminalSignalSteps(TerminalLeaveStep leave, TerminalResumeStep resume);

// For the terminal console's signal handlers.
void RunLeaveSteps(int signal);
void RunResumeSteps();

}  // namespace platform
