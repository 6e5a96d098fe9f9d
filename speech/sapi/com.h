#pragma once
// The little of COM the engine objects need: result codes, interface identifiers, and a
// wait handle that other threads may set.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace speech::sapi {

// Results as COM gives them: negative is a failure, 1 is "done, but no more".
using HResult = int32_t;
inline constexpr HResult HrOk = 0;
inline constexpr HResult HrFalse = 1;
inline constexpr HResult HrFail = static_cast<HResult>(0x80004005);
inline constexpr HResult HrNotImplemented = static_cast<HResult>(0x80004001);
inline constexpr HResult HrInvalidArgument = static_cast<HResult>(0x80070057);
inline constexpr bool Failed(HResult result) { return result < 0; }

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0, data3 = 0;
  uint8_t data4[8] = {};
  bool operator==(const Guid&) const = default;
  bool IsNull() const { return *this == Guid{}; }
};

// The notification interfaces, as their published identifiers.
inline constexpr Guid IidTtsNotifySink{0x05EB6C6F, 0xDBAB, 0x11CD, {0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F}};
inline constexpr Guid IidTtsBufNotifySink{0xE4963D40, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};

// A manual-reset event: Set from any thread, waited for with a time limit.
class WaitHandle {
 public:
  void Set() {
    std::lock_guard lock(mutex_);
    signalled_ = true;
    changed_.notify_all();
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
  }
  // True when the handle is (or becomes) set within the time.
  bool Wait(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
#ifdef __EMSCRIPTEN__
    // A web page has one thread: the page's events that set the handle run only while the
    // program gives the browser its thread, so the wait does that.
    if (!signalled_) {
      lock.unlock();
      emscripten_sleep(static_cast<unsigned>(limit.count()));
      lock.lock();
    }
    return signalled_;
#else
    return changed_.wait_for(lock, limit, [this] { return signalled_; });
#endif
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = true;
};

}  // namespace speech::sapi
