// The simulated part: what the bus would see, without a bus.
#include "i2c/simulated.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace idprom::tool::i2c {
namespace {

int fail(int err) {
  errno = err;
  return -1;
}

std::string hex_byte(unsigned value, int digits = 2) {
  char text[16];  // a space, at most 8 digits of an unsigned, the zero byte
  std::snprintf(text, sizeof text, " %0*x", std::clamp(digits, 1, 8), value);
  return text;
}

}  // namespace

SimulatedEeprom::SimulatedEeprom(Part part, uint8_t base, std::vector<uint8_t> contents,
                                 SimulatedSettings settings)
    : part_(part), base_(base), set_(settings), mem_(std::move(contents)) {
  mem_.resize(part_.size, 0xFF);
}

int SimulatedEeprom::open(const char *, int, mode_t) { return 3; }
int SimulatedEeprom::close(int) { return 0; }

int SimulatedEeprom::funcs(int, unsigned long *mask) {
  *mask = set_.functions;
  return 0;
}

int SimulatedEeprom::slave(int, unsigned long address) {
  if (set_.driver_bound) return fail(EBUSY);
  slave_ = static_cast<uint16_t>(address);
  return 0;
}

bool SimulatedEeprom::answers(uint16_t device) const noexcept {
  const uint32_t devices = part_.size / block_size(part_);
  return device >= base_ && uint32_t{device} - base_ < devices && now_ >= busy_until_;
}

std::string SimulatedEeprom::where(char kind, uint16_t device) const {
  const int digits = 2 * part_.address_width;
  const uint32_t mask = part_.address_width == 1 ? 0xFF : 0xFFFF;
  return kind + hex_byte(device).substr(1) + hex_byte(pointer_ & mask, digits);
}

// A write: address bytes, then data stored in the page of the address,
// wrapping at the page's end as the part's address latch does.
bool SimulatedEeprom::receive(uint16_t device, const uint8_t *bytes, size_t n) {
  const size_t width = part_.address_width;
  if (!answers(device)) return false;
  if (n < width) return true;
  const uint32_t high = (width == 1 ? uint32_t{device} - base_ : uint32_t{bytes[0]}) << 8;
  pointer_ = (high | bytes[width - 1]) % part_.size;
  if (n == width) return true;
  std::string line = where('W', device);
  const uint32_t at = (pointer_ + set_.write_shift) % part_.size;
  const uint32_t page = at / part_.page_size * part_.page_size;
  const bool stored = !protected_ && (set_.dropped_writes >> (writes_++ % 32) & 1) == 0;
  for (size_t i = width; i < n; ++i) {
    line += hex_byte(bytes[i]);
    if (stored) mem_[page + (at + i - width) % part_.page_size] = bytes[i];
  }
  transcript_.push_back(line);
  busy_until_ = now_ + set_.write_cycle_us;
  return true;
}

bool SimulatedEeprom::send(uint16_t device, uint8_t *bytes, size_t n) {
  if (!answers(device)) return false;
  transcript_.push_back(where('R', device) + ":" + std::to_string(n));
  for (size_t i = 0; i < n; ++i) {
    bytes[i] = mem_[pointer_];
    pointer_ = (pointer_ + 1) % part_.size;
  }
  if (n > 0 && (set_.wrong_reads >> (reads_++ % 32) & 1) != 0) bytes[0] ^= 0x40;
  return true;
}

int SimulatedEeprom::rdwr(int, i2c_rdwr_ioctl_data *data) {
  const std::span<i2c_msg> msgs(data->msgs, data->nmsgs);
  for (const i2c_msg &m : msgs) {
    const bool combined = msgs.size() > 1;
    if (m.len > set_.max_message || (combined && !set_.repeated_start)) return fail(EOPNOTSUPP);
  }
  for (const i2c_msg &m : msgs) {
    const bool ok = (m.flags & I2C_M_RD) != 0 ? send(m.addr, m.buf, m.len)
                                               : receive(m.addr, m.buf, m.len);
    if (!ok) return fail(ENXIO);
  }
  return static_cast<int>(msgs.size());
}

ssize_t SimulatedEeprom::write(int, const void *buf, size_t n) {
  if (n > set_.max_message) return fail(EOPNOTSUPP);
  return receive(slave_, static_cast<const uint8_t *>(buf), n) ? static_cast<ssize_t>(n)
                                                               : fail(ENXIO);
}

ssize_t SimulatedEeprom::read(int, void *buf, size_t n) {
  if (n > set_.max_message) return fail(EOPNOTSUPP);
  return send(slave_, static_cast<uint8_t *>(buf), n) ? static_cast<ssize_t>(n) : fail(ENXIO);
}

// SMBus transfers as the bus carries them: the command byte first.
int SimulatedEeprom::smbus(int, i2c_smbus_ioctl_data *data) {
  const bool block = data->size == I2C_SMBUS_I2C_BLOCK_DATA;
  const bool reading = data->read_write == I2C_SMBUS_READ;
  const unsigned long needs =
      reading ? I2C_FUNC_SMBUS_READ_I2C_BLOCK : I2C_FUNC_SMBUS_WRITE_I2C_BLOCK;
  if (block && (set_.functions & needs) == 0) return fail(EOPNOTSUPP);
  uint8_t bytes[I2C_SMBUS_BLOCK_MAX + 2] = {data->command};
  bool ok = false;
  if (reading && block) {
    ok = receive(slave_, bytes, 1) && send(slave_, data->data->block + 1, data->data->block[0]);
  } else if (reading) {
    ok = send(slave_, &data->data->byte, 1);
  } else if (data->size == I2C_SMBUS_BYTE_DATA) {
    bytes[1] = data->data->byte;
    ok = receive(slave_, bytes, 2);
  } else {
    const size_t n = block ? data->data->block[0] : 0;
    if (block) std::memcpy(bytes + 1, data->data->block + 1, n);
    ok = receive(slave_, bytes, 1 + n);
  }
  return ok ? 0 : fail(ENXIO);
}

}  // namespace idprom::tool::i2c
