// Naming an EEPROM on an I2C bus and declaring its part.  The geometry is
// never guessed from the bus: a part answers the same way whatever its
// address width or page size, and a wrong guess writes over data (a
// two-byte address sent to a one-byte part lands its low byte at offset 0;
// a page size larger than the part's wraps a write onto the page's start).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace idprom::tool::i2c {

// Bytes sent in one write: at most one page.
struct Run {
  uint32_t offset;
  uint32_t length;
};

// "i2c:BUS:ADDR": adapter /dev/i2c-BUS, 7-bit device address ADDR.
struct Target {
  unsigned bus = 0;
  uint8_t address = 0;
  std::string name;  // as the user wrote it, for messages
};

struct Part {
  std::string_view name;    // empty when the geometry was given outright
  uint32_t size;            // bytes
  uint32_t page_size;       // bytes one write cycle can take; writes wrap inside a page
  uint8_t address_width;    // address bytes sent before the data: 1 or 2
  uint32_t write_cycle_ms;  // longest write cycle: the acknowledge-polling deadline
};

// Common serial EEPROMs.  Parts with one address byte and more than 256
// bytes (24c04/08/16) take address bits 8..10 in the low bits of the
// device address, so they answer at 2, 4 or 8 consecutive addresses.  The
// small parts get the 10 ms of older data sheets: the deadline only costs
// time when a part never answers.
inline constexpr Part kChips[] = {
    {"24c01", 128, 8, 1, 10},     {"24c02", 256, 8, 1, 10},    {"24c04", 512, 16, 1, 10},
    {"24c08", 1024, 16, 1, 10},   {"24c16", 2048, 16, 1, 10},  {"24c32", 4096, 32, 2, 5},
    {"24c64", 8192, 32, 2, 5},    {"24c128", 16384, 64, 2, 5}, {"24c256", 32768, 64, 2, 5},
    {"24c512", 65536, 128, 2, 5},
};

// Write-cycle deadline for a geometry given outright without --write-cycle-ms.
inline constexpr uint32_t kDefaultWriteCycleMs = 10;

// The target `path` names, or nothing when it does not start with "i2c:".
// Throws Failure (usage) when it starts so but is malformed.
std::optional<Target> parse_target(std::string_view path);

// What the command line declared; zero means not given.
struct PartOptions {
  std::string chip;
  uint32_t size = 0;
  uint32_t page_size = 0;
  uint32_t address_width = 0;
  uint32_t write_cycle_ms = 0;  // overrides the table's value
};

// Everything an image path of the form i2c:BUS:ADDR needs besides itself:
// the declared part and the write-protect line (CHIP:LINE, "" for none).
struct Access {
  PartOptions part;
  std::string wp_gpio;
  bool wp_active_low = false;
};

// The declared part, checked against the target (a part that takes address
// bits in the device address must sit at an address with those bits
// clear).  Throws Failure (usage) naming --chip, --size, --page-size and
// --address-width when nothing, too little or something inconsistent was
// declared.
Part declare_part(const PartOptions &options, const Target &target);

// Prints the table for `idprom chips`: name, size, page, address bytes, ms.
void list_chips(std::ostream &out);

// Bytes one device address reaches: 256 for one address byte, else all.
uint32_t block_size(const Part &part) noexcept;
// The device address and the address bytes (high byte first) of `offset`.
uint8_t device_address(const Part &part, uint8_t base, uint32_t offset) noexcept;
std::vector<uint8_t> address_bytes(const Part &part, uint32_t offset);

}  // namespace idprom::tool::i2c
