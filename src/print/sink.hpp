// Internal interface of the output sink.  Every text the library produces
// goes through it: to standard output when buf is null, otherwise appended
// to the caller's bounded buffer at *pos.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "idprom.h"

namespace idprom::print {

// A piece written to a buffer is formatted into a scratch of this size, so
// at most kScratchSize - 1 characters of it reach the buffer.
inline constexpr uint32_t kScratchSize = 80;

// The caller's sink: buffer (or null for standard output), write position
// and capacity.  Passed around by value; pos points at the caller's counter.
struct Sink {
  char *buf;
  uint32_t *pos;
  uint32_t size;
};

// The library's own texts through the sink: formatted by format_piece into
// the scratch for a buffer, by vprintf for standard output.  The formats
// are limited to format_piece's conversions.
void sink_vprintf(char *buf, uint32_t *pos, uint32_t size, const char *format,
                  va_list args) noexcept IDPROM_PRINTF_FORMAT(4, 0);
void sink_printf(char *buf, uint32_t *pos, uint32_t size, const char *format,
                 ...) noexcept IDPROM_PRINTF_FORMAT(4, 5);

// snprintf for the conversions %d, %x, %X, %c, %s and %% with a 0 flag,
// a width and a precision (digits or *) only (format.cpp): writes at most
// cap - 1 characters and a zero byte (nothing when cap is 0) and returns
// the length of the whole text.
uint32_t format_piece(char *buf, uint32_t cap, const char *format, va_list args) noexcept;

// Appends text of len characters (len <= kScratchSize - 1 for a buffer) by
// the sink's rules, without formatting.
void sink_write(char *buf, uint32_t *pos, uint32_t size, const char *text, uint32_t len) noexcept;

// A piece already formatted: text of len characters (len <= kScratchSize - 1),
// written exactly as idprom_printf would write a format producing it, to
// standard output when buf is null, else appended by the sink's rules.
// The renderers' and dumps' fixed-shape pieces use it instead of printf.
void sink_put(char *buf, uint32_t *pos, uint32_t size, const char *text, uint32_t len) noexcept;

// The standard-output half (stdout.cpp): printf-style, a piece already
// formatted, and the field printer's format-error line
// "\n\tIDPROM FIELD FORMAT ERROR, index 0x%x".  Without standard output
// (IDPROM_NO_STDOUT) they write nothing.
void stdout_vprintf(const char *format, va_list args) noexcept IDPROM_PRINTF_FORMAT(1, 0);
void stdout_put(const char *text, uint32_t len) noexcept;
void stdout_format_error(uint32_t offset) noexcept;

}  // namespace idprom::print
