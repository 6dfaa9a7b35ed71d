#pragma once

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
};

}  // namespace quarvo
