// macs: the MAC addresses a board owns.
#include <CLI/CLI.hpp>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/macaddr.hpp"

namespace idprom::tool {
namespace {

struct MacsOptions {
  std::vector<std::string> images;
  std::optional<uint32_t> count;  // --count: only the first N addresses
  OutputFlags output;
  ImageFlags image;
};

// The base (or chassis) MAC address and the block size, checked.
std::pair<uint64_t, uint32_t> block_of(const Loaded &image) {
  const ImageView view = image.view();
  auto base = view.find(IDPROM_TYPE_BASE_MAC);
  if (!base) base = view.find(IDPROM_TYPE_CHASSIS_MAC);
  if (!base) {
    throw_if_malformed(image);
    throw Failure::about(image.path, kExitAbsent,
                         "no Base MAC Address (0xcf) or Chassis MAC Address (0xc3)");
  }
  if (base->length < 6) {
    throw Failure::about(image.path, kExitMalformed,
                         "offset " + hex(base->offset, 4) + ": " + describe_type(base->type) +
                             " holds " + std::to_string(base->length) + " bytes, a MAC address 6",
                         base->offset);
  }
  return {macbuf_to_mac64(base->value.data()),
          view.get_int(IDPROM_TYPE_MAC_BLOCK_SIZE).value_or(1)};
}

int macs_one(const MacsOptions &o, const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, o.image);
  const auto [first, block] = block_of(image);
  const MacForm form = o.output.mac_form();
  if (o.count && *o.count > block) {
    throw Failure::about(path, kExitUsage,
                         "--count " + std::to_string(*o.count) + ": the block holds " +
                             count_of(block, "address", "addresses"));
  }
  const uint64_t count = o.count.value_or(block);
  const uint64_t room = kLastMac - first + 1;  // addresses up to ffff.ffff.ffff
  out.json = {{"base", mac_text(first, form)}, {"block_size", block}};
  out.json["addresses"] = nlohmann::ordered_json::array();
  for (uint64_t i = 0; i < count && i < room; ++i) {
    out.text << mac_text(first + i, form) << '\n';
    out.json["addresses"].push_back(mac_text(first + i, form));
  }
  if (count > room) {
    throw Failure::about(path, kExitMalformed,
                         "the block of " + std::to_string(block) + " addresses from " +
                             mac_text(first) +
                             " (MAC Addr. Block Size) wraps past ffff.ffff.ffff after " +
                             std::to_string(room) + " addresses");
  }
  throw_if_malformed(image);
  return kExitOk;
}

int run_macs(const MacsOptions &o) {
  return run_batch(
      o.images, [&](const std::string &path, ImageOutput &out) { return macs_one(o, path, out); },
      o.output);
}

void declare_macs(CLI::App &m, MacsOptions &o) {
  m.add_option("IMAGE", o.images, "Image files, or - for standard input")->required();
  m.add_option("--count", o.count, "Only the first N addresses of the block")->type_name("N");
  add_json_flag(m, o.output, "One JSON object per image per line: base, block size, addresses");
  add_mac_format_flag(m, o.output);
  add_image_flags(m, o.image);
}

}  // namespace

extern const Command kMacs = command<MacsOptions, declare_macs, run_macs>(
    "macs", "The board's MAC addresses: the base (or chassis) MAC expanded by the block size",
    "IMAGE...");

}  // namespace idprom::tool
