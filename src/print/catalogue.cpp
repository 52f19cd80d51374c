// The presentation catalogue: the listing's columns of the type catalogue
// (catalogue/types.hpp): each row's label, the value bytes it reads and the
// writer that turns them into text, built into arrays of its own at compile
// time, plus the small interpreter below it.
//
// Every label has the same layout, so values line up at character 31:
//
//   "\n    Controller Type          : 052c"
//     |   |                        |  ^ value
//     |   +- name, filled to 25    +- ": "
//     +- newline and four spaces
//
// Three labels bend it: "Reserved for Manufacturing:" (26 characters,
// no space), "Deviation Number #%2d     : " and "Unknown Field (type %04x): ".
#include "print/catalogue.hpp"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "catalogue/types.hpp"
#include "codec/bigendian.hpp"
#include "print/render.hpp"
#include "print/sink.hpp"

namespace idprom::print {
namespace {

// A number read from the value: bytes b[at] .. b[at + width - 1] as one
// big-endian unsigned number.  Width 0 marks an unused slot.
struct Num {
  uint8_t at;
  uint8_t width;
};

// One entry as the writers see it.
struct Field {
  const uint8_t *value;
  uint32_t type;
  uint32_t length;
  uint32_t attribute;
  const uint8_t *counters;
  Sink out;
};

struct Row;
using Writer = void (*)(const Row &, const Field &);

// One catalogue row.  nums lists the value bytes the row reads, in the
// order its label's conversions or its writer take them; the entry must
// hold at least that many bytes (checked before the writer runs).
struct Row {
  uint8_t type;
  const char *label;
  Writer write;
  Num nums[4];
};

IDPROM_PRINTF_FORMAT(2, 3) void put(const Field &f, const char *format, ...) noexcept {
  va_list args;
  va_start(args, format);
  sink_vprintf(f.out.buf, f.out.pos, f.out.size, format, args);
  va_end(args);
}

void hex(const Field &f, const uint8_t *bytes, uint32_t length) noexcept {
  idprom_print_hex(bytes, length, f.out.buf, f.out.pos, f.out.size);
}

// The row's numbers, unsigned; unused slots are 0.
std::array<uint32_t, 4> numbers(const Row &row, const Field &f) noexcept {
  std::array<uint32_t, 4> n{};
  for (size_t i = 0; i < n.size(); ++i) {
    if (row.nums[i].width != 0) n[i] = codec::load_be(f.value + row.nums[i].at, row.nums[i].width);
  }
  return n;
}

// Bytes a row reads: the end of its furthest number.
constexpr uint32_t bytes_read(const Row &row) {
  uint32_t need = 0;
  for (const Num &n : row.nums) {
    if (n.width != 0 && n.at + n.width > need) need = n.at + n.width;
  }
  return need;
}

// ---- the labels ------------------------------------------------------------

using catalogue::Layout;
using catalogue::kTypeCount;
using catalogue::kTypes;

// Every listing label, zero-terminated, one after another: the rows' in
// table order (a clock row's second line right after its first), then the
// unknown types'.
constexpr size_t kUnknownSlot = kTypeCount;
constexpr size_t kSlots = kTypeCount + 1;

constexpr size_t label_of(size_t slot, char *out) {
  using catalogue::listing_label;
  if (slot == kUnknownSlot) {
    return listing_label(out, catalogue::kUnknownLabel, catalogue::kUnknownDecoration, "");
  }
  const catalogue::TypeRow &row = kTypes[slot];
  if (row.label == nullptr) return 0;
  const size_t n = listing_label(out, row.label, catalogue::decoration_of(row.layout), row.format);
  if (row.layout != Layout::kClock) return n;
  return n + 1 + listing_label(out != nullptr ? out + n + 1 : nullptr, row.label,
                               catalogue::kClockSecond, "");
}

constexpr size_t labels_size() {
  size_t n = 0;
  for (size_t slot = 0; slot < kSlots; ++slot) n += label_of(slot, nullptr) + 1;
  return n;
}

constexpr std::array<char, labels_size()> make_label_text() {
  std::array<char, labels_size()> text{};
  for (size_t slot = 0, n = 0; slot < kSlots; ++slot) n += label_of(slot, text.data() + n) + 1;
  return text;
}

constexpr std::array<uint16_t, kSlots> make_label_offsets() {
  std::array<uint16_t, kSlots> at{};
  for (size_t slot = 0, n = 0; slot < kSlots; ++slot) {
    at[slot] = static_cast<uint16_t>(n);
    n += label_of(slot, nullptr) + 1;
  }
  return at;
}

constexpr auto kLabelText = make_label_text();
constexpr auto kLabelAt = make_label_offsets();

constexpr const char *label_at(size_t slot) { return kLabelText.data() + kLabelAt[slot]; }

// ---- writers ---------------------------------------------------------------

void write_nothing(const Row &, const Field &) noexcept {}

// The labels' conversions take int and unsigned, which are 32 bits on every
// target (int32_t and uint32_t may be long).
static_assert(sizeof(int) == 4);

// "%d" conversions: every number as a signed int, so that a 32-bit number
// from 0x80000000 on prints negative (the narrower ones never are).  Extra
// arguments beyond the label's conversions are ignored by printf.
void write_decimal(const Row &row, const Field &f) noexcept {
  const auto n = numbers(row, f);
  put(f, row.label, static_cast<int>(n[0]), static_cast<int>(n[1]),
      static_cast<int>(n[2]), static_cast<int>(n[3]));
}

// "%x" conversions take the numbers unsigned.
void write_hex_numbers(const Row &row, const Field &f) noexcept {
  const auto n = numbers(row, f);
  put(f, row.label, static_cast<unsigned>(n[0]), static_cast<unsigned>(n[1]),
      static_cast<unsigned>(n[2]), static_cast<unsigned>(n[3]));
}

void write_hex(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  hex(f, f.value, f.length);
}

void write_ascii(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  idprom_print_ascii(f.value, f.length, f.out.buf, f.out.pos, f.out.size);
}

void write_by_display_type(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  idprom_print_by_display_type(f.value, f.attribute, f.length, f.out.buf, f.out.pos, f.out.size);
}

void write_field_by_display_type(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  idprom_print_field_by_display_type(f.value, f.attribute, f.length, f.out.buf, f.out.pos,
                                     f.out.size);
}

void write_power_supply(const Row &row, const Field &f) noexcept {
  put(f, row.label, f.value[0] != 0 ? "DC" : "AC");
}

constexpr uint32_t kDualRouter = 0xDA50;

void write_capabilities(const Row &row, const Field &f) noexcept {
  write_hex_numbers(row, f);
  if (numbers(row, f)[0] == kDualRouter) put(f, "%s", "\n    Chassis Capability       : Dual Router");
}

// The label's first number is the entry's instance among entries of its
// type byte, as the printer counted it (8 bits, so the 256th shows 0).
void write_deviation(const Row &row, const Field &f) noexcept {
  put(f, row.label, f.counters[row.type], static_cast<int>(numbers(row, f)[0]));
}

// Top Assy. Part Number, variable form: the middle number is zero-filled to
// 5 digits for the 800 family, 4 otherwise ("800-74565-07", "100-0002-01").
void write_top_assy(const Row &row, const Field &f) noexcept {
  constexpr uint32_t kWideFamily = 800;
  const auto n = numbers(row, f);
  put(f, row.label, static_cast<int>(n[0]), n[0] == kWideFamily ? 5 : 4,
      static_cast<int>(n[1]), static_cast<int>(n[2]));
}

void write_mac(const Row &row, const Field &f) noexcept {
  constexpr int32_t kTextSize = 15;  // "001a.2b3c.4d5e" and its zero byte
  char text[kTextSize];
  idprom_macstring_r(f.value, 6, text, kTextSize);
  put(f, row.label, text);
}

// Every byte in decimal, eight to a row, continued under the first.
void write_envmon(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  for (uint32_t i = 0; i < f.length; ++i) {
    if (i != 0 && i % 8 == 0) print_row_break(f.out.buf, f.out.pos, f.out.size);
    put(f, "%d ", f.value[i]);
  }
}

void write_short(const Row &row, const Field &f) noexcept;

// Calibration Data, variable form:
//   b0 b1          signed signal limits in dBmV
//   b2             count of calibration values
//   b3 b4, b5 b6   count 16-bit values, six to a row
void write_calibration(const Row &row, const Field &f) noexcept {
  const uint32_t count = f.value[2];
  if (count > (f.length - 3) / 2) {  // the count promises more than is stored
    write_short(row, f);
    return;
  }
  put(f, "%s", row.label);
  put(f, "Minimum: %d dBmV, Maximum: %d dBmV", static_cast<int8_t>(f.value[0]),
      static_cast<int8_t>(f.value[1]));
  put(f, "%s", "\n\t  Calibration values : ");
  for (uint32_t k = 0; k < count; ++k) {
    if (k != 0 && k % 6 == 0) put(f, "%s", "\n\t                       ");
    put(f, "0x%04x ", static_cast<unsigned>(codec::load_be(f.value + 3 + 2 * size_t{k}, 2)));
  }
}

void write_clock(const Row &row, const Field &f) noexcept {
  put(f, "%s", row.label);
  hex(f, f.value + row.nums[0].at, row.nums[0].width);
  put(f, "%s", row.label + std::strlen(row.label) + 1);  // the second line's label
  hex(f, f.value + row.nums[1].at, row.nums[1].width);
}

// Stored in hundredths of a watt; shown in whole watts, rounded down.
void write_power(const Row &row, const Field &f) noexcept {
  put(f, row.label, static_cast<int>(numbers(row, f)[0] / 100));
}

// A value shorter than the positions its row reads: the label up to its
// first conversion (that is, up to its ": "), then the stored bytes in hex.
void write_short(const Row &row, const Field &f) noexcept {
  put(f, "%.*s", static_cast<int>(std::strcspn(row.label, "%")), row.label);
  hex(f, f.value, f.length);
}

void write_unknown(const Field &f) noexcept {
  put(f, label_at(kUnknownSlot), static_cast<unsigned>(f.type));
  idprom_print_by_display_type(f.value, f.attribute, f.length, f.out.buf, f.out.pos, f.out.size);
}

// ---- the catalogue ---------------------------------------------------------

// The writer of each layout, in the order of catalogue::Layout.
constexpr Writer kWriters[] = {
    write_nothing,  write_decimal,       write_hex_numbers, write_hex,        write_ascii,
    write_by_display_type, write_field_by_display_type, write_power_supply, write_capabilities,
    write_deviation, write_top_assy,     write_mac,         write_envmon,     write_calibration,
    write_clock,    write_power,
};
static_assert(std::size(kWriters) == static_cast<size_t>(Layout::kPower) + 1);

constexpr std::array<Row, kTypeCount> make_rows() {
  std::array<Row, kTypeCount> rows{};
  for (size_t i = 0; i < kTypeCount; ++i) {
    const catalogue::TypeRow &from = kTypes[i];
    rows[i].type = static_cast<uint8_t>(from.code);
    rows[i].label = from.label != nullptr ? label_at(i) : nullptr;
    rows[i].write = kWriters[static_cast<size_t>(from.layout)];
    for (size_t g = 0; g < std::size(from.groups); ++g)
      rows[i].nums[g] = Num{from.groups[g].at, from.groups[g].width};
  }
  return rows;
}

constexpr auto kRows = make_rows();

// Type byte -> row number + 1 (0: unlisted), built at compile time.
constexpr std::array<uint8_t, 256> make_index() {
  std::array<uint8_t, 256> index{};
  for (size_t i = 0; i < std::size(kRows); ++i) index[kRows[i].type] = static_cast<uint8_t>(i + 1);
  return index;
}

constexpr auto kIndex = make_index();

constexpr bool rows_are_distinct() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (kIndex[kRows[i].type] != i + 1) return false;
  }
  return std::all_of(std::begin(kTypes), std::end(kTypes), [](const auto &row) {
    return row.code <= 0xFF && (row.label == nullptr) == (row.layout == Layout::kNothing);
  });
}
static_assert(rows_are_distinct(),
              "a type code stands in two catalogue rows, or a hidden row has a label");

}  // namespace

void idprom_print_entry(const uint8_t *value, uint32_t type, uint32_t length, uint32_t attribute,
                        char *buf, uint32_t *pos, uint32_t size, const uint8_t *counters) noexcept {
  const Field f{value, type, length, attribute, counters, Sink{buf, pos, size}};
  const uint32_t slot = type <= 0xFF ? kIndex[type] : 0;
  if (slot == 0) {
    write_unknown(f);
    return;
  }
  const Row &row = kRows[slot - 1];
  if (length < bytes_read(row)) {
    write_short(row, f);
    return;
  }
  row.write(row, f);
}

}  // namespace idprom::print
