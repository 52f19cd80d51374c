// One lock per bus and device address, so that idprom processes take turns
// on a part: an editor holds it exclusively from its first read to its
// last verify; readers share it with each other but never see a part that
// an editor is half-way through.  The lock is flock() on a file named after
// the target in /run/lock (or /tmp), released when the holder
// exits, however it exits.
#pragma once

#include <string>

#include "i2c/bus.hpp"
#include "i2c/clock.hpp"
#include "i2c/part.hpp"

namespace idprom::tool::i2c {

// /run/lock, or /tmp where there is none: chosen by existence, not by
// permission, so that every process picks the same file.
std::string lock_folder();
// How long to wait for another process's edit: a full 64 KiB part takes
// about 512 pages of 5 ms.
inline constexpr uint64_t kLockWaitUs = 10'000'000;

class Lock {
 public:
  // Takes the lock of `target`, shared for `readers`, waiting up to
  // kLockWaitUs.  Throws Failure (I/O) when the lock file cannot be opened
  // or another process holds the lock for longer.
  Lock(I2cIo &io, Clock &clock, const Target &target, bool reader,
       const std::string &folder = lock_folder());
  ~Lock();
  Lock(const Lock &) = delete;
  Lock &operator=(const Lock &) = delete;

 private:
  I2cIo &io_;
  int fd_ = -1;
};

}  // namespace idprom::tool::i2c
