// The front ends' parsers under hostile text: one source, compiled once per
// harness (fuzz_<name>, IDPROM_FUZZ_TARGET names the row of kTargets).  A
// Failure is the parsers' answer to bad text; any other exception, a crash
// or a failed property aborts.  Where a parser has a printer, what it
// accepted must print back to text that parses to the same thing.
//
//   value     type byte (a catalogue row, or past the rows a raw code from
//             the next two bytes), flags, text: parse, print, parse again;
//             the rest also as stored bytes: print, parse back
//   mac       the text as an address in every form; six bytes printed in
//             every form and read back
//   describe  flag bit 0 clear: a JSON description, built, described and
//             built again; set: image bytes that decode, described and
//             built back
//   rules     a rules file, checked against a sample image
//   program   count, flags, then lines: serial pattern, serial start, MAC
//             start, MAC end; every planned unit checked against them
//   target    lines: i2c:BUS:ADDR, chip name or SIZE PAGE WIDTH; the
//             addressing of every offset of a declared part
//   window    lines: --offset, --length; the window read from a file
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string_view>

#include "base/errors.hpp"
#include "base/numbers.hpp"
#include "fuzz_support.hpp"
#include "i2c/part.hpp"
#include "io/fileio.hpp"
#include "model/describe.hpp"
#include "model/program.hpp"
#include "model/rules.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

using namespace idprom;
using namespace idprom::fuzz;
using namespace idprom::tool;

namespace {

constexpr MacForm kMacForms[] = {MacForm::kDotted, MacForm::kColon, MacForm::kPlain};

std::string_view text_of(const Input &in) { return {reinterpret_cast<const char *>(in.rest()), in.rest_size()}; }

// The lines of a text; missing ones are empty.
std::string_view line(std::string_view text, size_t n) {
  for (; n > 0; --n) text.remove_prefix(std::min(text.size(), text.find('\n') + 1));
  return text.substr(0, text.find('\n'));
}

// Runs a parse, taking Failure for a refusal.
template <class F>
bool accepted(F &&parse) {
  try {
    parse();
    return true;
  } catch (const Failure &) {
    return false;
  }
}

const Entry *find_entry(const ImageView &view, uint32_t type) {
  static thread_local Entry found;
  for (const Entry &e : view)
    if (e.type == type) return &(found = e);
  return nullptr;
}

void value(Input in) {
  const uint8_t pick = in.u8();
  const auto rows = type_table();
  const uint32_t type = pick < rows.size() ? rows[pick].code : in.u16() % 0x400U;
  const uint8_t flags = in.u8();
  ValueContext ctx{type, is_variable(type) ? (flags & 3U) * 64U : 0U, std::nullopt, (flags & 4U) != 0};
  if ((flags & 8U) != 0) ctx.current_length = in.u8();
  const MacForm form = kMacForms[(flags >> 4) % 3];
  auto round_trip = [&](const Bytes &v) {
    ValueContext again = ctx;
    again.hex = false;
    again.current_length = static_cast<uint32_t>(v.size());
    const std::string text = format_value(ctx, v, form);
    FUZZ_CHECK(text.find('\n') == std::string::npos && parse_value(text, again) == v);
  };
  Bytes parsed;
  if (accepted([&] { parsed = parse_value(text_of(in), ctx); })) round_trip(parsed);
  // Any stored value of a length the type takes prints and reads back.
  const size_t n = is_variable(type) ? std::min<size_t>(in.rest_size(), max_length(type)) : fixed_width(type);
  if (n != 0 && in.rest_size() >= n) round_trip(Bytes(in.rest(), in.rest() + n));
}

void mac(Input in) {
  const std::string_view text = text_of(in);
  const auto parsed = parse_mac(text);
  uint64_t number = 0;
  const bool read = accepted([&] { number = read_mac(text, "fuzz"); });
  if (parsed) {
    FUZZ_CHECK(parsed->size() == 6 && read);
    uint64_t of_bytes = 0;
    for (uint8_t b : *parsed) of_bytes = of_bytes << 8 | b;
    FUZZ_CHECK(of_bytes == number);
  }
  if (read) {
    FUZZ_CHECK(number <= kLastMac);
    for (MacForm form : kMacForms) FUZZ_CHECK(read_mac(mac_text(number, form), "fuzz") == number);
  }
  if (in.rest_size() < 6) return;
  uint64_t six = 0;
  for (size_t i = 0; i < 6; ++i) six = six << 8 | in.rest()[i];
  for (MacForm form : kMacForms) {
    const auto back = parse_mac(mac_text(six, form));
    FUZZ_CHECK(back && std::equal(back->begin(), back->end(), in.rest()));
  }
}

// The image a description of `image` builds: the same bytes.
void rebuilds(const Bytes &image, MacForm form) {
  const nlohmann::json again = nlohmann::json::parse(describe(ImageView(image), form).dump());
  FUZZ_CHECK(build_image(again, std::nullopt, "again") == image);
}

void description(Input in) {
  const uint8_t flags = in.u8();
  const MacForm form = kMacForms[(flags >> 1) % 3];
  if ((flags & 1U) == 0) {
    Bytes image;
    if (accepted([&] { image = build_image(parse_description(text_of(in), "fuzz"), std::nullopt, "fuzz"); }))
      rebuilds(image, form);
    return;
  }
  // An image whose list decodes (to an end marker, or to its end) is
  // described exactly, bytes after the marker too, unless an entry's code
  // has no encoding (0x00 0xFF reads as 0x1FF; build refuses it, naming it).
  const Bytes image(in.rest(), in.rest() + in.rest_size());
  const ImageView view(image);
  if (image.empty() || view.layout().malformed_at ||
      std::ranges::any_of(view, [](const Entry &e) { return !has_encoding(e.type); }))
    return;
  rebuilds(image, form);
}

const Bytes &sample_image() {
  static const Bytes image = build_image(
      parse_description(R"({"size": 128, "entries": [{"type": "pid", "text": "LC-FUZZ"},
        {"type": "pcb-serial", "text": "SN000001"}, {"type": "base-mac", "text": "00:1a:2b:00:00:10"},
        {"type": "mac-block-size", "text": "16"}]})", "sample"),
      std::nullopt, "sample");
  return image;
}

