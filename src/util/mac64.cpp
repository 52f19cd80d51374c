// MAC address as a 48-bit integer: byte 0 in bits 47..40 down to byte 5 in
// bits 7..0; the upper 16 bits are zero here and ignored when read.
#include "idprom.h"

extern "C" IDPROM_API int32_t idprom_mac64_to_macbuf(uint64_t value, uint8_t *mac) noexcept {
  for (int i = 5; i >= 0; --i, value >>= 8) mac[i] = static_cast<uint8_t>(value);
  return 6;
}

extern "C" IDPROM_API uint64_t idprom_macbuf_to_mac64(const uint8_t *mac) noexcept {
  uint64_t value = 0;
  for (int i = 0; i < 6; ++i) value = value << 8 | mac[i];
  return value;
}
