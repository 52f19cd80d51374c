// The rotate-and-add sum of many words, computed in parallel.
//
// Rotating a 32-bit value left by one is doubling it modulo M = 2^32 - 1,
// and addition with end-around carry is addition modulo M.  So adding the
// words w0 ... w(n-1) to a running sum gives
//
//   sum * 2^n + w0 * 2^(n-1) + w1 * 2^(n-2) + ... + w(n-1)        (mod M)
//
// and since 2^32 = 1 (mod M), the weight of word i depends only on i mod 32.
// The words of each class are therefore summed on their own, in 64-bit lanes
// where no carry needs chasing, and the class sums are weighted once at the
// end.  Classes 16 to 31 are multiplied by 2^16 on the fly (a 16-bit shift),
// which leaves 16 sums: eight vector registers of two lanes.
//
//   block of 32 words:  w0 .. w15        w16 .. w31
//   lane sums:          c0 .. c15   +=   (w16 .. w31) << 16
//
// The lanes take the words in little-endian order on any host: a
// big-endian host swaps each lane's bytes after loading it.  Built with
// IDPROM_SMALL_CRC, or for a target without vector registers, every run is
// summed one word at a time (same result, a fraction of the code).  On
// x86-64 processors with 256-bit registers (asked per call, from the
// feature bits the compiler's run-time support fills in before the program
// starts) a block takes four of them, one lane half per class.
//
// Modulo M, 0 and 0xFFFFFFFF are the same number; the sequential sum is 0
// only when the start and every word are 0, and 0xFFFFFFFF otherwise, which
// is the choice made at the end here too.
#include <bit>
#include <cstddef>
#include <cstring>

#include "util/crc.hpp"

