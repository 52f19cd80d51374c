// The output sink: printf to standard output (stdout.cpp), or append to a
// bounded buffer through an 80-byte scratch.
//
//   buf: [ text already written | piece, cut to fit | \0 ]   size
//                              ^ *pos                          ^
//
// *pos advances by the whole (scratch-limited) piece even where the buffer
// cut it, so it counts what was formatted; once it reaches size nothing
// more is written.
#include "print/sink.hpp"

#include <cstring>

namespace idprom::print {

void sink_write(char *buf, uint32_t *pos, uint32_t size, const char *text, uint32_t len) noexcept {
  if (*pos >= size) return;
  const uint32_t room = size - *pos - 1;  // leave space for the zero byte
  const uint32_t n = len < room ? len : room;
  std::memcpy(buf + *pos, text, n);
  buf[*pos + n] = '\0';
  // Saturate rather than wrap: a position past size writes nothing anyway.
  *pos = len > UINT32_MAX - *pos ? UINT32_MAX : *pos + len;
}

void sink_put(char *buf, uint32_t *pos, uint32_t size, const char *text, uint32_t len) noexcept {
  if (buf == nullptr) {
    stdout_put(text, len);
  } else {
    sink_write(buf, pos, size, text, len);
  }
}

void sink_vprintf(char *buf, uint32_t *pos, uint32_t size, const char *format,
                  va_list args) noexcept {
  if (buf == nullptr) {
    stdout_vprintf(format, args);
    return;
  }
  if (*pos >= size) return;
  char scratch[kScratchSize];
  const uint32_t n = format_piece(scratch, kScratchSize, format, args);
  sink_write(buf, pos, size, scratch, n < kScratchSize ? n : kScratchSize - 1);
}

void sink_printf(char *buf, uint32_t *pos, uint32_t size, const char *format, ...) noexcept {
  va_list args;
  va_start(args, format);
  sink_vprintf(buf, pos, size, format, args);
  va_end(args);
}

}  // namespace idprom::print
