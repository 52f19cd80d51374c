// Walking sysfs: bus/i2c/devices holds the adapters (i2c-N) and the clients
// (N-00AA, the address in four hex digits); bus/nvmem/devices the nvmem
// devices, each a child of the device that provides it.  A mux channel is
// an adapter whose device sits below a mux client of its parent adapter:
//   /sys/devices/.../i2c-1/1-0070/i2c-5
#include "io/sysfs.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <re2/re2.h>

namespace idprom::tool {
namespace {

namespace fs = std::filesystem;

// The names of adapters and clients, compiled on first use: a command that
// never walks sysfs (most do not) pays nothing for them at start-up.
const RE2 &adapter_name() {
  static const RE2 re("i2c-([0-9]+)");
  return re;
}

const RE2 &client_name() {
  static const RE2 re("([0-9]+)-([0-9a-f]{4})");
  return re;
}

// The first line of a sysfs attribute, "" when it cannot be read.
std::string attribute(const fs::path &file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

std::vector<fs::path> entries(const fs::path &folder) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto &e : fs::directory_iterator(folder, ec)) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

fs::path real(const fs::path &p) {
  std::error_code ec;
  const fs::path r = fs::canonical(p, ec);
  return ec ? p : r;
}

std::string driver_of(const fs::path &device) {
  std::error_code ec;
  const fs::path link = fs::read_symlink(device / "driver", ec);
  return ec ? "" : link.filename().string();
}

// Why a driver's file takes no writes: no write bit (at24's read-only
// property), or nvmem's force_ro.
std::string write_protect_of(const fs::path &file, const fs::path &nvmem_device) {
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) {
    return "read-only: the driver takes no writes (at24's read-only property)";
  }
  if (!nvmem_device.empty() && attribute(nvmem_device / "force_ro") == "1") {
    return "read-only: nvmem force_ro is set";
  }
  return "";
}

DriverPart client_part(const fs::path &device, const fs::path &file) {
  DriverPart p;
  p.path = file.string();
  p.chip = attribute(device / "name");
  p.driver = driver_of(device);
  std::error_code ec;
  p.size = fs::file_size(file, ec);
  unsigned bus = 0;
  unsigned address = 0;
  if (RE2::FullMatch(device.filename().string(), client_name(), &bus, RE2::Hex(&address))) {
    p.bus = bus;
    p.address = static_cast<uint8_t>(address);
  }
  return p;
}

}  // namespace

std::string sysfs_root() {
  const char *root = std::getenv("IDPROM_SYSFS_ROOT");
  return root != nullptr && *root != '\0' ? root : "/sys";
}

std::vector<DriverPart> driver_parts() {
  const fs::path root = sysfs_root();
  std::vector<DriverPart> parts;
  std::vector<fs::path> clients;  // the real folders of the parts listed
  for (const fs::path &device : entries(root / "bus/i2c/devices")) {
    if (!fs::exists(device / "eeprom")) continue;
    parts.push_back(client_part(device, device / "eeprom"));
    parts.back().write_protect = write_protect_of(device / "eeprom", {});
    clients.push_back(real(device));
  }
  for (const fs::path &device : entries(root / "bus/nvmem/devices")) {
    const fs::path file = device / "nvmem";
    if (!fs::exists(file)) continue;
    const fs::path provider = real(device).parent_path();
    const auto same = std::find(clients.begin(), clients.end(), provider);
    if (same != clients.end()) {
      DriverPart &p = parts[static_cast<size_t>(same - clients.begin())];
      p.also = file.string();
      if (p.write_protect.empty()) p.write_protect = write_protect_of(file, device);
      continue;
    }
    DriverPart p = client_part(provider, file);
    p.chip = attribute(device / "type");
    p.write_protect = write_protect_of(file, device);
    parts.push_back(p);
  }
  return parts;
}

std::optional<DriverPart> driver_part(const std::string &path) {
  const fs::path want = real(path);
  for (const DriverPart &p : driver_parts()) {
    if (real(p.path) == want || (!p.also.empty() && real(p.also) == want)) return p;
  }
  return std::nullopt;
}

std::vector<unsigned> i2c_adapters() {
  std::vector<unsigned> out;
  for (const fs::path &e : entries(fs::path(sysfs_root()) / "bus/i2c/devices")) {
    unsigned bus = 0;
    if (RE2::FullMatch(e.filename().string(), adapter_name(), &bus)) out.push_back(bus);
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool claimed_address(unsigned bus, uint8_t address) {
  char name[24];
  std::snprintf(name, sizeof name, "%u-%04x", bus, address);
  return fs::exists(fs::path(sysfs_root()) / "bus/i2c/devices" / name);
}

std::string mux_path(unsigned bus) {
  const fs::path device = real(fs::path(sysfs_root()) / "bus/i2c/devices" /
                               ("i2c-" + std::to_string(bus)));
  std::string chain;
  int adapters = 0;
  for (const fs::path &part : device) {
    const std::string name = part.string();
    const bool adapter = RE2::FullMatch(name, adapter_name());
    if (adapter || (!chain.empty() && RE2::FullMatch(name, client_name()))) {
      chain += (chain.empty() ? "" : "/") + name;
      adapters += adapter ? 1 : 0;
    } else {
      chain.clear();
      adapters = 0;
    }
  }
  return adapters > 1 ? chain : "";
}

}  // namespace idprom::tool
