// CRC-16 with the generator x^16 + x^12 + x^5 + 1 (0x1021), most significant
// bit first, nothing reflected; started at 0 with no final XOR it is the
// XMODEM CRC.
//
// crc_16 is the five-step byte update.  crc_16_buf computes the same CRC
// eight bytes per step ("slicing"): the CRC is linear, so the CRC of eight
// bytes is the XOR of what each byte contributes from its place, and
//
//   table[k][b] = CRC of byte b followed by k zero bytes (from 0)
//
// holds every contribution.  The current CRC folds into the first two data
// bytes (it is what they are XORed with in the register).  The eight tables
// (4 KiB) are constants computed at compile time from the five-step update
// itself, so they cannot disagree with it; nothing is built or kept at run
// time.  On x86-64, runs of 64 bytes and more are first folded by
// carry-less multiplication (crc16_fold.cpp) into 16 bytes with the same
// CRC, which the tables finish.  Built with IDPROM_SMALL_CRC (for flash-tight parts) there are no
// tables: crc_16_buf runs the five-step update byte by byte, same result.
#include <array>

#include "idprom.h"
#include "util/crc.hpp"

namespace idprom::util {
namespace {

#ifndef IDPROM_SMALL_CRC
constexpr int kSlice = 8;
using Tables = std::array<std::array<uint16_t, 256>, kSlice>;

constexpr Tables make_tables() {
  Tables t{};
  for (unsigned b = 0; b < 256; ++b) {
    uint16_t c = crc16_update(0, static_cast<uint8_t>(b));
    for (auto &table : t) {
      table[b] = c;
      c = crc16_update(c, 0);
    }
  }
  return t;
}

constexpr Tables kTables = make_tables();
static_assert(kTables[0][1] == 0x1021 && kTables[1][1] == crc16_update(0x1021, 0));

// CRC after the eight bytes at p, from crc.
uint16_t crc16_slice(uint16_t crc, const uint8_t *p) noexcept {
  const auto &t = kTables;
  return static_cast<uint16_t>(t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^
                               t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
}
#endif
#if IDPROM_CRC16_FOLD
constexpr uint32_t kFoldFrom = 64;  // below, the set-up costs more than it saves
#endif

}  // namespace
}  // namespace idprom::util

extern "C" IDPROM_API void idprom_crc_16(uint8_t byte, uint16_t *crc) noexcept {
  *crc = idprom::util::crc16_update(*crc, byte);
}

extern "C" IDPROM_API uint16_t idprom_crc_16_buf(const void *data, int32_t length) noexcept {
  using namespace idprom::util;
  if (length <= 0) return 0;
  const auto *p = static_cast<const uint8_t *>(data);
  auto left = static_cast<uint32_t>(length);
  uint16_t crc = 0;
#if IDPROM_CRC16_FOLD
  // The folded bytes stand for everything before the rest: the CRC
  // register after them is the one after the blocks.
  if (left >= kFoldFrom) {
    uint8_t folded[16];
    if (const uint8_t *end = crc16_fold(p, left / 16, folded); end != p) {
      crc = crc16_slice(crc16_slice(0, folded), folded + 8);
      left -= static_cast<uint32_t>(end - p);
      p = end;
    }
  }
#endif
#ifndef IDPROM_SMALL_CRC
  for (; left >= kSlice; left -= kSlice, p += kSlice) crc = crc16_slice(crc, p);
#endif
  for (; left > 0; --left) crc = crc16_update(crc, *p++);
  return crc;
}
