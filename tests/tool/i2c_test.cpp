// Direct I2C access against the simulated part at the ioctl boundary: the
// exact transfers, page splitting, polling deadlines on the part's clock,
// retries, restore, write protect, window edges, the lock; and the tool
// itself on a simulated part (IDPROM_I2C_SIMULATE).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "i2c/eeprom.hpp"
#include "i2c/simulated.hpp"
#include "run_tool.hpp"

using namespace idprom::tool;
using namespace idprom::tool::i2c;
using idprom::test::Args;
using idprom::test::operator+;

namespace {

constexpr unsigned long kSmbus =
    I2C_FUNC_SMBUS_READ_BYTE | I2C_FUNC_SMBUS_WRITE_BYTE | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
constexpr unsigned long kBlock = kSmbus | I2C_FUNC_SMBUS_I2C_BLOCK;

struct Scenario {
  const char *what;
  PartOptions part;
  uint32_t at;
  Bytes edit;  // the window's new bytes; the part holds byte i = i
  SimulatedSettings settings;
  std::string error;             // "" for success
  std::vector<std::string> log;  // empty: not checked
  uint32_t page = 0;             // the part's real page size, when not the declared one
};

const Target kTarget{1, 0x50, "i2c:1:0x50"};

// A part whose byte i holds i (its page `page` bytes when not 0).
SimulatedEeprom part(const PartOptions &options, SimulatedSettings settings = {},
                     uint32_t page = 0) {
  Part p = declare_part(options, kTarget);
  if (page != 0) p.page_size = page;
  Bytes bytes(p.size);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  return SimulatedEeprom(p, 0x50, bytes, settings);
}

// Reads the window through a Bus on the simulation, writes `edit` over it;
// returns the failure's message (or "").
std::string run(SimulatedEeprom &sim, const PartOptions &options, uint32_t at, const Bytes &edit) {
  try {
    Bus bus(sim, 1);
    Eeprom eeprom(bus, kTarget, declare_part(options, kTarget), sim);
    const Bytes original = eeprom.read(at, static_cast<uint32_t>(edit.size()));
    eeprom.write(at, original, edit, &sim);
  } catch (const Failure &f) {
    const auto *w = dynamic_cast<const WriteFailure *>(&f);
    return f.what() + std::string(w && !w->restored() ? " [not restored]" : "");
  }
  return "";
}

// The 256 bytes of such a part with `values` from `at`.
Bytes changed(uint32_t at, const Bytes &values) {
  Bytes bytes(256);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  std::copy(values.begin(), values.end(), bytes.begin() + at);
  return bytes;
}

}  // namespace

