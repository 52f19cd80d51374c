// 32-bit rotate-and-add checksum.
//
// The data is read as little-endian 32-bit words; for each word the sum is
// rotated left by one bit and the word added with end-around carry (one's-
// complement addition).  A trailing 1 to 3 bytes form one more word, padded
// with zero bytes at the top:
//
//   bytes  b0 b1 b2 b3 | b4 b5 b6 b7 | b8 b9
//   words  b3b2b1b0      b7b6b5b4      00 00 b9 b8
//
// The words are summed by calculate_crc_words (crc32_words.cpp).
#include <cstring>

#include "idprom.h"
#include "util/crc.hpp"

extern "C" IDPROM_API uint32_t idprom_calculate_crc(const void *data, uint32_t length) noexcept {
  if (length == 0) return 1;
  const auto *bytes = static_cast<const uint8_t *>(data);
  const uint32_t whole = length / 4;
  uint32_t sum = idprom::util::calculate_crc_words(0, bytes, whole);
  if (const uint32_t rest = length % 4; rest != 0) {
    uint8_t last[4] = {0, 0, 0, 0};  // a copy: the caller's bytes are never written
    std::memcpy(last, bytes + 4 * static_cast<size_t>(whole), rest);
    sum = idprom::util::calculate_crc_words(sum, last, 1);
  }
  // 0 and 0xFFFFFFFF are the two encodings of zero in one's complement;
  // neither is ever returned.
  if (sum == 0) return 1;
  if (sum == 0xFFFFFFFFu) return 0xFFFFFFFEu;
  return sum;
}
