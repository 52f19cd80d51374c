// Plain forms of the operations that have fast paths in the library,
// written the obvious way, one step at a time.  The unit tests compare the
// library with them on random inputs; the benchmarks measure the library
// against them.  They use only the exported interface.
#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "idprom.h"

namespace idprom::reference {

// Field lookup by a walk through the exported decoder, entry by entry.
inline idprom_status get_field_data(const uint8_t *image, uint32_t image_length, uint32_t type,
                                    void *out, uint32_t out_size, bool exact, uint32_t instance) {
  if (image_length == 0 || image[0] == 0xFF) return IDPROM_ERR_NOT_FOUND;
  const uint8_t *const end = image + image_length;
  const uint8_t *pos = image;
  uint32_t count = 0;
  uint32_t t = 0, length = 0;
  const uint8_t *value = nullptr;
  for (;;) {
    value = idprom_get_entry(pos, end, &t, &length, nullptr);
    if (value == nullptr) return IDPROM_ERR_NOT_FOUND;
    if (t == type && ++count == instance) break;
    pos = value + length;
    if (pos >= end || *pos == 0xFF) return IDPROM_ERR_NOT_FOUND;
  }
  if (exact && length != out_size) return IDPROM_ERR_LENGTH_MISMATCH;
  if (!exact && length > out_size) return IDPROM_ERR_BUFFER_TOO_SMALL;
  const bool numeric = type < 0xC0 && type != 0x42 && type != 0x82 && type != 0x85 &&
                       type != 0x87 && type != 0x89 && type != 0x8A && type != 0x8D;
  uint32_t v = 0;
  for (uint32_t i = 0; i < length; ++i) v = v << 8 | value[i];
  if (numeric && length == 1) {
    const auto n = static_cast<uint8_t>(v);
    std::memcpy(out, &n, 1);
  } else if (numeric && length == 2) {
    const auto n = static_cast<uint16_t>(v);
    std::memcpy(out, &n, 2);
  } else if (numeric) {
    std::memcpy(out, &v, 4);
  } else {
    std::memcpy(out, value, length);
  }
  return IDPROM_OK;
}

// The rotate-and-add sum, one word after another: rotate the sum left by
// one, add the little-endian word with end-around carry.
inline uint32_t calculate_crc_words(uint32_t sum, const uint8_t *words, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, words += 4) {
    const uint32_t word = uint32_t{words[0]} | uint32_t{words[1]} << 8 |
                          uint32_t{words[2]} << 16 | uint32_t{words[3]} << 24;
    sum = sum << 1 | sum >> 31;
    sum += word;
    if (sum < word) ++sum;  // the carry out of bit 31 comes back in
  }
  return sum;
}

// The checksum: whole words, then the last one to three bytes zero-padded
// as one more word; 0 is returned as 1 and 0xFFFFFFFF as 0xFFFFFFFE.
inline uint32_t calculate_crc(const uint8_t *data, uint32_t length) {
  if (length == 0) return 1;
  uint32_t sum = calculate_crc_words(0, data, length / 4);
  if (length % 4 != 0) {
    uint8_t last[4] = {};
    std::memcpy(last, data + length / 4 * 4, length % 4);
    sum = calculate_crc_words(sum, last, 1);
  }
  if (sum == 0) return 1;
  if (sum == 0xFFFFFFFF) return 0xFFFFFFFE;
  return sum;
}

// CRC-16 over a buffer as the exported one-byte update applies it.
inline uint16_t crc_16_buf(const uint8_t *data, int32_t length) {
  uint16_t crc = 0;
  for (int32_t i = 0; i < length; ++i) crc_16(data[i], &crc);
  return crc;
}

// The enhanced dump into a buffer, each piece formatted on its own and
// appended through the output sink.
inline void enhanced_dump_to_buf(const uint8_t *data, uint32_t length, char *buf, uint32_t size) {
  buf[0] = '\n';
  uint32_t pos = 1;
  const uint32_t rounded = (length + 15) & 0xFFF0;
  const uint32_t dump = length < rounded ? length : rounded;
  for (uint32_t row = 0; row < dump; row += 16) {
    const uint32_t m = dump - row < 16 ? dump - row : 16;
    idprom_printf(buf, &pos, size, "  %03X:", row);
    for (uint32_t i = 0; i < m; ++i) idprom_printf(buf, &pos, size, " %02X", data[row + i]);
    for (uint32_t i = m; i < 16; ++i) idprom_printf(buf, &pos, size, "   ");
    idprom_printf(buf, &pos, size, "    ");
    for (uint32_t i = 0; i < m; ++i) {
      const uint8_t b = data[row + i];
      idprom_printf(buf, &pos, size, "%c", b >= 0x20 && b <= 0x7E ? b : '.');
    }
    idprom_printf(buf, &pos, size, "\n");
  }
}

// MAC text with every pair formatted by snprintf "%02x" at its own place,
// the bound clamped to 0..3, a dot over the terminator of every second pair
// but the last when the bound reaches it.
inline char *macstring_r(const uint8_t *mac, int32_t length, char *buf, int32_t size) {
  const size_t bound = size < 0 ? 0 : size > 3 ? 3 : static_cast<size_t>(size);
  char *out = buf;
  for (int32_t i = 0; i < length; ++i) {
    std::snprintf(out, bound, "%02x", mac[i]);
    out += 2;
    if (i + 1 < length && (i + 1) % 2 == 0) {
      if (bound == 3) *out = '.';
      ++out;
    }
  }
  return buf;
}

// Hex rendering with every piece formatted by printf: "%02x " per byte and
// "\n\t%27s" before bytes 8, 16, ...
inline void print_hex(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                      uint32_t size) {
  for (uint32_t i = 0; i < length; ++i) {
    if (i != 0 && i % 8 == 0) idprom_printf(buf, pos, size, "\n\t%27s", "");
    idprom_printf(buf, pos, size, "%02x ", value[i]);
  }
}

// Text rendering with every piece formatted by printf: "%c" for printable
// bytes, "<%02x>" for the others, up to the first zero byte.
inline void print_ascii(const uint8_t *value, uint32_t length, char *buf, uint32_t *pos,
                        uint32_t size) {
  for (uint32_t i = 0; i < length && value[i] != 0; ++i) {
    if (std::isprint(value[i]) != 0) {
      idprom_printf(buf, pos, size, "%c", value[i]);
    } else {
      idprom_printf(buf, pos, size, "<%02x>", value[i]);
    }
  }
}

}  // namespace idprom::reference

