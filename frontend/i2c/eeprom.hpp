// Direct access to a serial EEPROM through i2c-dev, for parts no driver
// is bound to (bring-up, blank parts, fixtures).  The module:
//   part.hpp     i2c:BUS:ADDR, the chip table and the declared geometry
//   bus.hpp      the adapter: I2C_FUNCS, I2C_RDWR, I2C_SLAVE, I2C_SMBUS,
//                each behind the injectable I2cIo
//   clock.hpp    time for polling deadlines, injectable
//   protect.hpp  the write-protect GPIO and the guard that releases it
//   lock.hpp     one lock per bus and address
//   eeprom.hpp   reads and verified page writes (this file)
//   simulated.hpp  a simulated part for tests and rehearsals
//   rehearsal.hpp  the simulated part in place of the bus (IDPROM_I2C_SIMULATE)
//   device.hpp     an i2c: image path for the file layer
//
// Reads are sequential reads from an address: as many bytes at once as the
// adapter takes, halving the size when it refuses one, and never past the
// 256 bytes one device address reaches on parts that take address bits in
// the device address.
//
// Writes change only the pages holding changed bytes, and in each page
// only the run from its first to its last changed byte.  A write never
// crosses a page: the part keeps a page's address in a latch and wraps the
// low bits, so bytes past the page end would land on the page's start.
// After each write the part is busy with its write cycle and does not
// acknowledge; polling with the address until it does ends the wait as
// soon as the cycle does, where a fixed sleep is too short for a slow part
// or wastes time on a fast one.  Each run is read back and compared; a run
// that fails is tried once more, and then every run written so far goes
// back to its original bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/errors.hpp"
#include "i2c/bus.hpp"
#include "i2c/clock.hpp"
#include "i2c/lock.hpp"
#include "i2c/part.hpp"
#include "i2c/protect.hpp"

namespace idprom::tool::i2c {

using Bytes = std::vector<uint8_t>;

// A write that failed.  `restored` says whether the part again holds its
// original bytes; when it does not, the caller names its backup.
class WriteFailure : public Failure {
 public:
  WriteFailure(const std::string &message, bool restored)
      : Failure(kExitIo, message), restored_(restored) {}
  bool restored() const noexcept { return restored_; }

 private:
  bool restored_;
};

class Eeprom {
 public:
  // Throws Failure (I/O) when a kernel driver owns the part.
  Eeprom(Bus &bus, Target target, Part part, Clock &clock);

  // The `length` bytes from `offset`.  Throws Failure (usage) when they
  // pass the part's end, (I/O) when the part does not answer.
  Bytes read(uint32_t offset, uint32_t length);

  // Writes `updated` where the part holds `original` from `offset` (same
  // sizes), with the write-protect line `wp` (may be null) released
  // meanwhile.  Throws Failure (usage) for a bad range, WriteFailure naming
  // the failed run and the runs written before it.
  void write(uint32_t offset, const Bytes &original, const Bytes &updated, WriteProtect *wp);

  // The runs write() sends, in order.
  std::vector<Run> plan(uint32_t offset, const Bytes &original, const Bytes &updated) const;

 private:
  void check_range(uint32_t offset, size_t length) const;
  int read_into(uint32_t offset, std::span<uint8_t> out);
  std::string program(Run run, const uint8_t *data);
  std::string attempt(Run run, const uint8_t *data);
  bool acknowledged(uint8_t device, uint32_t offset);
  std::string declared() const;
  std::string why_wrong(const std::vector<Run> &runs, size_t failed, uint32_t offset,
                        const Bytes &original);
  [[noreturn]] void restore(const std::vector<Run> &runs, size_t failed, const std::string &why,
                            uint32_t offset, const Bytes &original);

  Bus &bus_;
  Target target_;
  Part part_;
  Clock &clock_;
  size_t chunk_;  // the largest read the adapter has not refused
  uint64_t cycle_us_ = 0;  // how long the last write cycle kept the part busy
};

}  // namespace idprom::tool::i2c
