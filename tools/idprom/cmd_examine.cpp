// dump, check, info and checksum: looking at an image's bytes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "model/annotate.hpp"
#include "model/fields.hpp"

namespace idprom::tool {
namespace {

// The enhanced dump's offsets are 16-bit quantities.
constexpr uint32_t kMaxDump = 65520;

struct DumpOptions {
  std::string image;
  bool ascii = false;
  bool fields = false;
  OutputFlags output;
  ImageFlags image_flags;
};

int run_dump(const DumpOptions &o) {
  const Loaded image = load_image(o.image, o.image_flags);
  if (o.fields) {
    if (o.output.json)
      std::cout << annotated_json(image.view(), o.output.mac_form()).dump(2) << '\n';
    else
      std::cout << annotated_text(image.view());
    throw_if_malformed(image);
    return kExitOk;
  }
  if (!o.ascii) {
    std::cout << as_lines(image.view().dump());
    throw_if_malformed(image);
    return kExitOk;
  }
  std::span<const uint8_t> bytes = image.bytes;
  if (bytes.size() > kMaxDump) {
    std::cerr << "idprom: " << image.path << ": showing the first " << kMaxDump << " of "
              << bytes.size() << " bytes\n";
    bytes = bytes.first(kMaxDump);
  }
  // Straight from the library to standard output, row by row through its
  // buffer: no copy of the whole text in memory, whose fresh pages would
  // cost more than formatting it.  std::cout shares that buffer; a failed
  // write is left on it for main's check.
  idprom_enhanced_dump(bytes.data(), static_cast<uint32_t>(bytes.size()));
  if (std::fflush(stdout) != 0) std::cout.setstate(std::ios::badbit);
  throw_if_malformed(image);
  return kExitOk;
}

// "ok: 5 entries, end marker at 0x00a4, 91 bytes free"; the line starts
// with the image's name (the runner adds it).
int check_sound(const ImageFlags &flags, const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, flags);
  const auto problems = image_problems(image.bytes);
  if (!problems.empty()) {
    throw Failure::about(path, kExitMalformed, problems.front(), problem_offset(image.bytes));
  }
  const Layout &l = image.layout;
  const uint64_t free = image.bytes.size() - l.used;
  out.text << "ok: " << count_of(l.entries, "entry", "entries") << ", "
           << (l.end_marker ? "end marker at " + hex(*l.end_marker, 4)
                            : std::string("no end marker (the entries fill the image; it may be "
                                          "truncated)"))
           << ", " << count_of(free, "byte", "bytes") << " free\n";
  out.json = {{"ok", true}, {"entries", l.entries}, {"free", free}};
  out.json["end_marker"] = l.end_marker ? nlohmann::ordered_json(*l.end_marker) : nullptr;
  if (!l.end_marker) out.json["may_be_truncated"] = true;
  return kExitOk;
}

// With --json every image gets its object, a failing one "ok": false with
// the problem, its offset where it has one, and the exit status (the error
// line goes to standard error as for every command).
int check_one(const ImageFlags &flags, const std::string &path, ImageOutput &out) {
  try {
    return check_sound(flags, path, out);
  } catch (const Failure &f) {
    out.json = {{"ok", false}, {"problem", f.file() == path ? f.detail() : f.what()}};
    out.json["offset"] = f.offset() ? nlohmann::ordered_json(*f.offset()) : nullptr;
    out.json["status"] = f.code();
    throw;
  }
}

// The two checksums of some bytes, as text lines and as the members of a
// JSON object ("checksum", "crc16"; info's and checksum's alike).
std::string checksums_text(std::span<const uint8_t> bytes, nlohmann::ordered_json &json) {
  const auto n = static_cast<uint32_t>(bytes.size());
  const uint32_t checksum = calculate_crc(bytes.data(), n);
  const uint16_t crc = crc_16_buf(bytes.data(), static_cast<int32_t>(n));
  json["checksum"] = hex(checksum, 8);
  json["crc16"] = hex(crc, 4);
  char line[64];
  std::snprintf(line, sizeof line, "checksum:   0x%08x\ncrc-16:     0x%04x\n", checksum, crc);
  return line;
}

// The same size, used, free and end marker as show --json.
int info_one(const ImageFlags &flags, const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, flags);
  const Layout &l = image.layout;
  const auto size = static_cast<uint32_t>(image.bytes.size());
  const auto used = std::span<const uint8_t>(image.bytes).first(l.used);
  out.json = {{"size", size}, {"used", l.used}, {"free", size - l.used}};
  out.json["end_marker"] = l.end_marker ? nlohmann::ordered_json(*l.end_marker) : nullptr;
  out.json["entries"] = l.entries;
  out.text << "size:       " << count_of(size, "byte", "bytes") << '\n'
           << "used:       " << count_of(l.used, "byte", "bytes") << '\n'
           << "free:       " << count_of(size - l.used, "byte", "bytes") << '\n'
           << "entries:    " << l.entries << '\n'
           << "end marker: " << (l.end_marker ? hex(*l.end_marker, 4) : std::string("none"))
           << '\n'
           << checksums_text(used, out.json);
  throw_if_malformed(image);
  return kExitOk;
}

