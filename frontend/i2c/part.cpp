// Parsing i2c:BUS:ADDR, the chip table's lookup, and the arithmetic of
// addressing a part.
#include "i2c/part.hpp"

#include <algorithm>
#include <iomanip>
#include <ostream>

#include "base/errors.hpp"
#include "base/numbers.hpp"

namespace idprom::tool::i2c {
namespace {

constexpr const char *kDeclare =
    "declare the part with --chip NAME (see `idprom chips`), or with --size, --page-size and "
    "--address-width 1|2";

[[noreturn]] void usage(const std::string &what) { throw Failure(kExitUsage, what); }

bool power_of_two(uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

void check_geometry(const Part &p, const std::string &name) {
  if (p.address_width != 1 && p.address_width != 2) usage(name + ": --address-width is 1 or 2");
  const uint32_t most = p.address_width == 1 ? 2048 : 65536;
  if (!power_of_two(p.size) || p.size < 16 || p.size > most) {
    usage(name + ": --size is a power of two from 16 to " + std::to_string(most) +
          " for --address-width " + std::to_string(p.address_width));
  }
  if (!power_of_two(p.page_size) || p.page_size > 256 || p.page_size > p.size) {
    usage(name + ": --page-size is a power of two up to 256 and the size");
  }
}

}  // namespace

std::optional<Target> parse_target(std::string_view path) {
  constexpr std::string_view kPrefix = "i2c:";
  if (path.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  const std::string name(path);
  const auto rest = path.substr(kPrefix.size());
  const auto colon = rest.find(':');
  const auto bus = read_number(rest.substr(0, colon));
  const auto address = colon == rest.npos ? std::nullopt : read_number(rest.substr(colon + 1));
  if (!bus || *bus > 1023 || !address) {
    usage(name + ": an I2C device is named i2c:BUS:ADDR, as i2c:1:0x50");
  }
  // 0x00-0x07 and 0x78-0x7f are reserved addresses that no EEPROM answers at.
  // (value_or: g++ -O2 cannot see that usage() does not return.)
  const uint32_t at = address.value_or(0);
  if (at < 0x08 || at > 0x77) usage(name + ": the address is from 0x08 to 0x77");
  return Target{bus.value_or(0), static_cast<uint8_t>(at), name};
}

Part declare_part(const PartOptions &o, const Target &target) {
  const bool outright = o.size != 0 || o.page_size != 0 || o.address_width != 0;
  if (o.chip.empty() && !outright) usage(target.name + ": the part is not declared; " + kDeclare);
  if (!o.chip.empty() && outright) {
    usage(target.name + ": --chip and --size/--page-size/--address-width exclude each other");
  }
  Part part{"", o.size, o.page_size, static_cast<uint8_t>(o.address_width), kDefaultWriteCycleMs};
  if (!o.chip.empty()) {
    const auto *it = std::find_if(std::begin(kChips), std::end(kChips),
                                  [&](const Part &p) { return p.name == o.chip; });
    if (it == std::end(kChips)) usage(target.name + ": unknown chip " + o.chip + "; " + kDeclare);
    part = *it;
  } else if (o.size == 0 || o.page_size == 0 || o.address_width == 0) {
    usage(target.name + ": the part is declared in part; " + kDeclare);
  }
  check_geometry(part, target.name);
  if (o.write_cycle_ms != 0) part.write_cycle_ms = o.write_cycle_ms;
  const uint32_t devices = part.size / block_size(part);
  if ((target.address & (devices - 1)) != 0) {
    usage(target.name + ": this part answers at " + std::to_string(devices) +
          " addresses from one with the low bits clear; give that first address");
  }
  return part;
}

void list_chips(std::ostream &out) {
  out << "chip      size  page  address bytes  write cycle (ms)\n";
  for (const Part &p : kChips) {
    out << std::left << std::setw(8) << p.name << std::right << std::setw(6) << p.size
        << std::setw(6) << p.page_size << std::setw(15) << unsigned{p.address_width}
        << std::setw(18) << p.write_cycle_ms << '\n';
  }
}

uint32_t block_size(const Part &part) noexcept {
  return part.address_width == 1 ? std::min<uint32_t>(part.size, 256) : part.size;
}

uint8_t device_address(const Part &part, uint8_t base, uint32_t offset) noexcept {
  return static_cast<uint8_t>(base | (offset / block_size(part)));
}

std::vector<uint8_t> address_bytes(const Part &part, uint32_t offset) {
  if (part.address_width == 1) return {static_cast<uint8_t>(offset & 0xFF)};
  return {static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset & 0xFF)};
}

}  // namespace idprom::tool::i2c
