// dump, check, info and checksum: looking at an image's bytes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "errors.hpp"
#include "fields.hpp"

namespace idprom::tool {
namespace {

// The enhanced dump's offsets are 16-bit quantities.
constexpr uint32_t kMaxDump = 65520;

struct DumpOptions {
  std::string image;
  bool ascii = false;
};

int run_dump(const DumpOptions &o) {
  const Loaded image = load_image(o.image);
  if (!o.ascii) {
    std::cout << as_lines(image.view().dump());
    return report_malformed(image);
  }
  std::span<const uint8_t> bytes = image.bytes;
  if (bytes.size() > kMaxDump) {
    std::cerr << "idprom: " << image.path << ": showing the first " << kMaxDump << " of "
              << bytes.size() << " bytes\n";
    bytes = bytes.first(kMaxDump);
  }
  std::cout << ImageView(bytes).enhanced_dump();
  return report_malformed(image);
}

int run_check(const std::string &path) {
  const Loaded image = load_image(path);
  const auto problems = image_problems(image.bytes);
  if (!problems.empty()) {
    std::cerr << "idprom: " << path << ": " << problems.front() << '\n';
    return kExitMalformed;
  }
  std::cout << path << ": ok: " << image.layout.entries << " entries, "
            << (image.layout.end_marker ? "end marker at " + hex(*image.layout.end_marker, 4)
                                        : std::string("no end marker (the entries fill the image)"))
            << ", " << image.bytes.size() - image.layout.used << " bytes free\n";
  return kExitOk;
}

void print_checksums(std::span<const uint8_t> bytes) {
  char line[64];
  const auto n = static_cast<uint32_t>(bytes.size());
  std::snprintf(line, sizeof line, "checksum:   0x%08x\ncrc-16:     0x%04x\n",
                calculate_crc(bytes.data(), n), crc_16_buf(bytes.data(), static_cast<int32_t>(n)));
  std::cout << line;
}

int run_info(const std::string &path) {
  const Loaded image = load_image(path);
  const Layout &l = image.layout;
  std::cout << "size:       " << image.bytes.size() << " bytes\n"
            << "used:       " << l.used << " bytes\n"
            << "free:       " << image.bytes.size() - l.used << " bytes\n"
            << "entries:    " << l.entries << '\n'
            << "end marker: " << (l.end_marker ? hex(*l.end_marker, 4) : std::string("none"))
            << '\n';
  print_checksums(std::span<const uint8_t>(image.bytes).first(l.used));
  return report_malformed(image);
}

struct ChecksumOptions {
  std::string image;
  std::string range;
};

int run_checksum(const ChecksumOptions &o) {
  const Loaded image = load_image(o.image);
  std::span<const uint8_t> bytes = image.bytes;
  if (!o.range.empty()) {
    const size_t colon = o.range.find(':');
    if (colon == std::string::npos) throw Failure(kExitUsage, "--range: expected OFFSET:LENGTH");
    const uint32_t offset = parse_number(o.range.substr(0, colon), "--range offset");
    const uint32_t length = parse_number(o.range.substr(colon + 1), "--range length");
    if (offset > bytes.size() || length > bytes.size() - offset) {
      throw Failure(kExitUsage, "--range " + o.range + ": runs past the image's end (" +
                                    std::to_string(bytes.size()) + " bytes)");
    }
    bytes = bytes.subspan(offset, length);
  }
  print_checksums(bytes);
  return kExitOk;
}

}  // namespace

void add_inspect_commands(CLI::App &app, int &status) {
  auto dump = std::make_shared<DumpOptions>();
  CLI::App *d = app.add_subcommand("dump", "Hex dump: the used part, or --ascii the whole image");
  d->add_option("IMAGE", dump->image, "Image file, or - for standard input")->required();
  d->add_flag("--ascii", dump->ascii, "Every byte, upper-case hex with a text column");
  d->callback([dump, &status] { status = run_dump(*dump); });

  auto check_path = std::make_shared<std::string>();
  CLI::App *c =
      app.add_subcommand("check", "Validate an image; name the first problem and its offset");
  c->add_option("IMAGE", *check_path, "Image file, or - for standard input")->required();
  c->callback([check_path, &status] { status = run_check(*check_path); });

  auto info_path = std::make_shared<std::string>();
  CLI::App *i =
      app.add_subcommand("info", "Size, bytes used and free, entries, end marker, checksums");
  i->add_option("IMAGE", *info_path, "Image file, or - for standard input")->required();
  i->callback([info_path, &status] { status = run_info(*info_path); });

  auto sum = std::make_shared<ChecksumOptions>();
  CLI::App *s = app.add_subcommand("checksum", "The 32-bit rotate-and-add checksum and the CRC-16");
  s->add_option("IMAGE", sum->image, "Image file, or - for standard input")->required();
  s->add_option("--range", sum->range, "Range to sum (decimal or 0x hex); default: the whole image")
      ->type_name("OFFSET:LENGTH");
  s->callback([sum, &status] { status = run_checksum(*sum); });
}

}  // namespace idprom::tool
