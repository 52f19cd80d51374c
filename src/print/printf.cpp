// idprom_printf: the sink for a caller's own texts, in any printf format.
// It formats with vsnprintf (the library's own texts use the smaller
// format_piece), so only a program that calls it links the C library's
// formatter.
#include <cstdio>

#include "print/sink.hpp"

extern "C" IDPROM_API void idprom_printf(char *buf, uint32_t *pos, uint32_t size,
                                         const char *format, ...) noexcept {
  using namespace idprom::print;
  va_list args;
  va_start(args, format);
  if (buf == nullptr) {
    stdout_vprintf(format, args);
  } else if (*pos < size) {
    char scratch[kScratchSize];
    int n = std::vsnprintf(scratch, sizeof scratch, format, args);
    if (n < 0) n = 0;  // an encoding error writes an empty piece
    const auto len = static_cast<uint32_t>(n) < kScratchSize ? static_cast<uint32_t>(n)
                                                               : kScratchSize - 1;
    sink_write(buf, pos, size, scratch, len);
  }
  va_end(args);
}
