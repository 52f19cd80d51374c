// Value renderers.  Every byte, number or character is its own write to
// the sink, so a buffer that fills up cuts the text at a piece boundary
// and the position still counts the whole text.
//
// The pieces of fixed shape ("%02x ", "%c", "<%02x>" and the row break) are
// made here and handed to the sink as text, the same characters printf
// would make; numbers still go through printf.  A listing is mostly such
// pieces, and formatting each with printf took most of its time.
#include "print/render.hpp"

#include <cctype>

#include "codec/bigendian.hpp"
#include "print/sink.hpp"

namespace idprom::print {
namespace {

constexpr uint32_t kBytesPerRow = 8;
constexpr char kLowerHex[] = "0123456789abcdef";
// "\n\t%27s" of an empty string: a newline, a tab and 27 spaces.
constexpr char kRowBreak[] = "\n\t                           ";
static_assert(sizeof kRowBreak - 1 == 2 + 27);

// Display attributes, in the position they have in a one-byte length field.
constexpr uint32_t kAttributeDecimal = 0x40;
constexpr uint32_t kAttributeText = 0x80;

// Decimal attribute: lengths 1, 2 and wide_length (4 for values, 8 for the
// field variant, which shows only the first four bytes) are one big-endian
// number; any other non-zero length is dotted, byte by byte (10.1.2.3).
void print_decimal(const uint8_t *value, uint32_t length, uint32_t wide_length, char *buf,
                   uint32_t *pos, uint32_t size) noexcept {
  if (length == 0) return;
  if (length == 1 || length == 2) {
    sink_printf(buf, pos, size, "%d", static_cast<int>(codec::load_be(value, length)));
  } else if (length == wide_length) {
    // A signed conversion: numbers from 0x80000000 on print negative.
    sink_printf(buf, pos, size, "%d", static_cast<int>(codec::load_be(value, 4)));
  } else {
    sink_printf(buf, pos, size, "%d", value[0]);
    for (uint32_t i = 1; i < length; ++i) sink_printf(buf, pos, size, ".%d", value[i]);
  }
}

void print_by_attribute(const uint8_t *value, uint32_t attribute, uint32_t length,
                        uint32_t wide_length, char *buf, uint32_t *pos, uint32_t size) noexcept {
  if (attribute == kAttributeDecimal) {
    print_decimal(value, length, wide_length, buf, pos, size);
  } else if (attribute == kAttributeText) {
    idprom_print_ascii(value, length, buf, pos, size);
  } else {
    idprom_print_hex(value, length, buf, pos, size);
  }
}

}  // namespace

void print_row_break(char *buf, uint32_t *pos, uint32_t size) noexcept {
  sink_put(buf, pos, size, kRowBreak, sizeof kRowBreak - 1);
}

void idprom_print_hex(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                      uint32_t size) noexcept {
  for (uint32_t i = 0; i < length; ++i) {
    if (i != 0 && i % kBytesPerRow == 0) print_row_break(buf, pos, size);
    const char piece[] = {kLowerHex[value[i] >> 4], kLowerHex[value[i] & 0xF], ' '};  // "%02x "
    sink_put(buf, pos, size, piece, sizeof piece);
  }
}

void idprom_print_ascii(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                        uint32_t size) noexcept {
  for (uint32_t i = 0; i < length && value[i] != 0; ++i) {
    if (std::isprint(value[i]) != 0) {
      const auto piece = static_cast<char>(value[i]);  // "%c"
      sink_put(buf, pos, size, &piece, 1);
    } else {
      const char piece[] = {'<', kLowerHex[value[i] >> 4], kLowerHex[value[i] & 0xF], '>'};
      sink_put(buf, pos, size, piece, sizeof piece);  // "<%02x>"
    }
  }
}

void idprom_print_field_by_display_type(const uint8_t *value, uint32_t attribute, uint32_t length,
                                        char *buf, uint32_t *pos, uint32_t size) noexcept {
  print_by_attribute(value, attribute, length, 8, buf, pos, size);
}

}  // namespace idprom::print

extern "C" IDPROM_API void idprom_print_by_display_type(const uint8_t *value, uint32_t attribute,
                                                        uint32_t length, char *buf, uint32_t *pos,
                                                        uint32_t size) noexcept {
  idprom::print::print_by_attribute(value, attribute, length, 4, buf, pos, size);
}
