// What the kernel says about I2C adapters and EEPROM drivers, from sysfs:
// the parts a driver offers as files (at24's `eeprom`, nvmem devices) with
// the driver's geometry, the adapters and where each sits behind muxes,
// and which addresses a kernel device claims.  Read-only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace idprom::tool {

// "/sys", or IDPROM_SYSFS_ROOT when set (tests point it at a fake tree).
std::string sysfs_root();

// A part a driver offers as a file.
struct DriverPart {
  std::string path;           // the `eeprom` or `nvmem` file
  std::string also;           // the other file of the same part ("" for none)
  std::string chip;           // the device's name ("24c02"), else the nvmem type
  std::string driver;         // the bound driver ("at24"), "" when unknown
  uint64_t size = 0;          // the file's size: what the driver reaches
  std::optional<unsigned> bus;         // an I2C client's adapter
  std::optional<uint8_t> address;      // and address
  std::string write_protect;  // why the driver takes no writes; "" when it does
};

// Every such part, at24's (one per part, its nvmem file as `also`) first.
std::vector<DriverPart> driver_parts();

// The part whose file `path` is (after following links), if any.
std::optional<DriverPart> driver_part(const std::string &path);

// The numbers of the I2C adapters, ascending.
std::vector<unsigned> i2c_adapters();

// Whether a kernel device sits at `address` on adapter `bus` (bound to a
// driver or not): such an address is never probed.
bool claimed_address(unsigned bus, uint8_t address);

// The adapters and mux devices from the root adapter down to `bus`, as
// "i2c-1/1-0070/i2c-5"; "" when `bus` is no mux channel.
std::string mux_path(unsigned bus);

}  // namespace idprom::tool
