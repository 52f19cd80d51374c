// CRC-16 with the generator x^16 + x^12 + x^5 + 1 (0x1021), most significant
// bit first, nothing reflected; started at 0 with no final XOR it is the
// XMODEM CRC.
//
// The byte update is the eight shift-and-XOR steps of the definition folded
// into five operations on the 16-bit value: with the data byte XORed into the
// top byte, only the top byte decides what is XORed in, and the polynomial's
// terms at bits 12, 5 and 0 give the three shifted copies below.
#include "idprom.h"

extern "C" IDPROM_API void crc_16(uint8_t byte, uint16_t *crc) noexcept {
  auto c = static_cast<uint16_t>(*crc >> 8 | *crc << 8);  // 1. swap the bytes
  c ^= byte;                                                // 2. byte into the low byte
  c ^= static_cast<uint16_t>((c & 0xFFu) >> 4);             // 3.
  c ^= static_cast<uint16_t>(c << 12);                      // 4. bits above 15 dropped
  c ^= static_cast<uint16_t>((c & 0xFFu) << 5);             // 5.
  *crc = c;
}

extern "C" IDPROM_API uint16_t crc_16_buf(const void *data, int32_t length) noexcept {
  uint16_t crc = 0;
  const auto *bytes = static_cast<const uint8_t *>(data);
  for (int32_t i = 0; i < length; ++i) crc_16(bytes[i], &crc);
  return crc;
}
