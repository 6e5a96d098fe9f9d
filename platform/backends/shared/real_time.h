#pragma once
// The clock of the interactive backends (window, terminal, page): real monotonic time,
// real sleeps, and the local date and time from the system clock.

#include <chrono>

#include "platform/core/backend.h"

namespace platform {

class RealTimeBackend : public Backend {
 public:
  uint64_t NowMs() override;
  void Sleep(uint32_t milliseconds) override;
  LocalTime Now() override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace platform
