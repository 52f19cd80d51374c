// The utilities' short names, each the idprom_ function of the same name,
// for existing callers.  Left out of the library by -DIDPROM_SHORT_NAMES=OFF
// (the file is then not built), for firmware that has functions of these
// names itself.
#include "idprom.h"

extern "C" {

IDPROM_API uint32_t calculate_crc(const void *data, uint32_t length) noexcept {
  return idprom_calculate_crc(data, length);
}

IDPROM_API void crc_16(uint8_t byte, uint16_t *crc) noexcept { idprom_crc_16(byte, crc); }

IDPROM_API uint16_t crc_16_buf(const void *data, int32_t length) noexcept {
  return idprom_crc_16_buf(data, length);
}

IDPROM_API int32_t actoh(char ch) noexcept { return idprom_actoh(ch); }

IDPROM_API char *macstring_r(const uint8_t *mac, int32_t length, char *buf,
                             int32_t size) noexcept {
  return idprom_macstring_r(mac, length, buf, size);
}

IDPROM_API void macbuf_r(const char *text, uint8_t *mac) noexcept { idprom_macbuf_r(text, mac); }

IDPROM_API int32_t mac64_to_macbuf(uint64_t value, uint8_t *mac) noexcept {
  return idprom_mac64_to_macbuf(value, mac);
}

IDPROM_API uint64_t macbuf_to_mac64(const uint8_t *mac) noexcept {
  return idprom_macbuf_to_mac64(mac);
}

}  // extern "C"
