// The standard-output half of the sink: everything the library writes to
// standard output goes through these three functions, and no other file
// names printf, vprintf or fwrite.  A program that lists only into buffers
// therefore links none of them from here when the library is built without
// standard output (IDPROM_NO_STDOUT, the IDPROM_STDOUT=OFF build for
// boards that have none): the output is then dropped.
#include <cstdio>

#include "print/sink.hpp"

namespace idprom::print {

#ifndef IDPROM_NO_STDOUT

void stdout_vprintf(const char *format, va_list args) noexcept { std::vprintf(format, args); }

void stdout_put(const char *text, uint32_t len) noexcept { std::fwrite(text, 1, len, stdout); }

void stdout_format_error(uint32_t offset) noexcept {
  std::printf("\n\tIDPROM FIELD FORMAT ERROR, index 0x%x", static_cast<unsigned>(offset));
}

#else

void stdout_vprintf(const char *, va_list) noexcept {}
void stdout_put(const char *, uint32_t) noexcept {}
void stdout_format_error(uint32_t) noexcept {}

#endif

}  // namespace idprom::print