void rules(Input in) {
  Rules r;
  if (!accepted([&] { r = read_rules(parse_description(text_of(in), "fuzz"), "fuzz"); })) return;
  for (const RuleFailure &f : check_rules(sample_image(), r)) {
    static constexpr std::string_view kRules[] = {"size", "required", "match", "mac", "filler", "base-mac"};
    FUZZ_CHECK(std::find(std::begin(kRules), std::end(kRules), f.rule) != std::end(kRules));
    FUZZ_CHECK(!f.message.empty());
  }
}

void program(Input in) {
  ProgramRequest r;
  r.base = sample_image();
  r.count = in.u8() % 8U + 1;
  const std::string_view text = text_of(in);
  r.serial = line(text, 0);
  if (!accepted([&] {
        if (!line(text, 1).empty()) r.serial_start = parse_number(line(text, 1), "--serial-start");
        if (!line(text, 2).empty()) r.mac_start = read_mac(line(text, 2), "--mac-start");
        if (!line(text, 3).empty()) r.mac_end = read_mac(line(text, 3), "--mac-end");
      }))
    return;
  std::vector<Unit> units;
  if (!accepted([&] { units = plan_units(r); })) return;
  FUZZ_CHECK(units.size() == r.count);
  for (uint32_t i = 0; i < r.count; ++i) {
    const Unit &u = units[i];
    const ImageView view(u.image);
    FUZZ_CHECK(!view.layout().malformed_at);
    if (!r.serial.empty()) {
      // The pattern with its run of '#' replaced by the number, zero-padded.
      const size_t at = r.serial.find('#');
      const size_t width = std::min(r.serial.size(), r.serial.find_first_not_of('#', at)) - at;
      const std::string digits = std::to_string(uint64_t{r.serial_start} + i);
      FUZZ_CHECK(u.serial && digits.size() <= width);
      FUZZ_CHECK(*u.serial == r.serial.substr(0, at) + std::string(width - digits.size(), '0') + digits +
                                  r.serial.substr(std::min(r.serial.size(), at + width)));
      // Stored as set stores it: read as value text, padded with zero bytes
      // to the field it replaces.
      const Entry *e = find_entry(view, IDPROM_TYPE_PCB_SERIAL);
      FUZZ_CHECK(e && Bytes(e->value.begin(), e->value.end()) ==
                          parse_value(*u.serial, {IDPROM_TYPE_PCB_SERIAL, e->attribute, e->length, false}));
    }
    if (r.mac_start) {
      FUZZ_CHECK(u.mac == *r.mac_start + uint64_t{i} * u.block);
      FUZZ_CHECK(*u.mac + u.block - 1 <= r.mac_end.value_or(kLastMac));
      const Entry *e = find_entry(view, IDPROM_TYPE_BASE_MAC);
      FUZZ_CHECK(e && format_value(ValueContext{IDPROM_TYPE_BASE_MAC, 0, std::nullopt, false}, e->value) == mac_text(*u.mac));
    }
  }
}