// check and info: images, --json and the image options.
struct BatchOptions {
  std::vector<std::string> images;
  OutputFlags output;
  ImageFlags image;
};

int run_check(const BatchOptions &o) {
  return run_batch(
      o.images,
      [&](const std::string &path, ImageOutput &out) { return check_one(o.image, path, out); },
      o.output, Prefix::kAlways);
}

int run_info(const BatchOptions &o) {
  return run_batch(
      o.images,
      [&](const std::string &path, ImageOutput &out) { return info_one(o.image, path, out); },
      o.output);
}

struct ChecksumOptions {
  std::string image;
  std::string range;
  OutputFlags output;
  ImageFlags image_flags;
};

// The range summed (the whole image by default) goes into the JSON object
// as "offset" and "length".
int checksum_one(const ChecksumOptions &o, const std::string &path, ImageOutput &out) {
  const Loaded image = load_image(path, o.image_flags);
  std::span<const uint8_t> bytes = image.bytes;
  uint32_t offset = 0;
  if (!o.range.empty()) {
    const size_t colon = o.range.find(':');
    if (colon == std::string::npos) throw Failure(kExitUsage, "--range: expected OFFSET:LENGTH");
    offset = parse_number(o.range.substr(0, colon), "--range offset");
    const uint32_t length = parse_number(o.range.substr(colon + 1), "--range length");
    if (offset > bytes.size() || length > bytes.size() - offset) {
      throw Failure(kExitUsage, "--range " + o.range + ": runs past the image's end (" +
                                    std::to_string(bytes.size()) + " bytes)");
    }
    bytes = bytes.subspan(offset, length);
  }
  out.json = {{"offset", offset}, {"length", bytes.size()}};
  out.text << checksums_text(bytes, out.json);
  return kExitOk;
}

int run_checksum(const ChecksumOptions &o) {
  return run_batch(
      {o.image},
      [&](const std::string &path, ImageOutput &out) { return checksum_one(o, path, out); },
      o.output);
}

void declare_dump(CLI::App &d, DumpOptions &dump) {
  d.add_option("IMAGE", dump.image, "Image file, or - for standard input")->required();
  auto *ascii = d.add_flag("--ascii", dump.ascii, "Every byte, upper-case hex with a text column");
  auto *fields = d.add_flag("--fields", dump.fields,
                            "Every byte annotated entry by entry: header, value, type, label, "
                            "value text; end marker, filler and where the list breaks");
  fields->excludes(ascii);
  add_json_flag(d, dump.output, "With --fields: the same as JSON");
  add_mac_format_flag(d, dump.output);
  d.get_option("--json")->needs(fields);
  d.get_option("--mac-format")->needs(d.get_option("--json"));
  add_image_flags(d, dump.image_flags);
}

void declare_batch(CLI::App &c, BatchOptions &o) {
  c.add_option("IMAGE", o.images, "Image files, or - for standard input")->required();
  add_json_flag(c, o.output, "One JSON object per image per line");
  add_image_flags(c, o.image);
}

void declare_checksum(CLI::App &s, ChecksumOptions &sum) {
  s.add_option("IMAGE", sum.image, "Image file, or - for standard input")->required();
  s.add_option("--range", sum.range, "Range to sum (decimal or 0x hex); default: the whole image")
      ->type_name("OFFSET:LENGTH");
  add_json_flag(s, sum.output, "One JSON object: file, offset, length, checksum, crc16");
  add_image_flags(s, sum.image_flags);
}

}  // namespace

extern const Command kDump = command<DumpOptions, declare_dump, run_dump>(
    "dump", "Hex dump: the used part, --ascii the whole image, --fields annotated by entry",
    "IMAGE");
extern const Command kCheck = command<BatchOptions, declare_batch, run_check>(
    "check", "Validate images; name each one's first problem and its offset", "IMAGE...");
extern const Command kInfo = command<BatchOptions, declare_batch, run_info>(
    "info", "Size, bytes used and free, entries, end marker, checksums", "IMAGE...");
extern const Command kChecksum = command<ChecksumOptions, declare_checksum, run_checksum>(
    "checksum", "The 32-bit rotate-and-add checksum and the CRC-16", "IMAGE");

}  // namespace idprom::tool
