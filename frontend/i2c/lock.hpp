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

class Lock {
 public:
  // Takes the lock of `target`, shared for `readers`, waiting up to
  // `wait` seconds, which the front end's `wait_option` sets ("" for
  // none).  Throws Failure (I/O) when the lock file cannot be opened,
  // (locked) when another process holds the lock longer.
  Lock(I2cIo &io, Clock &clock, const Target &target, bool reader, double wait,
       const std::string &wait_option, const std::string &folder = lock_folder());
  ~Lock();
  Lock(const Lock &) = delete;
  Lock &operator=(const Lock &) = delete;

 private:
  I2cIo &io_;
  int fd_ = -1;
};

}  // namespace idprom::tool::i2c
