// MAC address conversions between six bytes, text and a 48-bit integer.
#include <cstdio>

#include "idprom.h"

extern "C" IDPROM_API char *macstring_r(const uint8_t *mac, int32_t length, char *buf,
                                        int32_t size) noexcept {
  // Each pair is formatted with the caller's bound, counted from the pair's
  // own place; a negative bound is treated as 0 (nothing formatted).
  const size_t bound = size > 0 ? static_cast<size_t>(size) : 0;
  char *out = buf;
  for (int32_t i = 0; i < length; ++i) {
    std::snprintf(out, bound, "%02x", mac[i]);
    out += 2;
    if (i + 1 < length && (i + 1) % 2 == 0) *out++ = '.';
  }
  return buf;
}