namespace idprom::util {
namespace {

constexpr uint64_t kM = 0xFFFFFFFF;
constexpr uint32_t kBlockWords = 32;
constexpr uint32_t kBlockBytes = 4 * kBlockWords;
constexpr uint32_t kClasses = 32;  // the narrow lanes fill the first 16 only
// A block adds less than 2^49 to a lane: 2^14 blocks keep every lane, and
// the lower-word sum recovered from it, below 2^64.
constexpr uint32_t kChunkBlocks = 1U << 14;

using Lanes = uint64_t __attribute__((vector_size(16)));

uint32_t load_le32(const uint8_t *p) noexcept {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// x modulo M, as a value from 0 to M (M standing for 0).
uint32_t fold(uint64_t x) noexcept {
  x = (x >> 32) + (x & kM);
  x = (x >> 32) + (x & kM);
  return static_cast<uint32_t>(x);
}

// v * 2^k modulo M.
uint32_t rotate_left(uint32_t v, uint32_t k) noexcept { return std::rotl(v, static_cast<int>(k % 32)); }

// One step of the sequential definition: rotate, then add with end-around carry.
uint32_t add_word(uint32_t sum, uint32_t word) noexcept {
  sum = std::rotl(sum, 1);
  const uint32_t s = sum + word;
  return s < word ? s + 1 : s;
}

// Adds the class sums of `blocks` whole blocks at p (at most kChunkBlocks)
// to cls, each reduced modulo M; returns the end of the blocks.  Each lane
// holds a pair of words, w(2j) in its low half: `all` sums the lanes whole
// (modulo 2^64) and `high` their upper words alone, so the sum of the lower
// words is all - (high << 32).
// Two little-endian 64-bit lanes from 16 bytes (any alignment).  Through a
// pointer: a vector return value would depend on the target's vector ABI.
void load_lanes(const uint8_t *p, Lanes *v) noexcept {
  std::memcpy(v, p, sizeof *v);
  if constexpr (std::endian::native == std::endian::big) {
    *v = Lanes{__builtin_bswap64((*v)[0]), __builtin_bswap64((*v)[1])};
  }
}

const uint8_t *sum_chunk(const uint8_t *p, uint32_t blocks, uint64_t *cls) noexcept {
  Lanes all[4] = {}, high[4] = {};
  for (; blocks > 0; --blocks, p += kBlockBytes) {
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      // words 4k .. 4k+3 and 16+4k .. 19+4k
      const std::ptrdiff_t at = 16 * std::ptrdiff_t{k};
      Lanes first, second;
      load_lanes(p + at, &first);
      load_lanes(p + kBlockBytes / 2 + at, &second);
      all[k] += first + (second << 16);
      high[k] += (first >> 32) + ((second >> 32) << 16);
    }
  }
  for (int k = 0; k < 4; ++k) {
    for (int lane = 0; lane < 2; ++lane) {
      cls[4 * k + 2 * lane] += fold(all[k][lane] - (high[k][lane] << 32));
      cls[4 * k + 2 * lane + 1] += fold(high[k][lane]);
    }
  }
  return p;
}

#if IDPROM_CRC32_WIDE
// The same class sums in wider registers, where the processor has them:
// lanes of two words, every class a lane half of its own (no shifted second
// half), so each register of words costs one load, one shift and two
// additions.  Written once for both widths; the wrappers below compile it
// for 256-bit and for 512-bit registers.
using Lanes256 = uint64_t __attribute__((vector_size(32)));
using Lanes512 = uint64_t __attribute__((vector_size(64)));

template <typename Wide>
[[gnu::always_inline]] inline const uint8_t *sum_chunk_wide(const uint8_t *p, uint32_t blocks,
                                                            uint64_t *cls) noexcept {
  constexpr int kBytes = sizeof(Wide);
  constexpr int kRegs = kBlockBytes / kBytes, kLanes = kBytes / 8;
  Wide all[kRegs] = {}, high[kRegs] = {};
  for (; blocks > 0; --blocks, p += kBlockBytes) {
#pragma GCC unroll 4
    for (int k = 0; k < kRegs; ++k) {
      Wide v;
      std::memcpy(&v, p + kBytes * std::ptrdiff_t{k}, sizeof v);
      all[k] += v;
      high[k] += v >> 32;
    }
  }
  uint64_t a[kRegs * kLanes], h[kRegs * kLanes];  // the lanes in order
  std::memcpy(a, all, sizeof a);
  std::memcpy(h, high, sizeof h);
  for (size_t i = 0; i < size_t{kRegs} * kLanes; ++i) {
    cls[2 * i] += fold(a[i] - (h[i] << 32));
    cls[2 * i + 1] += fold(h[i]);
  }
  return p;
}

__attribute__((target("avx2"))) const uint8_t *sum_chunk_256(const uint8_t *p, uint32_t blocks,
                                                             uint64_t *cls) noexcept {
  return sum_chunk_wide<Lanes256>(p, blocks, cls);
}

__attribute__((target("avx512f"))) const uint8_t *sum_chunk_512(const uint8_t *p, uint32_t blocks,
                                                                uint64_t *cls) noexcept {
  return sum_chunk_wide<Lanes512>(p, blocks, cls);
}
#endif

uint32_t sum_sequential(uint32_t sum, const uint8_t *words, uint32_t count) noexcept {
  for (uint32_t i = 0; i < count; ++i, words += 4) sum = add_word(sum, load_le32(words));
  return sum;
}

}  // namespace

uint32_t calculate_crc_words(uint32_t sum, const uint8_t *words, uint32_t count) noexcept {
  // Short runs are cheaper one word at a time.  The lanes pay only on a
  // target with vector registers; elsewhere (a Cortex-M, i686 without SSE2)
  // the compiler emulates them in more code than the plain loop, for no
  // speed, and the small-CRC build leaves them out too.  s390x keeps them,
  // so that the cross build proves the byte-swapped lanes.
#if defined(IDPROM_SMALL_CRC) || \
    !(defined(__SSE2__) || defined(__ARM_NEON) || defined(__ALTIVEC__) || defined(__s390x__))
  constexpr bool kSmall = true;
#else
  constexpr bool kSmall = false;
#endif
  if (kSmall || count < kBlockWords) return sum_sequential(sum, words, count);
  return sum_words_parallel(sum, words, count);
}

uint32_t sum_words_parallel(uint32_t sum, const uint8_t *words, uint32_t count) noexcept {
  if (count == 0) return sum;
  uint64_t cls[kClasses] = {};
#if IDPROM_CRC32_WIDE
  // The wide registers pay from some eight blocks on: below, weighing twice
  // the classes at the end costs more than they save.
  const bool long_run = count >= 8 * kBlockWords;
  const auto sum_blocks = !long_run                          ? sum_chunk
                          : __builtin_cpu_supports("avx512f") ? sum_chunk_512
                          : __builtin_cpu_supports("avx2")    ? sum_chunk_256
                                                              : sum_chunk;
#else
  const auto sum_blocks = sum_chunk;
#endif
  for (uint32_t blocks = count / kBlockWords; blocks > 0;) {
    const uint32_t chunk = blocks < kChunkBlocks ? blocks : kChunkBlocks;
    words = sum_blocks(words, chunk, cls);
    blocks -= chunk;
  }
  // total = sum of w(i) * 2^-i, with 2^-c = 2^(32-c).
  uint64_t any = 0, total = 0;
  for (uint32_t c = 0; c < kClasses; ++c) {
    any |= cls[c];
    total += rotate_left(fold(cls[c]), kBlockWords - c);
  }
  for (uint32_t i = count - count % kBlockWords; i < count; ++i, words += 4) {
    const uint32_t w = load_le32(words);
    any |= w;
    total += rotate_left(w, kBlockWords - i % kBlockWords);
  }
  if (sum == 0 && any == 0) return 0;
  const uint32_t r = fold(uint64_t{rotate_left(sum, count)} + rotate_left(fold(total), count - 1));
  return r == 0 ? static_cast<uint32_t>(kM) : r;
}

}  // namespace idprom::util
