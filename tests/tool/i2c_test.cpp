// Direct I2C access against a model of a serial EEPROM at the ioctl
// boundary: the exact transfers, page splitting, polling deadlines on an
// injected clock, retries, restore, write protect, window edges, the lock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <tuple>

#include "i2c/eeprom.hpp"

using namespace idprom::tool;
using namespace idprom::tool::i2c;

namespace {

// The part as the bus sees it: an address pointer, pages that wrap inside
// themselves, a write cycle without acknowledges, a write-protect input,
// and faults picked by transfer index.  It is also the clock, so that the
// write cycle ends as polling time passes.
struct Model : I2cIo, Clock, WriteProtect {
  Part part{};
  Bytes mem;
  unsigned long fn = I2C_FUNC_I2C;
  size_t max_msg = 8192;           // longer messages are refused
  bool no_comb = false;            // combined write+read refused
  bool wp = true, wp_stuck = false;
  uint64_t t = 0, busy_until = 0, cycle_us = 3000;
  unsigned drop = 0, bad = 0;      // bit i: write with data / read i goes wrong
  unsigned writes = 0, reads = 0;
  uint32_t ptr = 0;
  uint8_t slave_addr = 0;
  std::vector<std::string> log;    // "W50 06 a0" writes with data, "R50 06:3" reads

