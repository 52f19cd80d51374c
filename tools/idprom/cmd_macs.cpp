// macs: the MAC addresses a board owns.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "errors.hpp"

namespace idprom::tool {
namespace {

constexpr uint32_t kBaseMac = 0xCF;
constexpr uint32_t kChassisMac = 0xC3;
constexpr uint32_t kBlockSize = 0x43;
constexpr uint64_t kLastMac = 0xFFFFFFFFFFFFULL;

std::string mac_text(uint64_t value) {
  uint8_t mac[6];
  char text[15];
  mac64_to_macbuf(value, mac);
  return macstring_r(mac, 6, text, sizeof text);
}

int run_macs(const std::string &path) {
  const Loaded image = load_image(path);
  const ImageView view = image.view();
  auto base = view.find(kBaseMac);
  if (!base) base = view.find(kChassisMac);
  if (!base) {
    if (report_malformed(image) != kExitOk) return kExitMalformed;
    std::cerr << "idprom: " << path
              << ": no Base MAC Address (0xcf) or Chassis MAC Address (0xc3)\n";
    return kExitAbsent;
  }
  if (base->length < 6) {
    throw Failure(kExitMalformed, path + ": offset " + hex(base->offset, 4) + ": " +
                                      describe_type(base->type) + " holds " +
                                      std::to_string(base->length) + " bytes, a MAC address 6");
  }
  const uint64_t first = macbuf_to_mac64(base->value.data());
  const uint32_t count = view.get_int(kBlockSize).value_or(1);
  const uint64_t room = kLastMac - first + 1;  // addresses up to ffff.ffff.ffff
  for (uint64_t i = 0; i < count && i < room; ++i) std::cout << mac_text(first + i) << '\n';
  if (count > room) {
    std::cerr << "idprom: " << path << ": the block of " << count << " addresses from "
              << mac_text(first) << " (MAC Addr. Block Size) wraps past ffff.ffff.ffff after "
              << room << " addresses\n";
    return kExitMalformed;
  }
  return report_malformed(image);
}

}  // namespace

void add_macs_command(CLI::App &app, int &status) {
  auto path = std::make_shared<std::string>();
  CLI::App *m = app.add_subcommand(
      "macs", "The board's MAC addresses: the base (or chassis) MAC expanded by the block size");
  m->add_option("IMAGE", *path, "Image file, or - for standard input")->required();
  m->callback([path, &status] { status = run_macs(*path); });
}

}  // namespace idprom::tool
