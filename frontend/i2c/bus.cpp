// Transfers on an i2c-dev adapter: combined I2C messages, plain
// read/write, or SMBus, as the adapter allows.
#include "i2c/bus.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "base/errors.hpp"

namespace idprom::tool::i2c {

int I2cIo::open(const char *path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int I2cIo::close(int fd) { return ::close(fd); }
int I2cIo::flock(int fd, int operation) { return ::flock(fd, operation); }
ssize_t I2cIo::read(int fd, void *buf, size_t n) { return ::read(fd, buf, n); }
ssize_t I2cIo::write(int fd, const void *buf, size_t n) { return ::write(fd, buf, n); }
int I2cIo::funcs(int fd, unsigned long *mask) { return ::ioctl(fd, I2C_FUNCS, mask); }
int I2cIo::slave(int fd, unsigned long address) { return ::ioctl(fd, I2C_SLAVE, address); }
int I2cIo::rdwr(int fd, i2c_rdwr_ioctl_data *data) { return ::ioctl(fd, I2C_RDWR, data); }
int I2cIo::smbus(int fd, i2c_smbus_ioctl_data *data) { return ::ioctl(fd, I2C_SMBUS, data); }

I2cIo &system_i2c() {
  static I2cIo io;
  return io;
}

bool refused(int err) noexcept { return err == EINVAL || err == EOPNOTSUPP || err == EMSGSIZE; }

namespace {

// i2c-dev takes at most this many bytes in one message.
constexpr size_t kMaxMessage = 8192;
constexpr unsigned long kSmbusNeeds = I2C_FUNC_SMBUS_WRITE_BYTE_DATA | I2C_FUNC_SMBUS_READ_BYTE;

int result(long r) { return r < 0 ? errno : 0; }

}  // namespace

Bus::Bus(I2cIo &io, unsigned number) : io_(io) {
  const std::string path = "/dev/i2c-" + std::to_string(number);
  fd_ = io_.open(path.c_str(), O_RDWR | O_CLOEXEC, 0);
  if (fd_ < 0) throw Failure::about(path, kExitIo, std::strerror(errno));
  if (io_.funcs(fd_, &funcs_) < 0) funcs_ = 0;
  if ((funcs_ & I2C_FUNC_I2C) == 0) mode_ = Mode::kSmbus;
  if (mode_ == Mode::kSmbus && (funcs_ & kSmbusNeeds) != kSmbusNeeds) {
    io_.close(fd_);
    throw Failure::about(path, kExitIo,
                         "the adapter does neither plain I2C nor SMBus byte transfers");
  }
}

Bus::~Bus() { io_.close(fd_); }

size_t Bus::max_write() const noexcept {
  if (mode_ != Mode::kSmbus) return kMaxMessage;
  return (funcs_ & I2C_FUNC_SMBUS_WRITE_I2C_BLOCK) != 0 ? I2C_SMBUS_BLOCK_MAX + 1 : 2;
}

size_t Bus::max_read() const noexcept {
  return mode_ == Mode::kSmbus ? I2C_SMBUS_BLOCK_MAX : kMaxMessage;
}

int Bus::transfer(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in) {
  if (out.size() > max_write()) return EMSGSIZE;
  switch (mode_) {
    case Mode::kRdwr: return rdwr(address, out, in);
    case Mode::kPlain: return plain(address, out, in);
    case Mode::kSmbus: break;
  }
  return smbus(address, out, in);
}

int Bus::claim(uint8_t address) {
  if (io_.slave(fd_, address) < 0) return errno;
  slave_ = address;
  return 0;
}

int Bus::rdwr(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in) {
  if (in.size() > kMaxMessage) return EMSGSIZE;
  // The kernel copies the write buffer in and never writes to it.
  i2c_msg msgs[2] = {
      {address, 0, static_cast<uint16_t>(out.size()), const_cast<uint8_t *>(out.data())},
      {address, I2C_M_RD, static_cast<uint16_t>(in.size()), in.data()}};
  const bool both = !out.empty() && !in.empty();
  i2c_rdwr_ioctl_data data{out.empty() ? &msgs[1] : msgs, both ? 2U : 1U};
  const int err = result(io_.rdwr(fd_, &data));
  // An adapter without repeated start refuses the pair: write, stop, read.
  if (both && err == EOPNOTSUPP && plain(address, out, in) == 0) {
    mode_ = Mode::kPlain;
    return 0;
  }
  return err;
}

int Bus::plain(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in) {
  if (slave_ != address) {
    if (io_.slave(fd_, address) < 0) return errno;
    slave_ = address;
  }
  if (!out.empty()) {
    const ssize_t w = io_.write(fd_, out.data(), out.size());
    if (w < 0) return errno;
    if (static_cast<size_t>(w) != out.size()) return EIO;
  }
  if (in.empty()) return 0;
  const ssize_t r = io_.read(fd_, in.data(), in.size());
  if (r < 0) return errno;
  return static_cast<size_t>(r) == in.size() ? 0 : EIO;
}

int Bus::smbus_call(uint8_t read_write, uint8_t command, int size, i2c_smbus_data *data) {
  i2c_smbus_ioctl_data args{read_write, command, static_cast<uint32_t>(size), data};
  return result(io_.smbus(fd_, &args));
}

// One write in the SMBus form of its length: send byte, write byte data,
// or I2C-block write (command = first byte, block = the rest).
int Bus::smbus_write(std::span<const uint8_t> out) {
  i2c_smbus_data data{};
  if (out.size() == 1) return smbus_call(I2C_SMBUS_WRITE, out[0], I2C_SMBUS_BYTE, nullptr);
  if (out.size() == 2) {
    data.byte = out[1];
    return smbus_call(I2C_SMBUS_WRITE, out[0], I2C_SMBUS_BYTE_DATA, &data);
  }
  data.block[0] = static_cast<uint8_t>(out.size() - 1);
  std::memcpy(data.block + 1, out.data() + 1, out.size() - 1);
  return smbus_call(I2C_SMBUS_WRITE, out[0], I2C_SMBUS_I2C_BLOCK_DATA, &data);
}

int Bus::smbus(uint8_t address, std::span<const uint8_t> out, std::span<uint8_t> in) {
  if (slave_ != address) {
    if (io_.slave(fd_, address) < 0) return errno;
    slave_ = address;
  }
  i2c_smbus_data data{};
  const bool block = (funcs_ & I2C_FUNC_SMBUS_READ_I2C_BLOCK) != 0;
  if (out.size() == 1 && !in.empty() && block && in.size() <= I2C_SMBUS_BLOCK_MAX) {
    data.block[0] = static_cast<uint8_t>(in.size());
    if (const int err = smbus_call(I2C_SMBUS_READ, out[0], I2C_SMBUS_I2C_BLOCK_DATA, &data)) {
      return err;
    }
    std::memcpy(in.data(), data.block + 1, in.size());
    return 0;
  }
  if (const int err = out.empty() ? 0 : smbus_write(out)) return err;
  // Byte reads from the part's current address, which each read advances.
  for (uint8_t &byte : in) {
    if (const int err = smbus_call(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, &data)) return err;
    byte = data.byte;
  }
  return 0;
}

}  // namespace idprom::tool::i2c
