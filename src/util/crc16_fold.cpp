// CRC-16 by carry-less multiplication, on x86-64 processors that have it.
//
// Bits are polynomial coefficients over GF(2), the first byte's top bit the
// highest power: the CRC of a message M is M * x^16 mod P, P the generator.
// A 16-byte block, its bytes reversed into a 128-bit register, is such a
// polynomial of degree below 128.  Appending a block multiplies what came
// before by x^128 and adds the block; the product only has to stay
// congruent modulo P, so each 64-bit half of the register is multiplied
// by a 16-bit constant instead of its power of x:
//
//   A * x^d  =  A_hi * x^(d+64) + A_lo * x^d
//           ==  A_hi * (x^(d+64) mod P) + A_lo * (x^d mod P)    (mod P)
//
// two PCLMULQDQ of under 80 bits each, XORed with the next block.  Four
// registers take every fourth block (d = 512) to keep the multipliers
// busy; at the end they are folded into one, which is written back as 16
// bytes in message order.  Those bytes are congruent to the whole run, so
// their CRC is the run's: the caller finishes with the table path.
//
// Chosen per call from the processor's feature bits, which the compiler's
// run-time support fills in once, before any code of the program runs (a
// constructor of its own), and never changes: nothing here is written.
#include "util/crc.hpp"

#if IDPROM_CRC16_FOLD
#include <immintrin.h>

#include <array>
#include <cstdint>

namespace idprom::util {
namespace {

constexpr uint32_t kPoly = 0x11021;  // x^16 + x^12 + x^5 + 1

// x^d mod P.
constexpr uint64_t x_pow_mod(unsigned d) {
  uint32_t r = 1;
  for (; d > 0; --d) {
    r <<= 1;
    if ((r & 0x10000) != 0) r ^= kPoly;
  }
  return r;
}

static_assert(x_pow_mod(16) == 0x1021 && x_pow_mod(15) == 0x8000);

#define IDPROM_FOLD_TARGET __attribute__((target("pclmul,ssse3")))

// The constant pair that multiplies a register by x^D, computed at compile time.
template <unsigned D>
IDPROM_FOLD_TARGET inline __m128i by_x_pow() {
  constexpr uint64_t lo = x_pow_mod(D), hi = x_pow_mod(D + 64);
  return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
}

IDPROM_FOLD_TARGET inline __m128i fold(__m128i a, __m128i k) {
  return _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x00), _mm_clmulepi64_si128(a, k, 0x11));
}

// Reverses the 16 bytes: message order <-> polynomial order.
IDPROM_FOLD_TARGET inline __m128i reversed(__m128i v) {
  return _mm_shuffle_epi8(v, _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

IDPROM_FOLD_TARGET inline __m128i block(const uint8_t *p) {
  return reversed(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)));
}

IDPROM_FOLD_TARGET const uint8_t *fold_blocks(const uint8_t *p, uint32_t blocks, uint8_t *out) noexcept {
  __m128i a = block(p);
  p += 16;
  --blocks;
  if (blocks >= 7) {
    __m128i r[4] = {a, block(p), block(p + 16), block(p + 32)};
    p += 48;
    blocks -= 3;
    const __m128i k512 = by_x_pow<512>();
    for (; blocks >= 4; blocks -= 4, p += 64)
      for (size_t i = 0; i < 4; ++i) r[i] = _mm_xor_si128(fold(r[i], k512), block(p + 16 * i));
    a = _mm_xor_si128(_mm_xor_si128(fold(r[0], by_x_pow<384>()), fold(r[1], by_x_pow<256>())),
                      _mm_xor_si128(fold(r[2], by_x_pow<128>()), r[3]));
  }
  const __m128i k128 = by_x_pow<128>();
  for (; blocks > 0; --blocks, p += 16) a = _mm_xor_si128(fold(a, k128), block(p));
  _mm_storeu_si128(reinterpret_cast<__m128i *>(out), reversed(a));
  return p;
}

}  // namespace

const uint8_t *crc16_fold(const uint8_t *p, uint32_t blocks, uint8_t *out) noexcept {
  if (blocks == 0 || !__builtin_cpu_supports("pclmul") || !__builtin_cpu_supports("ssse3")) return p;
  return fold_blocks(p, blocks, out);
}

}  // namespace idprom::util
#endif
