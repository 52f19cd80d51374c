// Time for acknowledge polling and lock waits, injectable so that tests
// drive deadlines without sleeping.
#pragma once

#include <cstdint>

namespace idprom::tool::i2c {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t now_us();            // monotonic microseconds
  virtual void sleep_us(uint64_t us);
};

// The monotonic clock and nanosleep.
Clock &system_clock();

}  // namespace idprom::tool::i2c
