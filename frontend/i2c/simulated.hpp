// A serial EEPROM and its adapter, simulated at the ioctl boundary.  The
// tests drive the module's faults through it, and a rehearsal
// (rehearsal.hpp) puts it in place of the bus, so that the tool itself
// runs the real read and write sequence without hardware.
//
// It behaves as the parts do: an address pointer that writes set and reads
// advance (wrapping at the part's end); a write's data wrapping inside its
// page; no acknowledge during the write cycle; writes acknowledged but not
// stored while write protect is asserted.  It is also the clock (time moves
// only by sleeping, so the write cycle ends as polling time passes) and the
// write-protect line, and starts protected as a board that straps WP does:
// pass it to Eeprom::write as the line too.  Adapter limits and faults are
// settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "i2c/bus.hpp"
#include "i2c/clock.hpp"
#include "i2c/part.hpp"
#include "i2c/protect.hpp"

namespace idprom::tool::i2c {

// A simulated part's adapter limits, timing and faults.
struct SimulatedSettings {
  unsigned long functions = I2C_FUNC_I2C;  // what I2C_FUNCS reports
  size_t max_message = 8192;               // longer messages are refused
  bool repeated_start = true;              // false: combined transfers refused
  uint64_t write_cycle_us = 3000;
  bool driver_bound = false;    // I2C_SLAVE answers EBUSY
  bool protect_stuck = false;   // the write-protect line never releases
  uint32_t dropped_writes = 0;  // bit i (mod 32): the i-th write with data is not stored
  uint32_t wrong_reads = 0;     // bit i (mod 32): the i-th read answers its first byte wrong
  uint32_t write_shift = 0;     // written data lands this many bytes further on
};

class SimulatedEeprom : public I2cIo, public Clock, public WriteProtect {
 public:
  // A `part` at device address `base` holding `contents` (padded with 0xff
  // to part.size bytes).
  SimulatedEeprom(Part part, uint8_t base, std::vector<uint8_t> contents,
                  SimulatedSettings settings = {});

  const std::vector<uint8_t> &contents() const noexcept { return mem_; }
  bool write_protected() const noexcept { return protected_; }
  uint32_t writes() const noexcept { return writes_; }
  uint64_t elapsed_us() const noexcept { return now_; }
  // "W50 06 a0 a1" for each write with data (device address, address,
  // data), "R50 06:3" for each read (device address, address, length).
  const std::vector<std::string> &transcript() const noexcept { return transcript_; }

  uint64_t now_us() override { return now_; }
  void sleep_us(uint64_t us) override { now_ += us; }
  void release() override { protected_ = set_.protect_stuck; }
  void protect() noexcept override { protected_ = true; }

  int open(const char *path, int flags, mode_t mode) override;
  int close(int fd) override;
  int funcs(int fd, unsigned long *mask) override;
  int slave(int fd, unsigned long address) override;
  int rdwr(int fd, i2c_rdwr_ioctl_data *data) override;
  int smbus(int fd, i2c_smbus_ioctl_data *data) override;
  ssize_t read(int fd, void *buf, size_t n) override;
  ssize_t write(int fd, const void *buf, size_t n) override;

 private:
  bool answers(uint16_t device) const noexcept;
  bool receive(uint16_t device, const uint8_t *bytes, size_t n);
  bool send(uint16_t device, uint8_t *bytes, size_t n);
  std::string where(char kind, uint16_t device) const;

  Part part_;
  uint8_t base_;
  SimulatedSettings set_;
  std::vector<uint8_t> mem_;
  std::vector<std::string> transcript_;
  uint64_t now_ = 0;
  uint64_t busy_until_ = 0;
  uint32_t pointer_ = 0;
  uint32_t writes_ = 0;
  uint32_t reads_ = 0;
  uint16_t slave_ = 0;
  bool protected_ = true;
};

}  // namespace idprom::tool::i2c
