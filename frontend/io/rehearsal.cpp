// The simulated part behind IDPROM_I2C_SIMULATE.
#include "io/rehearsal.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "base/errors.hpp"
#include "io/fileio.hpp"
#include "base/numbers.hpp"

namespace idprom::tool::i2c {
namespace {

struct Fault {
  const char *variable;
  uint32_t SimulatedSettings::*mask;
};

constexpr Fault kFaults[] = {
    {"IDPROM_I2C_SIMULATE_DROP", &SimulatedSettings::dropped_writes},
    {"IDPROM_I2C_SIMULATE_MISREAD", &SimulatedSettings::wrong_reads},
};

SimulatedSettings faults() {
  SimulatedSettings settings;
  for (const Fault &fault : kFaults) {
    const char *text = std::getenv(fault.variable);
    if (text == nullptr || *text == '\0') continue;
    const std::optional<uint32_t> mask = read_number(text);
    if (!mask) {
      throw Failure(kExitUsage, std::string(fault.variable) + "=" + text +
                                    ": a 32-bit mask, as 0x6");
    }
    settings.*fault.mask = *mask;
  }
  return settings;
}

std::string memory_file(const std::string &folder, const Target &target) {
  char name[40];
  std::snprintf(name, sizeof name, "/i2c-%u-0x%02x.bin", target.bus, target.address);
  return folder + name;
}

// The stored memory: none for a blank part, else exactly the part's size.
Bytes load(const std::string &path, const Part &part) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return {};
  Bytes bytes = read_image(system_io(), path);
  if (bytes.size() != part.size) {
    throw Failure::about(path, kExitUsage,
                         "the simulated part holds " + std::to_string(bytes.size()) +
                             " bytes, the declared part " + std::to_string(part.size));
  }
  return bytes;
}

}  // namespace

std::string simulation_folder() {
  const char *folder = std::getenv("IDPROM_I2C_SIMULATE");
  return folder != nullptr ? folder : "";
}

Rehearsal::Rehearsal(const std::string &folder, const Target &target, const Part &part)
    : path_(memory_file(folder, target)),
      sim_(part, target.address, load(path_, part), faults()) {}

void Rehearsal::save() {
  struct stat st;
  const mode_t mode = ::stat(path_.c_str(), &st) == 0 ? st.st_mode : 0644;
  write_atomically(system_io(), path_, sim_.contents(), mode, true);
}

}  // namespace idprom::tool::i2c