  uint64_t now_us() override { return t; }
  void sleep_us(uint64_t us) override { t += us; }
  void release() override { wp = wp_stuck; }
  void protect() noexcept override { wp = true; }
  int open(const char *, int, mode_t) override { return 3; }
  int close(int) override { return 0; }
  int funcs(int, unsigned long *m) override { return *m = fn, 0; }
  static int fail(int err) { return errno = err, -1; }
  bool here(uint16_t a) const {
    return a >= 0x50 && a < 0x50 + part.size / block_size(part) && t >= busy_until;
  }
  static std::string hx(unsigned v, int digits = 2) {
    char b[8];
    return std::snprintf(b, sizeof b, " %0*x", digits, v), b;
  }
  std::string at(char kind, uint16_t a) const {
    return kind + hx(a).substr(1) + hx(ptr & (part.address_width == 1 ? 0xFFu : 0xFFFFu), 2 * part.address_width);
  }
  bool wr(uint16_t a, const uint8_t *p, size_t n) {
    const size_t w = part.address_width;
    if (!here(a) || n < w) return here(a);
    ptr = (w == 1 ? (a - 0x50u) << 8 | p[0] : (p[0] << 8 | p[1])) % part.size;
    if (n == w) return true;
    std::string line = at('W', a);
    const uint32_t page = ptr / part.page_size * part.page_size;
    for (size_t i = w; i < n; ++i) {
      line += hx(p[i]);
      if (!wp && !(drop >> writes & 1)) mem[page + (ptr + i - w) % part.page_size] = p[i];
    }
    log.push_back(line), ++writes;
    return busy_until = t + cycle_us, true;
  }
  bool rd(uint16_t a, uint8_t *p, size_t n) {
    if (!here(a)) return false;
    log.push_back(at('R', a) + ":" + std::to_string(n));
    for (size_t i = 0; i < n; ++i) p[i] = mem[ptr++ % part.size];
    if (bad >> reads++ & 1) p[0] ^= 0x40;
    return true;
  }
  int rdwr(int, i2c_rdwr_ioctl_data *d) override {
    for (unsigned i = 0; i < d->nmsgs; ++i) {
      if (d->msgs[i].len > max_msg || (d->nmsgs > 1 && no_comb)) return fail(EOPNOTSUPP);
    }
    for (unsigned i = 0; i < d->nmsgs; ++i) {
      const i2c_msg &m = d->msgs[i];
      if (!(m.flags & I2C_M_RD ? rd(m.addr, m.buf, m.len) : wr(m.addr, m.buf, m.len))) return fail(ENXIO);
    }
    return static_cast<int>(d->nmsgs);
  }
  int slave(int, unsigned long a) override { return slave_addr = static_cast<uint8_t>(a), 0; }
  ssize_t write(int, const void *b, size_t n) override {
    if (n > max_msg) return fail(EOPNOTSUPP);
    return wr(slave_addr, static_cast<const uint8_t *>(b), n) ? static_cast<ssize_t>(n) : fail(ENXIO);
  }
  ssize_t read(int, void *b, size_t n) override {
    if (n > max_msg) return fail(EOPNOTSUPP);
    return rd(slave_addr, static_cast<uint8_t *>(b), n) ? static_cast<ssize_t>(n) : fail(ENXIO);
  }
  int smbus(int, i2c_smbus_ioctl_data *d) override {
    uint8_t b[34] = {d->command};
    const bool block = d->size == I2C_SMBUS_I2C_BLOCK_DATA, reading = d->read_write == I2C_SMBUS_READ;
    if (block && !(fn & (reading ? I2C_FUNC_SMBUS_READ_I2C_BLOCK : I2C_FUNC_SMBUS_WRITE_I2C_BLOCK))) return fail(EOPNOTSUPP);
    if (reading) return (block ? wr(slave_addr, b, 1) && rd(slave_addr, d->data->block + 1, d->data->block[0]) : rd(slave_addr, &d->data->byte, 1)) ? 0 : fail(ENXIO);
    size_t n = 1;
    if (d->size == I2C_SMBUS_BYTE_DATA) b[n++] = d->data->byte;
    if (block) std::memcpy(b + 1, d->data->block + 1, d->data->block[0]), n += d->data->block[0];
    return wr(slave_addr, b, n) ? 0 : fail(ENXIO);
  }
};

constexpr unsigned long kSmbus = I2C_FUNC_SMBUS_READ_BYTE | I2C_FUNC_SMBUS_WRITE_BYTE | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
constexpr unsigned long kBlock = kSmbus | I2C_FUNC_SMBUS_I2C_BLOCK;

struct Scenario {
  const char *what;
  PartOptions part;
  uint32_t at;
  Bytes edit;                      // the window's new bytes; the model holds byte i = i
  std::function<void(Model &)> setup;
  std::string error;               // "" for success
  std::vector<std::string> log;    // empty: not checked
};

// Reads the window through a Bus on the model, applies the edit, writes it
// back; returns the failure's message (or "").
std::string run(Model &m, const Scenario &s) {
  const Target target{1, 0x50, "i2c:1:0x50"};
  m.part = declare_part(s.part, target);
  m.mem.resize(m.part.size);
  for (size_t i = 0; i < m.mem.size(); ++i) m.mem[i] = static_cast<uint8_t>(i);
  if (s.setup) s.setup(m);
  try {
    Bus bus(m, 1);
    Eeprom eeprom(bus, target, m.part, m);
    const Bytes original = eeprom.read(s.at, static_cast<uint32_t>(s.edit.size()));
    eeprom.write(s.at, original, s.edit, &m);
  } catch (const Failure &f) {
    return f.what();
  }
  return "";
}

}  // namespace

