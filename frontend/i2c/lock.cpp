// The per-target lock.
#include "i2c/lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/errors.hpp"

namespace idprom::tool::i2c {

std::string lock_folder() { return ::access("/run/lock", F_OK) == 0 ? "/run/lock" : "/tmp"; }

Lock::Lock(I2cIo &io, Clock &clock, const Target &target, bool reader, double wait,
           const std::string &wait_option, const std::string &folder)
    : io_(io) {
  char name[48];
  std::snprintf(name, sizeof name, "/idprom-i2c-%u-0x%02x.lock", target.bus, target.address);
  const std::string path = folder + name;
  // Read-only is enough for flock and lets every user open a file root made.
  fd_ = io_.open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) throw Failure::about(path, kExitIo, std::strerror(errno));
  const uint64_t start = clock.now_us();
  const auto wait_us = static_cast<uint64_t>(wait * 1e6);
  const int op = (reader ? LOCK_SH : LOCK_EX) | LOCK_NB;
  while (io_.flock(fd_, op) < 0) {
    const int err = errno;
    if (err == EINTR) continue;
    if (err != EWOULDBLOCK || clock.now_us() - start >= wait_us) {
      io_.close(fd_);
      if (err == EWOULDBLOCK)
        throw Failure::about(target.name, Kind::kLocked,
                             "in use by another idprom process; " + gave_up_after(wait, wait_option));
      throw Failure::about(target.name, Kind::kIo, std::strerror(err), err);
    }
    clock.sleep_us(50'000);
  }
}

Lock::~Lock() { io_.close(fd_); }

}  // namespace idprom::tool::i2c