void target(Input in) {
  const std::string_view text = text_of(in);
  std::optional<i2c::Target> t;
  if (!accepted([&] { t = i2c::parse_target(line(text, 0)); }) || !t) return;
  FUZZ_CHECK(t->name == line(text, 0) && t->address >= 0x08 && t->address <= 0x77);
  // Printed back with the bus in decimal and the address in hex, it names the same device.
  char again[32];
  std::snprintf(again, sizeof again, "i2c:%u:0x%x", t->bus, unsigned{t->address});
  const auto back = i2c::parse_target(again);
  FUZZ_CHECK(back && back->bus == t->bus && back->address == t->address);

  i2c::PartOptions o;
  const std::string_view geometry = line(text, 1);
  unsigned size = 0, page = 0, width = 0, ms = 0;
  if (std::sscanf(std::string(geometry).c_str(), "%u %u %u %u", &size, &page, &width, &ms) >= 3)
    o = {"", size, page, width, ms};
  else
    o.chip = geometry;
  i2c::Part part{};
  if (!accepted([&] { part = i2c::declare_part(o, *t); })) return;
  FUZZ_CHECK(part.address_width == 1 || part.address_width == 2);
  FUZZ_CHECK(part.size >= 16 && part.size <= (part.address_width == 1 ? 2048U : 65536U));
  FUZZ_CHECK(part.page_size >= 1 && part.page_size <= 256 && part.size % part.page_size == 0);
  // Every offset reaches the part through one device address in its range
  // and address bytes that, with it, give the offset back.
  const uint32_t block = i2c::block_size(part);
  for (uint32_t offset = 0; offset < part.size; offset += 1 + offset / 7) {
    const uint8_t device = i2c::device_address(part, t->address, offset);
    const auto bytes = i2c::address_bytes(part, offset);
    const uint32_t step = uint32_t{device} - t->address;  // past the base: a wrapped, huge step
    FUZZ_CHECK(device <= 0x77 && step < part.size / block && bytes.size() == part.address_width);
    const uint32_t low = part.address_width == 1 ? bytes[0] : uint32_t{bytes[0]} << 8 | bytes[1];
    FUZZ_CHECK(step * block + low == offset);
  }
}

// A file of kFileSize bytes whose byte i is i * 7 % 251.
constexpr size_t kFileSize = 700;
const std::string &window_file() {
  static const std::string path = [] {
    char name[] = "/tmp/idprom-fuzz-window-XXXXXX";
    const int fd = mkstemp(name);
    FUZZ_CHECK(fd >= 0);
    Bytes bytes(kFileSize);
    for (size_t i = 0; i < kFileSize; ++i) bytes[i] = static_cast<uint8_t>(i * 7 % 251);
    FUZZ_CHECK(write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    close(fd);
    return std::string(name);
  }();
  return path;
}

void window(Input in) {
  const std::string_view text = text_of(in);
  Window w;
  if (!accepted([&] { w = parse_window(line(text, 0), line(text, 1)); })) return;
  FUZZ_CHECK(!w.length || (*w.length >= 1 && *w.length <= kMaxImage));
  // Without a length the window runs to the file's end (nothing past it).
  const size_t there = w.offset < kFileSize ? kFileSize - w.offset : 0;
  Bytes bytes;
  if (!accepted([&] { bytes = read_image(system_io(), window_file(), w); })) {
    FUZZ_CHECK(w.length && *w.length > there);  // refused only when it runs past the end
    return;
  }
  FUZZ_CHECK(bytes.size() == w.length.value_or(there));
  for (size_t i = 0; i < bytes.size(); ++i) FUZZ_CHECK(bytes[i] == (w.offset + i) * 7 % 251);
}

struct Target {
  std::string_view name;
  void (*run)(Input);
};
constexpr Target kTargets[] = {{"value", value},     {"mac", mac},         {"describe", description},
                               {"rules", rules},     {"program", program}, {"target", target},
                               {"window", window}};

constexpr size_t kPick = [] {
  size_t i = 0;
  while (i < std::size(kTargets) && kTargets[i].name != IDPROM_FUZZ_TARGET) ++i;
  return i;
}();
static_assert(kPick < std::size(kTargets), "IDPROM_FUZZ_TARGET names no row of kTargets");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  kTargets[kPick].run(Input(data, size));
  return 0;
}
