#include "platform/services/signals.h"

#include <csignal>

namespace platform {
namespace {

struct SignalSteps {
  TerminalLeaveStep leave = nullptr;
  TerminalResumeStep resume = nullptr;
};
constexpr int MostSignalSteps = 4;

// Read inside signal handlers: a step is in place before the count shows it.
struct AddedSteps {
  SignalSteps steps[MostSignalSteps];
  volatile sig_atomic_t count = 0;
};
AddedSteps gSteps;

}  // namespace

bool AddTerminalSignalSteps(TerminalLeaveStep leave, TerminalResumeStep resume) {
  if (gSteps.count >= MostSignalSteps) return false;
  gSteps.steps[gSteps.count] = {leave, resume};
  gSteps.count = gSteps.count + 1;  // after the steps are in place: a handler sees them whole
  return true;
}

void RunLeaveSteps(int signal) {
  for (int i = 0; i < gSteps.count; ++i) {
    if (gSteps.steps[i].leave) gSteps.steps[i].leave(signal);
  }
}
void RunResumeSteps() {
  for (int i = 0; i < gSteps.count; ++i) {
    if (gSteps.steps[i].resume) gSteps.steps[i].resume();
  }
}

}  // namespace platform