// A write that does not stick is told apart by what the window reads back.
TEST(I2c, Scenarios) {
  const std::string seen = " (24c02: 8-byte pages, 1 address byte, write cycle up to 10 ms; the "
                           "last write was acknowledged after 3.0 ms)";
  const std::string nak = "the write failed (No such device or address)";
  const std::vector<Scenario> table = {
      {"24c02: a run per page, split at its end", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, {}, "",
       {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2", "R50 08:1"}},
      {"24c16: address bits 8-10 in the device address", {"24c16"}, 0x1FF, {0xA0, 0xA1}, {}, "",
       {"R51 ff:1", "R52 00:1", "W51 ff a0", "R51 ff:1", "W52 00 a1", "R52 00:1"}},
      {"24c64: two address bytes; the last byte unchanged", {"24c64"}, 0x1FFE, {0xA0, 0xFF}, {},
       "", {"R50 1ffe:2", "W50 1ffe a0", "R50 1ffe:1"}},
      {"from the first to the last change in a page", {"24c02"}, 0, {0xA0, 1, 0xA2, 3}, {}, "",
       {"R50 00:4", "W50 00 a0 01 a2", "R50 00:3"}},
      {"SMBus I2C-block transfers", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, {.functions = kBlock}, "",
       {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2", "R50 08:1"}},
      {"SMBus byte transfers only", {"24c02"}, 6, {0xA0, 0xA1}, {.functions = kSmbus}, "",
       {"R50 06:1", "R50 07:1", "W50 06 a0", "R50 06:1", "W50 07 a1", "R50 07:1"}},
      {"SMBus bytes after two address bytes", {"24c64"}, 0, {0xA0}, {.functions = kSmbus},
       "i2c:1:0x50: the adapter cannot write a byte after 2 address bytes", {"R50 0000:1"}},
      {"refused read sizes are halved", {"24c02"}, 0, {0xA0, 1, 2, 3, 4}, {.max_message = 2}, "",
       {"R50 00:2", "R50 02:2", "R50 04:1", "W50 00 a0", "R50 00:1"}},
      {"no repeated start: write, then read", {"24c02"}, 6, {0xA0}, {.repeated_start = false}, "",
       {"R50 06:1", "W50 06 a0", "R50 06:1"}},
      {"a slow part, at the deadline", {"24c02"}, 6, {0xA0}, {.write_cycle_us = 10000}, "", {}},
      {"busy past the deadline", {"24c02"}, 6, {0xA0}, {.write_cycle_us = 10001},
       "i2c:1:0x50: bytes 0x0006-0x0006: " + nak + ", also on the retry; nothing else was "
       "written; restoring 0x0006-0x0006 failed too (" + nak + "): the part holds a mix of old "
       "and new bytes [not restored]", {}},
      {"--write-cycle-ms moves the deadline", {"24c02", 0, 0, 0, 11}, 6, {0xA0},
       {.write_cycle_us = 10500}, "", {}},
      {"a dropped page is written again", {"24c02"}, 6, {0xA0, 0xA1, 0xA2},
       {.dropped_writes = 0b10}, "", {"R50 06:3", "W50 06 a0 a1", "R50 06:2", "W50 08 a2",
                                      "R50 08:1", "W50 08 a2", "R50 08:1"}},
      {"dropped twice: restored", {"24c02"}, 6, {0xA0, 0xA1, 0xA2}, {.dropped_writes = 0b110},
       "i2c:1:0x50: bytes 0x0008-0x0008: read back wrong, also on the retry; nothing changed, as "
       "on a write-protected part (its write-protect line, at24's read-only or force_ro setting, "
       "a strap on the board); written before: 0x0006-0x0007; the original bytes were restored",
       {}},
      {"a wrong read-back is read again", {"24c02"}, 6, {0xA0}, {.wrong_reads = 0b10}, "", {}},
      {"write protect stays on", {"24c02"}, 6, {0xA0}, {.protect_stuck = true},
       "i2c:1:0x50: bytes 0x0006-0x0006: read back wrong, also on the retry; nothing changed, as "
       "on a write-protected part (its write-protect line, at24's read-only or force_ro setting, "
       "a strap on the board); nothing else was written; the original bytes were restored", {}},
      {"a page smaller than declared wraps", {"24c02"}, 0, changed(0, {0xA0, 0xA1, 0xA2, 0xA3,
       0xA4, 0xA5, 0xA6, 0xA7}), {}, "i2c:1:0x50: bytes 0x0000-0x0007: read back wrong, also on "
       "the retry; only bytes 0x0000-0x0003 changed: the part's page may be smaller, or its write "
       "cycle longer, than declared" + seen + "; nothing else was written; restoring "
       "0x0000-0x0007 failed too (read back wrong): the part holds a mix of old and new bytes "
       "[not restored]", {}, 4},
      {"bytes land at another offset", {"24c02"}, 0, changed(6, {0xA0}), {.write_shift = 0x40},
       "i2c:1:0x50: bytes 0x0006-0x0006: read back wrong, also on the retry; bytes 0x0046-0x0046 "
       "changed instead: the part takes its address otherwise than declared" + seen + "; declare "
       "its address width with --chip or --address-width; nothing else was written; after "
       "restoring, bytes 0x0046-0x0046 still differ from the original [not restored]", {}},
      {"the whole part", {"24c01"}, 0, Bytes(128, 0xA5), {}, "", {}},
      {"a driver owns it", {"24c02"}, 6, {0xA0}, {.driver_bound = true}, "i2c:1:0x50: Device or "
       "resource busy (a kernel driver owns the part; use its device file)", {}},
      {"past the part's end", {"24c02"}, 255, {1, 2}, {},
       "i2c:1:0x50: 2 bytes from 0x00ff pass the end of the 256-byte part", {}},
  };
  for (const Scenario &s : table) {
    SimulatedEeprom m = part(s.part, s.settings, s.page);
    EXPECT_EQ(run(m, s.part, s.at, s.edit), s.error) << s.what;
    Bytes want = part(s.part).contents();
    if (s.error.empty()) std::copy(s.edit.begin(), s.edit.end(), want.begin() + s.at);
    EXPECT_TRUE(m.contents() == want || s.error.ends_with("[not restored]")) << s.what;
    const auto &log = m.transcript();
    EXPECT_TRUE(log == s.log || s.log.empty()) << s.what << ": " << testing::PrintToString(log);
    EXPECT_TRUE(m.write_protected()) << s.what << ": write protect left released";
  }
}

// Every window start and length around two page boundaries: each page takes
// one write, and nothing wraps onto a page's start.
TEST(I2c, PagesSplitAtEveryBoundary) {
  for (uint32_t at = 0; at < 17; ++at) {
    for (uint32_t n = 1; n < 18; ++n) {
      Bytes want = part({"24c01"}).contents();
      for (uint32_t i = at; i < at + n; ++i) want[i] = static_cast<uint8_t>(~i);
      SimulatedEeprom m = part({"24c01"});
      ASSERT_EQ(run(m, {"24c01"}, at, Bytes(&want[at], &want[at + n])), "") << at << "+" << n;
      EXPECT_EQ(m.writes(), (at + n - 1) / 8 - at / 8 + 1) << at << "+" << n;
      EXPECT_EQ(m.contents(), want) << at << "+" << n;
    }
  }
}

TEST(I2c, NamesAndParts) {
  const std::string undeclared =
      "i2c:1:0x50: the part is not declared; declare the part with --chip NAME (see `idprom "
      "chips`), or with --size, --page-size and --address-width 1|2";
  const std::vector<std::tuple<const char *, PartOptions, std::string>> table = {
      {"i2c:1:0x50", {"", 256, 8, 2, 25}, ""},
      {"i2c:1:0x54", {"24c08"}, ""},         // 0x54..0x57
      {"i2c:1:8", {"", 65536, 128, 2}, ""},  // the lowest address, the largest part
      {"i2c:1:0x51", {"24c16"}, "this part answers at 8 addresses from one with the low bits"},
      {"i2c:1:0x50", {}, undeclared},
      {"i2c:1:0x50", {"", 256, 0, 1}, "declared in part"},
      {"i2c:1:0x50", {"24c99"}, "unknown chip 24c99"},
      {"i2c:1:0x50", {"24c02", 256}, "exclude each other"},
      {"i2c:1:0x50", {"", 4096, 32, 1}, "--size is a power of two from 16 to 2048 for"},
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
    const bool ok = error.empty() ? got.empty() : got.find(error) != std::string::npos;
    EXPECT_TRUE(ok) << name << ": " << got;
  }
  const auto outcome = [](std::string_view path) {  // 0 not I2C, 1 parsed, 2 refused
    try {
      return parse_target(path) ? 1 : 0;
    } catch (const Failure &) {
      return 2;
    }
  };
  const std::string full = "i2c:12:0x50";
  for (size_t n = 0; n < full.size(); ++n) EXPECT_EQ(outcome(full.substr(0, n)), n < 4 ? 0 : 2);
  const Target parsed = *parse_target(full);
  EXPECT_EQ(std::pair(parsed.bus, +parsed.address), std::pair(12U, 0x50));
  for (const char *pin : {"gpiochip0", ":3", "gpiochip0:x", "gpiochip0:3 "}) {
    EXPECT_THROW(gpio_write_protect(pin, false), Failure) << pin;
  }
}

TEST(I2c, LockSharedByReadersExclusiveForEditors) {
  SimulatedEeprom clock = part({"24c01"});
  const auto dir = std::filesystem::temp_directory_path().string();
  {
    Lock a(system_i2c(), clock, kTarget, true, 10, "", dir);
    Lock b(system_i2c(), clock, kTarget, true, 10, "", dir);
    EXPECT_THROW(Lock(system_i2c(), clock, kTarget, false, 10, "--wait SECONDS", dir), Failure);
    EXPECT_EQ(clock.elapsed_us(), 10'000'000u);  // --wait 10
  }
  Lock editor(system_i2c(), clock, kTarget, false, 10, "", dir);
  EXPECT_THROW(Lock(system_i2c(), clock, kTarget, true, 10, "--wait SECONDS", dir), Failure);
}

// The README's worked example on the simulated part: each "$ " line a
// command, the other lines their exact output.
TEST(I2c, ReadmeExampleRunsOnTheSimulatedPart) {
  idprom::test::Scratch dir;
  const std::filesystem::path sample(IDPROM_SAMPLE_IMAGE), tool(IDPROM_TOOL);
  std::filesystem::create_directory_symlink(sample.parent_path(), dir.path("examples"));
  std::ifstream readme(IDPROM_README);
  std::string line, script, want;
  while (std::getline(readme, line) && line != "<!-- run by tests/tool/i2c_test.cpp -->") {}
  std::getline(readme, line);  // the opening fence
  while (std::getline(readme, line) && line != "```")
    (line.starts_with("$ ") ? script : want) += line.substr(line.starts_with("$ ") ? 2 : 0) + "\n";
  idprom::test::write_file(dir.path("example.sh"), script);
  const std::string run = "cd " + dir.path("") + " && PATH=" + tool.parent_path().string() +
                          ":$PATH XDG_STATE_HOME=$PWD/state sh example.sh >out 2>&1";
  EXPECT_EQ(std::system(run.c_str()), 0);
  EXPECT_EQ(idprom::test::slurp(dir.path("out")), want);
  EXPECT_NE(want.find("page writes"), std::string::npos);
}

// Edits through the tool on a simulated 24c02 holding the sample: the part
// ends up as the same edit leaves a file, or byte-identical on failure.
TEST(I2c, ToolEditsTheSimulatedPart) {
  const std::string fail = "idprom: i2c:1:0x50: ";
  const std::vector<std::tuple<const char *, const char *, std::vector<std::string>, int,
                               std::string>> table = {
      {"the change's pages only", "", {"--chip", "24c02"}, 0, ""},
      {"a simulated write-protect line, released to write", "", {"--chip", "24c02", "--wp-gpio",
       "gpiochip0:17"}, 0, ""},
      {"a page dropped twice: the pages before it named, all restored", "0x6", {"--chip",
       "24c02"}, 5, fail + "bytes 0x0060-0x0062: read back wrong, also on the retry; nothing "
       "changed, as on a write-protected part (its write-protect line, at24's read-only or "
       "force_ro setting, a strap on the board); written "
       "before: 0x005e-0x005f; the original bytes were restored\n"},
      {"the part's file and the declared part differ", "", {"--chip", "24c04"}, 2,
       "i2c-1-0x50.bin: the simulated part holds 256 bytes, the declared part 512\n"},
      {"a malformed fault mask", "0x6z", {"--chip", "24c02"}, 2, "idprom: "
       "IDPROM_I2C_SIMULATE_DROP=0x6z: a 32-bit mask, as 0x6\n"},
  };
  for (const auto &[what, drop, part, status, err] : table) {
    idprom::test::Scratch dir;
    const Bytes sample = idprom::test::sample_image();
    const std::string memory = dir.path("i2c-1-0x50.bin"), file = dir.path("file.bin");
    idprom::test::write_file(memory, sample);
    idprom::test::write_file(file, sample);
    ::setenv("IDPROM_I2C_SIMULATE", dir.path("").c_str(), 1);
    ::setenv("IDPROM_I2C_SIMULATE_DROP", drop, 1);
    const auto got =
        idprom::test::run_tool(Args{"set", "i2c:1:0x50", "chassis-serial=SN000012345"} + part);
    ::unsetenv("IDPROM_I2C_SIMULATE");
    EXPECT_EQ(got.status, status) << what;
    EXPECT_TRUE(err.empty() ? got.err.empty() : got.err.find(err) != std::string::npos) << got.err;
    if (status == 0) idprom::test::run_tool({"set", file, "chassis-serial=SN000012345"});
    EXPECT_EQ(idprom::test::read_file(memory), idprom::test::read_file(file)) << what;
  }
  ::unsetenv("IDPROM_I2C_SIMULATE_DROP");
}

// A support bundle holds the target's bytes exactly as read, as a folder
// or inside a tar file, from a file and from a simulated part.
TEST(I2c, ReportBundlesTheRawImage) {
  idprom::test::Scratch dir;
  Bytes odd = idprom::test::sample_image();
  odd.resize(256, 0xA5);  // bytes after the end marker, which no reader may tidy
  idprom::test::write_file(dir.path("i2c-1-0x50.bin"), odd);
  idprom::test::write_file(dir.path("file.bin"), odd);
  ::setenv("IDPROM_I2C_SIMULATE", dir.path("").c_str(), 1);
  const std::vector<std::tuple<std::vector<std::string>, std::string>> table = {
      {{"i2c:1:0x50", "--chip", "24c02", "-o", dir.path("part")}, dir.path("part/image.bin")},
      {{dir.path("file.bin"), "-o", dir.path("b.tar")}, dir.path("b/image.bin")},
  };
  for (const auto &[args, image] : table) {
    const Args command = Args{"report"} + args;
    EXPECT_EQ(idprom::test::run_tool(command).status, 0) << args[0];
    if (args.back().ends_with(".tar")) {
      EXPECT_EQ(std::system(("tar -C " + dir.path("") + " -xf " + args.back()).c_str()), 0);
    }
    EXPECT_EQ(idprom::test::read_file(image), odd) << args[0];
    EXPECT_EQ(idprom::test::run_tool(command).status, 2) << "an existing bundle is kept";
  }
  ::unsetenv("IDPROM_I2C_SIMULATE");
  EXPECT_EQ(idprom::test::read_file(dir.path("i2c-1-0x50.bin")), odd);
}
