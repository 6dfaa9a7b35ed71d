#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

namespace quarvo {

// The millisecond tick counter and the thread's wait; tests use a fake.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds of the platform's tick counter; it wraps around after 2^32.
  virtual std::uint32_t TickCount() = 0;
  // Waits this many milliseconds; 0 only gives up the rest of the time slice.
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Waits as Sleep does, but ends within a few tens of milliseconds once `stop` is set: a long
  // pause typed by the user never holds a Stop back. Timed against the tick counter, so that the
  // whole pause lasts as long as asked.
  virtual void Pause(std::uint32_t milliseconds, const std::atomic<bool>& stop) {
    if (milliseconds == 0) return Sleep(0);
    constexpr std::uint32_t kSliceMs = 20;
    const std::uint32_t start = TickCount();
    while (!stop) {
      const std::uint32_t gone = TickCount() - start;
      if (gone >= milliseconds) return;
      Sleep(std::min(milliseconds - gone, kSliceMs));
    }
  }
};

}  // namespace quarvo
