// Checksums against their one-step forms, on any bytes at any alignment.
//
// Input:  shift  data...
//   shift bits 3-0  the data's offset in its block (0-15), so that every
//                   alignment of the wide and folding paths is reached
//
// Properties:
// - crc_16_buf equals the one-byte update applied to each byte in turn;
// - calculate_crc equals rotate-then-add word by word, a zero-padded last
//   word, 0 and 0xFFFFFFFF replaced; calculate_crc_words and
//   sum_words_parallel equal the same sum from a start taken from the data;
// - neither reads outside the data (the block is exactly offset + length).
#include <cstring>

#include "fuzz_support.hpp"
#include "util/crc.hpp"

using namespace idprom::fuzz;

namespace {

uint32_t words_one_by_one(uint32_t sum, const uint8_t *p, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i, p += 4) {
    const uint32_t word = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
    sum = (sum << 1 | sum >> 31) + word;
    if (sum < word) ++sum;
  }
  return sum;
}

uint32_t checksum_one_by_one(const uint8_t *p, uint32_t n) {
  if (n == 0) return 1;
  uint32_t sum = words_one_by_one(0, p, n / 4);
  if (n % 4 != 0) {
    uint8_t last[4] = {};
    std::memcpy(last, p + n / 4 * 4, n % 4);
    sum = words_one_by_one(sum, last, 1);
  }
  return sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in(data, size);
  const size_t shift = in.u8() & 15U;
  const auto n = static_cast<uint32_t>(std::min<size_t>(in.rest_size(), 0x7FFFFFFF));
  Block block(shift + n);
  if (n > 0) std::memcpy(block.data() + shift, in.rest(), n);
  const uint8_t *const p = block.data() + shift;

  uint16_t crc = 0;
  for (uint32_t i = 0; i < n; ++i) idprom_crc_16(p[i], &crc);
  FUZZ_CHECK(idprom_crc_16_buf(p, static_cast<int32_t>(n)) == crc);

  FUZZ_CHECK(idprom_calculate_crc(p, n) == checksum_one_by_one(p, n));
  const uint32_t start = n >= 4 ? words_one_by_one(0, p, 1) : 0;
  const uint32_t want = words_one_by_one(start, p, n / 4);
  FUZZ_CHECK(idprom::util::calculate_crc_words(start, p, n / 4) == want);
  FUZZ_CHECK(idprom::util::sum_words_parallel(start, p, n / 4) == want);
  return 0;
}
