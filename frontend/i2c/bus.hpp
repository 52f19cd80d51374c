// An I2C adapter through i2c-dev.  Every system call, each ioctl request
// on its own, goes through I2cIo so that tests can put a model of the part
// at the ioctl boundary and see the exact messages.
//
// The transfer method follows what the adapter reports in I2C_FUNCS:
//   plain I2C   I2C_RDWR: the address write and the read in one combined
//               transfer (repeated start), so nothing can move the part's
//               address pointer in between; adapters that refuse combined
//               messages get I2C_SLAVE + write() then read().
//   SMBus only  I2C_SMBUS: I2C-block read/write with the first address byte
//               as the command, byte-data writes, and byte reads from the
//               current address where the block forms are missing.
#pragma once

#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/types.h>

#include <cstdint>
#include <span>

namespace idprom::tool::i2c {

class I2cIo {
 public:
  virtual ~I2cIo() = default;
  virtual int open(const char *path, int flags, mode_t mode);
  virtual int close(int fd);
  virtual int flock(int fd, int operation);
  virtual ssize_t read(int fd, void *buf, size_t n);
  virtual ssize_t write(int fd, const void *buf, size_t n);
  virtual int funcs(int fd, unsigned long *mask);          // ioctl I2C_FUNCS
  virtual int slave(int fd, unsigned long address);        // ioctl I2C_SLAVE
  virtual int rdwr(int fd, i2c_rdwr_ioctl_data *data);     // ioctl I2C_RDWR
  virtual int smbus(int fd, i2c_smbus_ioctl_data *data);   // ioctl I2C_SMBUS
};

// The real system calls.
I2cIo &system_i2c();

// Errors that mean "this transfer size or form is refused", not "no answer".
bool refused(int err) noexcept;

class Bus {
 public:
  // Opens /dev/i2c-`number` and reads its functionality.  Throws Failure
  // (I/O) naming the adapter when it cannot be opened or does neither
  // plain I2C nor the SMBus transfers an EEPROM needs.
  Bus(I2cIo &io, unsigned number);
  ~Bus();
  Bus(const Bus &) = delete;
  Bus &operator=(const Bus &) = delete;

  // Writes `out` to the device at `address`, then reads `in.size()` bytes
  // from it.  Returns 0 or the errno of the failure (ENXIO or EREMOTEIO
  // when the device does not acknowledge; see refused()).
  int transfer(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in);

  // Checks that no kernel driver owns `address`: I2C_SLAVE refuses one that
  // is bound (EBUSY), where I2C_RDWR would go around the driver's back.
  // Returns 0 or the errno.
  int claim(uint8_t address);

  // The largest `out` a transfer takes (address bytes included).
  size_t max_write() const noexcept;
  // The largest read worth asking for at once; refused sizes are halved.
  size_t max_read() const noexcept;

 private:
  enum class Mode { kRdwr, kPlain, kSmbus };
  int rdwr(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in);
  int plain(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in);
  int smbus(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in);
  int smbus_write(std::span<const uint8_t> out);
  int smbus_call(uint8_t read_write, uint8_t command, int size, i2c_smbus_data *data);

  I2cIo &io_;
  int fd_ = -1;
  unsigned long funcs_ = 0;
  Mode mode_ = Mode::kRdwr;
  uint8_t slave_ = 0;  // address set with I2C_SLAVE, 0 for none yet
};

}  // namespace idprom::tool::i2c
