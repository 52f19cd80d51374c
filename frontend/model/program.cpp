// Planning a batch: serial numbers from a pattern, MAC blocks by 48-bit
// arithmetic, and each unit's image edited through the library in memory.
#include "model/program.hpp"

#include <algorithm>

#include "base/errors.hpp"
#include "model/image.hpp"
#include "model/macaddr.hpp"

namespace idprom::tool {
namespace {

[[noreturn]] void refuse(const std::string &what) {
  throw Failure(kExitUsage, what + "; nothing was written");
}

// The serial pattern: where its one run of '#' lies.
struct Pattern {
  std::string text;
  size_t at = 0;
  size_t width = 0;

  std::string with(uint64_t number) const {
    std::string digits = std::to_string(number);
    digits.insert(0, width - std::min(width, digits.size()), '0');
    return text.substr(0, at) + digits + text.substr(at + width);
  }
};

Pattern read_pattern(const std::string &text) {
  const size_t at = text.find('#');
  const size_t end = at == std::string::npos ? at : text.find_first_not_of('#', at);
  const size_t width = at == std::string::npos ? 0 : std::min(end, text.size()) - at;
  if (at == std::string::npos || text.find('#', at + width) != std::string::npos)
    refuse("--serial '" + text + "': give exactly one run of '#' for the unit number");
  if (width > 9) refuse("--serial '" + text + "': a run of at most 9 '#'");
  if (text.find('/') != std::string::npos || text.front() == '.')
    refuse("--serial '" + text + "': the serial names the unit's file, so no '/' or leading '.'");
  return Pattern{text, at, width};
}

void check_serials(const Pattern &p, const ProgramRequest &r) {
  uint64_t limit = 1;
  for (size_t i = 0; i < p.width; ++i) limit *= 10;
  const uint64_t last = uint64_t{r.serial_start} + r.count - 1;
  if (last >= limit) {
    refuse("--serial '" + p.text + "': unit number " + std::to_string(last) + " does not fit in " +
           count_of(p.width, "digit", "digits") + " (units " +
           std::to_string(r.serial_start) + " to " + std::to_string(last) + ")");
  }
}

// The whole range of addresses the batch takes must be unicast, stay
// below ffff.ffff.ffff and --mac-end.  Crossing a first-octet boundary
// always passes an odd (multicast) first octet, so the range must keep
// the start's first octet.
void check_macs(const ProgramRequest &r, uint32_t block) {
  const uint64_t start = *r.mac_start;
  if (start == 0 || is_multicast(start)) {
    refuse("--mac-start " + mac_text(start) + ": " +
           (start == 0 ? "all zero" : "a multicast address (the first octet is odd)"));
  }
  if (block == 0) refuse("the template's MAC Addr. Block Size is 0");
  const uint64_t limit = r.mac_end.value_or(kLastMac);
  const std::string bound = r.mac_end ? "--mac-end " + mac_text(limit) : "ffff.ffff.ffff";
  if (limit < start) refuse(bound + " lies before --mac-start " + mac_text(start));
  const uint64_t units_that_fit = (limit - start + 1) / block;
  if (units_that_fit < r.count) {
    const uint64_t first = start + units_that_fit * block;
    refuse("the MAC block of unit " + std::to_string(units_that_fit + 1) + " of " +
           std::to_string(r.count) + " (" + mac_text(first) + ", " +
           count_of(block, "address", "addresses") + ") passes " + bound);
  }
  const uint64_t last = start + uint64_t{r.count} * block - 1;
  if ((last >> 40) != (start >> 40))
    refuse("the MAC blocks from " + mac_text(start) + " to " + mac_text(last) +
           " cross into a multicast first octet");
}

void check_conflicts(const ProgramRequest &r) {
  for (const Assignment &a : r.sets) {
    if (a.type == IDPROM_TYPE_PCB_SERIAL && !r.serial.empty())
      refuse("--set gives PCB Serial Number, which --serial sets for each unit");
    if (a.type == IDPROM_TYPE_BASE_MAC && r.mac_start)
      refuse("--set gives Base MAC Address, which --mac-start sets for each unit");
  }
  if (r.mac_end && !r.mac_start) refuse("--mac-end needs --mac-start");
  if (r.count == 0 || r.count > kMaxUnits)
    refuse("--count: 1 to " + std::to_string(kMaxUnits) + " units");
}

// Sets the first instance of a type from its value text, as `set` does.
void set_first(ImageEditor &editor, uint32_t type, const std::string &text) {
  FieldEdit edit;
  edit.type = type;
  assign(editor, edit, text);
}

Bytes with_sets(const ProgramRequest &r) {
  const Layout layout = ImageView(r.base).layout();
  if (r.base.empty()) throw Failure(kExitMalformed, r.source + ": empty file (0 bytes)");
  if (layout.malformed_at) {
    throw Failure(kExitMalformed, r.source + ": offset " + hex(*layout.malformed_at, 4) + ": " +
                                      problem_at(r.base, *layout.malformed_at));
  }
  Bytes image = r.base;
  ImageEditor editor(image);
  try {
    for (const Assignment &a : r.sets) set_first(editor, a.type, a.value);
  } catch (const Failure &f) {
    throw Failure(f.code(), "--set: " + std::string(f.what()) + "; nothing was written");
  }
  return image;
}

Unit make_unit(const ProgramRequest &r, const Bytes &image, const Pattern *pattern, uint32_t i,
               uint32_t block) {
  Unit u;
  u.image = image;
  u.block = block;
  ImageEditor editor(u.image);
  const uint64_t number = uint64_t{r.serial_start} + i;
  u.file = (pattern ? pattern->with(number) : "unit-" + std::to_string(number)) + ".bin";
  try {
    if (pattern) {
      u.serial = pattern->with(number);
      set_first(editor, IDPROM_TYPE_PCB_SERIAL, *u.serial);
    }
    if (r.mac_start) {
      u.mac = *r.mac_start + uint64_t{i} * block;
      set_first(editor, IDPROM_TYPE_BASE_MAC, mac_text(*u.mac));
    }
  } catch (const Failure &f) {
    throw Failure(f.code(),
                  "unit " + std::to_string(number) + ": " + f.what() + "; nothing was written");
  }
  return u;
}

}  // namespace

std::vector<Unit> plan_units(const ProgramRequest &r) {
  check_conflicts(r);
  const Bytes image = with_sets(r);
  const uint32_t block = ImageView(image).get_int(IDPROM_TYPE_MAC_BLOCK_SIZE).value_or(1);
  std::optional<Pattern> pattern;
  if (!r.serial.empty()) {
    pattern = read_pattern(r.serial);
    check_serials(*pattern, r);
  }
  if (r.mac_start) check_macs(r, block);
  std::vector<Unit> units;
  units.reserve(r.count);
  for (uint32_t i = 0; i < r.count; ++i)
    units.push_back(make_unit(r, image, pattern ? &*pattern : nullptr, i, block));
  return units;
}

}  // namespace idprom::tool