TEST(I2c, Scenarios) {
  const std::vector<Scenario> table = {
      {"24c02: one run per page, split where the page ends", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, {}, "",
       {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2", "R50 08:1"}},
      {"24c16: address bits 8-10 in the device address", {"24c16"}, 0x1FF, {0xA0, 0xA1}, {}, "",
       {"R51 ff:1", "R52 00:1", "W51 ff a0", "R51 ff:1", "W52 00 a1", "R52 00:1"}},
      {"24c64: two address bytes; the last byte unchanged", {"24c64"}, 0x1FFE, {0xA0, 0xFF}, {}, "",
       {"R50 1ffe:2", "W50 1ffe a0", "R50 1ffe:1"}},
      {"from the first to the last change in a page", {"24c02"}, 0, {0xA0, 1, 0xA2, 3}, {}, "",
       {"R50 00:4", "W50 00 a0 01 a2", "R50 00:3"}},
      {"SMBus I2C-block transfers", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, [](Model &m) { m.fn = kBlock; }, "",
       {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2", "R50 08:1"}},
      {"SMBus byte transfers only", {"24c02"}, 6, {0xA0, 0xA1}, [](Model &m) { m.fn = kSmbus; }, "",
       {"R50 06:1", "R50 07:1", "W50 06 a0", "R50 06:1", "W50 07 a1", "R50 07:1"}},
      {"SMBus bytes cannot carry two address bytes", {"24c64"}, 0, {0xA0}, [](Model &m) { m.fn = kSmbus; },
       "i2c:1:0x50: the adapter cannot write a byte after 2 address bytes", {"R50 0000:1"}},
      {"refused read sizes are halved", {"24c02"}, 0, {0xA0, 1, 2, 3, 4}, [](Model &m) { m.max_msg = 2; }, "",
       {"R50 00:2", "R50 02:2", "R50 04:1", "W50 00 a0", "R50 00:1"}},
      {"no repeated start: write, then read", {"24c02"}, 6, {0xA0}, [](Model &m) { m.no_comb = true; }, "",
       {"R50 06:1", "W50 06 a0", "R50 06:1"}},
      {"a slow part inside the deadline", {"24c02"}, 6, {0xA0}, [](Model &m) { m.cycle_us = 9900; }, "", {}},
      {"a part busy past the deadline", {"24c02"}, 6, {0xA0}, [](Model &m) { m.cycle_us = 10500; },
       "i2c:1:0x50: bytes 0x0006-0x0006: the write failed (No such device or address), also on the retry; "
       "nothing else was written; restoring 0x0006-0x0006 failed too (the write failed (No such device or "
       "address)): the part holds a mix of old and new bytes", {}},
      {"--write-cycle-ms moves the deadline", {"24c02", 0, 0, 0, 11}, 6, {0xA0},
       [](Model &m) { m.cycle_us = 10500; }, "", {}},
      {"a dropped page is written again", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, [](Model &m) { m.drop = 0b10; }, "",
       {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2", "R50 08:1", "W50 08 a2", "R50 08:1"}},
      {"dropped twice: restored", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, [](Model &m) { m.drop = 0b110; },
       "i2c:1:0x50: bytes 0x0008-0x0008: read back wrong, also on the retry; written before: "
       "0x0006-0x0007; the original bytes were restored", {}},
      {"a wrong read-back is read again", {"24c02"}, 6, {0xA0}, [](Model &m) { m.bad = 0b10; }, "", {}},
      {"write protect stays on", {"24c02"}, 6, {0xA0}, [](Model &m) { m.wp_stuck = true; },
       "i2c:1:0x50: bytes 0x0006-0x0006: read back wrong, also on the retry; nothing else was written; "
       "the original bytes were restored", {}},
      {"past the part's end", {"24c02"}, 255, {1, 2}, {},
       "i2c:1:0x50: 2 bytes from 0x00ff pass the end of the 256-byte part", {}},
  };
  for (const Scenario &s : table) {
    Model m;
    EXPECT_EQ(run(m, s), s.error) << s.what;
    Bytes want(m.part.size);
    for (size_t i = 0; i < want.size(); ++i) want[i] = static_cast<uint8_t>(i);
    if (s.error.empty()) std::copy(s.edit.begin(), s.edit.end(), want.begin() + s.at);
    EXPECT_TRUE(m.mem == want || s.error.find("mix") != std::string::npos) << s.what;
    EXPECT_TRUE(m.log == s.log || s.log.empty()) << s.what << ": " << testing::PrintToString(m.log);
    EXPECT_TRUE(m.wp) << s.what << ": write protect left released";
  }
}

// Every window start and length around two page boundaries: each page takes
// one write, and nothing wraps onto a page's start.
TEST(I2c, PagesSplitAtEveryBoundary) {
  for (uint32_t at = 0; at < 17; ++at) {
    for (uint32_t n = 1; n < 18; ++n) {
      Bytes edit(n);
      for (uint32_t i = 0; i < n; ++i) edit[i] = static_cast<uint8_t>(~(at + i));
      Model m;
      ASSERT_EQ(run(m, {"", {"24c01"}, at, edit, {}, "", {}}), "") << at << "+" << n;
      EXPECT_EQ(m.writes, (at + n - 1) / 8 - at / 8 + 1) << at << "+" << n;
      for (uint32_t i = 0; i < 128; ++i) {
        EXPECT_EQ(m.mem[i], i >= at && i - at < n ? edit[i - at] : i) << at << "+" << n << " @" << i;
      }
    }
  }
}

TEST(I2c, NamesAndParts) {
  const std::vector<std::tuple<const char *, PartOptions, std::string>> table = {
      {"i2c:1:0x50", {"24c16"}, ""},
      {"i2c:1:0x50", {"", 256, 8, 2, 25}, ""},
      {"i2c:1:0x54", {"24c08"}, ""},  // 0x54..0x57
      {"i2c:1:0x51", {"24c16"}, "i2c:1:0x51: this part answers at 8 addresses from one with the low bits clear; "
                                "give that first address"},
      {"i2c:1:0x50", {}, "i2c:1:0x50: the part is not declared; declare the part with --chip NAME (see `idprom "
                         "chips`), or with --size, --page-size and --address-width 1|2"},
      {"i2c:1:0x50", {"", 256, 0, 1}, "declared in part"},
      {"i2c:1:0x50", {"24c99"}, "unknown chip 24c99"},
      {"i2c:1:0x50", {"24c02", 256}, "exclude each other"},
      {"i2c:1:0x50", {"", 4096, 32, 1}, "--size is a power of two from 16 to 2048 for --address-width 1"},
      {"i2c:1:0x50", {"", 256, 12, 1}, "--page-size is a power of two"},
      {"i2c:x:0x50", {"24c02"}, "i2c:x:0x50: an I2C device is named i2c:BUS:ADDR, as i2c:1:0x50"},
      {"i2c:1:0x78", {"24c02"}, "i2c:1:0x78: the address is from 0x08 to 0x77"},
  };
  for (const auto &[name, options, error] : table) {
    std::string got;
    try {
      declare_part(options, *parse_target(name));
    } catch (const Failure &f) {
      got = f.what();
      EXPECT_EQ(f.code(), kExitUsage);
    }
    EXPECT_TRUE(error.empty() ? got.empty() : got.find(error) != std::string::npos) << name << ": " << got;
  }
  const auto outcome = [](std::string_view path) {  // 0 not I2C, 1 parsed, 2 refused
    try {
      return parse_target(path) ? 1 : 0;
    } catch (const Failure &) {
      return 2;
    }
  };
  const std::string full = "i2c:12:0x50";
  for (size_t n = 0; n < full.size(); ++n) EXPECT_EQ(outcome(full.substr(0, n)), n < 4 ? 0 : 2) << n;
  EXPECT_EQ(parse_target(full)->bus, 12U);
  EXPECT_EQ(parse_target(full)->address, 0x50);
}

TEST(I2c, LockSharedByReadersExclusiveForEditors) {
  Model clock;
  const auto folder = std::filesystem::temp_directory_path().string();
  const Target target{7, 0x50, "i2c:7:0x50"};
  {
    Lock a(system_i2c(), clock, target, true, folder), b(system_i2c(), clock, target, true, folder);
    EXPECT_THROW(Lock(system_i2c(), clock, target, false, folder), Failure);
    EXPECT_GE(clock.t, kLockWaitUs);
  }
  Lock editor(system_i2c(), clock, target, false, folder);
  EXPECT_THROW(Lock(system_i2c(), clock, target, true, folder), Failure);
}
