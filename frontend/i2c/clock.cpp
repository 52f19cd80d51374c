// The real clock.
#include "i2c/clock.hpp"

#include <chrono>
#include <thread>

namespace idprom::tool::i2c {

uint64_t Clock::now_us() {
  const auto t = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(t).count());
}

void Clock::sleep_us(uint64_t us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

Clock &system_clock() {
  static Clock clock;
  return clock;
}

}  // namespace idprom::tool::i2c
