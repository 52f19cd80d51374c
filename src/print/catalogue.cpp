// The presentation catalogue: one table from type code to label, the value
// bytes the row reads, and the writer that turns them into text, plus the
// small interpreter below it.
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

#include <array>
#include <cstdarg>
#include <cstring>
#include <iterator>

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
  put(f, "%s", "\n    System Clock Freq (Bus)  : ");
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
  put(f, "\n    Unknown Field (type %04x): ", static_cast<unsigned>(f.type));
  idprom_print_by_display_type(f.value, f.attribute, f.length, f.out.buf, f.out.pos, f.out.size);
}

// ---- the catalogue ---------------------------------------------------------

constexpr Row kRows[] = {
    // 1-byte class
    {0x01, "\n    Number of Slots          : %d", write_decimal, {{0, 1}}},
    {0x02, "\n    Fab Revision             : %02x", write_hex_numbers, {{0, 1}}},
    {0x03, "\n    RMA Test History         : %02x", write_hex_numbers, {{0, 1}}},
    {0x04, "\n    RMA History              : %02x", write_hex_numbers, {{0, 1}}},
    {0x05, "\n    Connector Type           : %02x", write_hex_numbers, {{0, 1}}},
    {0x06, "\n    VEXA Preferred Master    : %02x", write_hex_numbers, {{0, 1}}},
    {0x07, "\n    Vendor ID                : ", write_hex, {}},
    {0x09, "\n    Processor type           : ", write_hex, {}},
    {0x0B, "\n    Power Supply Type        : %s", write_power_supply, {{0, 1}}},
    {0x0C, nullptr, write_nothing, {}},
    {0x0D, "\n    IDPROM Format Revision   : %d", write_decimal, {{0, 1}}},
    {0x0E, "\n    Rack ID                  : %d", write_decimal, {{0, 1}}},
    // 2-byte class
    {0x40, "\n    Controller Type          : %04x", write_hex_numbers, {{0, 2}}},
    {0x41, "\n    Hardware Revision        : %d.%d", write_decimal, {{0, 1}, {1, 1}}},
    {0x42, "\n    PCA Revision             : ", write_ascii, {}},
    {0x43, "\n    MAC Addr. Block Size     : %d", write_decimal, {{0, 2}}},
    {0x44, "\n    Capabilities             : %02x", write_capabilities, {{0, 2}}},
    {0x45, "\n    Self test result         : ", write_hex, {}},
    {0x46, "\n    Boot Timeout (in ms)     : %d", write_decimal, {{0, 2}}},
    {0x47, "\n    Motherboard Channel ID   : %d", write_decimal, {{0, 2}}},
    {0x48, "\n    Controller Family        : %04x", write_hex_numbers, {{0, 2}}},
    {0x49, "\n    CLI Write Enable         : %04x", write_hex_numbers, {{0, 2}}},
    {0x4A, "\n    Radio Country Code       : %02x%02x", write_hex_numbers, {{0, 1}, {1, 1}}},
    // 4-byte class
    {0x80, "\n    Deviation Number         : %d-%d", write_decimal, {{0, 2}, {2, 2}}},
    {0x81, "\n    RMA Number               : %d-%d-%d-%d", write_decimal,
     {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
    {0x82, "\n    PCA Number               : %02d-%04d-%02d", write_decimal,
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x83, "\n    Hardware date code       : %08x", write_hex_numbers, {{0, 4}}},
    {0x84, "\n    Manufacturing Engineer   : ", write_hex, {}},
    {0x85, "\n    Fab Part Number          : %02d-%04d-%02d", write_decimal,
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x86, "\n    Calibration Data         : %08x", write_hex_numbers, {{0, 4}}},
    {0x87, "\n    Top Assy. Part Number    : %02d-%04d-%02d", write_decimal,
     {{0, 1}, {1, 2}, {3, 1}}},
    {0x88, "\n    Deviation Number #%2d     : %d", write_deviation, {{0, 4}}},
    {0x89, "\n    Version Identifier       : ", write_ascii, {}},
    {0x8A, "\n    PCA Revision             : ", write_ascii, {}},
    {0x8B, "\n    Licensing Transaction ID : %d", write_decimal, {{0, 4}}},
    {0x8C, "\n    Firmware Version         : %d.%d.%d.%d", write_decimal,
     {{0, 1}, {1, 1}, {2, 1}, {3, 1}}},
    {0x8D, "\n    Top Assy. Revision       : ", write_ascii, {}},
    {0x8E, "\n    ECI Number               : %d", write_decimal, {{0, 4}}},
    // variable class
    {0xC0, "\n    Top Assy. Part Number    : %03d-%0*d-%02d", write_top_assy,
     {{0, 2}, {2, 3}, {5, 1}}},
    {0xC1, "\n    PCB Serial Number        : ", write_ascii, {}},
    {0xC2, "\n    Chassis Serial Number    : ", write_ascii, {}},
    {0xC3, "\n    Chassis MAC Address      : %s", write_mac, {{0, 6}}},  // span, not a number
    {0xC4, "\n    Manufacturing Test Data  : ", write_hex, {}},
    {0xC5, "\n    Field Diagnostics Data   : ", write_hex, {}},
    {0xC6, "\n    CLEI Code                : ", write_ascii, {}},
    {0xC7, "\n    ENVMON Information       : ", write_envmon, {}},
    {0xC8, "\n    Calibration Data         : ", write_calibration, {{0, 1}, {1, 1}, {2, 1}}},
    {0xC9, "\n    Device values            : ", write_by_display_type, {}},
    {0xCB, "\n    PID                      : ", write_ascii, {}},
    {0xCC, "\n    Asset ID                 : ", write_field_by_display_type, {}},
    {0xCD, "\n    Calibration Data         : ", write_calibration, {{0, 1}, {1, 1}, {2, 1}}},
    {0xCE, "\n    Mainboard Serial Number  : ", write_ascii, {}},
    {0xCF, "\n    Base MAC Address         : %s", write_mac, {{0, 6}}},  // span, not a number
    {0xD0, nullptr, write_nothing, {}},
    {0xD1, nullptr, write_nothing, {}},
    {0xD2, "\n    Reserved for Manufacturing:", write_hex, {}},
    {0xD3, "\n    Longitudinal Calibration : ", write_hex, {}},
    {0xD4, "\n    Asset Alias              : ", write_field_by_display_type, {}},
    {0xD5, "\n    Processor Label          : ", write_field_by_display_type, {}},
    {0xD6, "\n    System Clock Freq (CPU)  : ", write_clock, {{0, 2}, {2, 2}}},  // hex spans
    {0xD7, "\n    Power Consumption        : %d Watts (Maximum)", write_power, {{0, 4}}},
    {0xD8, nullptr, write_nothing, {}},
    {0xD9, nullptr, write_nothing, {}},
    {0xDA, "\n    UDI Description          : ", write_ascii, {}},
    {0xDB, "\n    UDI Name                 : ", write_ascii, {}},
    {0xDF, "\n    Top Assy. Part Number    : %03d-%04d-%02d", write_decimal,
     {{0, 2}, {2, 2}, {4, 1}}},
    {0xE2, "\n    PCA Number               : %03d-%06d-%02d", write_decimal,
     {{0, 2}, {2, 3}, {5, 1}}},
    {0xE3, "\n    Fab Part Number          : %03d-%06d-%02d", write_decimal,
     {{0, 2}, {2, 3}, {5, 1}}},
    {0xEB, "\n    ECI Number               : ", write_ascii, {}},
    {0xF3, "\n    Environment Monitor Data : ", write_field_by_display_type, {}},
    {0xF4, "\n    Field Diagnostic Data    : ", write_field_by_display_type, {}},
};

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
  return true;
}
static_assert(rows_are_distinct(), "a type code stands in two catalogue rows");

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
