// Internal interface of the value renderers: a value's bytes as hex, as
// printable text, or by the entry's display attribute.  Every renderer
// writes through the output sink (buf, pos, size) of sink.hpp.
#pragma once

#include <cstdint>

#include "idprom.h"

namespace idprom::print {

// The break a long run of bytes takes after every 8th byte: a newline, a tab
// and 27 spaces, so that the next byte lines up under the first one.
void print_row_break(char *buf, uint32_t *pos, uint32_t size) noexcept;

// Each byte as "%02x " (two lower-case digits and a space), with a row break
// before byte 8, 16, ...  Length 0 writes nothing.
void idprom_print_hex(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                      uint32_t size) noexcept;

// The bytes as text up to length or the first zero byte: printable bytes
// (isprint in the running locale) as themselves, any other as "<%02x>".
void idprom_print_ascii(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                        uint32_t size) noexcept;

// idprom_print_by_display_type, except that the decimal attribute shows a
// length of 8 as one signed 32-bit number (the first four bytes; the rest
// are not shown), and a length of 4 dotted, byte by byte.
void idprom_print_field_by_display_type(const uint8_t *value, uint32_t attribute, uint32_t length,
                                        char *buf, uint32_t *pos, uint32_t size) noexcept;

}  // namespace idprom::print
