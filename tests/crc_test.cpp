// Checksums: the 32-bit rotate-and-add sum and CRC-16 (XMODEM), each against
// its definition written out here, on every short input and random long ones.
#include <numeric>
#include <random>
#include <string>

#include "test_util.hpp"
#include "util/crc.hpp"

using idprom::test::Bytes;
using idprom::test::exact_copy;

namespace {

// The sum by its definition: rotate left by one, add the next little-endian
// word with end-around carry; a partial word is zero-padded; 0 reads as 1 and
// 0xFFFFFFFF as 0xFFFFFFFE.
uint32_t sum_words(uint32_t sum, const uint8_t *p, size_t words) {
  for (size_t i = 0; i < words; ++i, p += 4) {
    sum = sum << 1 | sum >> 31;
    const uint64_t t = uint64_t{sum} + (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    sum = static_cast<uint32_t>(t) + static_cast<uint32_t>(t >> 32);
  }
  return sum;
}
uint32_t checksum(const uint8_t *p, size_t n) {
  Bytes padded(p, p + n);
  padded.resize((n + 3) / 4 * 4, 0);
  const uint32_t sum = sum_words(0, padded.data(), padded.size() / 4);
  return sum == 0 ? 1 : sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum;
}

// CRC-16 by its definition: eight shifts, XOR 0x1021 after each that moves a
// 1 out of bit 15.
uint16_t crc16_bitwise(uint16_t crc, uint8_t byte) {
  uint32_t c = crc ^ static_cast<uint32_t>(byte) << 8;
  for (int i = 0; i < 8; ++i) c = (c & 0x8000) ? (c << 1 ^ 0x1021) : c << 1;
  return static_cast<uint16_t>(c);
}

// Published check values, and every input of up to two bytes.
TEST(Checksum, PublishedValuesAndEveryShortInput) {
  const Bytes digits = exact_copy({'1', '2', '3', '4', '5', '6', '7', '8', '9'});
  EXPECT_EQ(idprom_calculate_crc(digits.data(), 9), 0x413B3568u);
  EXPECT_EQ(idprom_crc_16_buf(digits.data(), 9), 0x31C3);  // the XMODEM check value
  for (const int32_t length : {0, -1, INT32_MIN}) EXPECT_EQ(idprom_crc_16_buf(nullptr, length), 0) << length;
  for (uint32_t length = 0; length <= 2; ++length)
    for (uint32_t v = 0; v < 1U << (8 * length); ++v) {
      const Bytes in = exact_copy(Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)});
      ASSERT_EQ(idprom_calculate_crc(in.data(), length), checksum(in.data(), length)) << v;
    }
}

// Random inputs up to 40 blocks at every alignment: random bytes, all 0xFF
// (every word is 0 modulo 2^32 - 1), sparse bytes, and words closed by the one
// that brings the sum to 0 modulo 2^32 - 1; the caller's bytes stay as they were.
TEST(Checksum, MatchesDefinitionOnRandomInputs) {
  std::mt19937 rng(4242);
  for (int round = 0; round < 4000; ++round) {
    const auto length = static_cast<uint32_t>(rng() % (40 * 128)), offset = static_cast<uint32_t>(rng() % 4),
               flavour = static_cast<uint32_t>(rng() % 4);
    Bytes buf(offset + length);
    for (auto &b : buf) b = static_cast<uint8_t>(flavour == 1 ? 0xFF : flavour == 2 && rng() % 8 ? 0 : rng());
    uint8_t *const data = buf.data() + offset;
    if (flavour == 3 && length >= 4) {
      const uint32_t sum = sum_words(0, data, length / 4 - 1), rotated = sum << 1 | sum >> 31;
      const uint32_t closing = rotated == 0xFFFFFFFF ? 0 : 0xFFFFFFFF - rotated;
      for (unsigned k = 0; k < 4; ++k) data[length / 4 * 4 - 4 + k] = static_cast<uint8_t>(closing >> 8 * k);
    }
    const Bytes before = buf;
    ASSERT_EQ(idprom_calculate_crc(data, length), checksum(data, length)) << length << " " << offset << " " << flavour;
    const auto start = static_cast<uint32_t>(rng());
    ASSERT_EQ(idprom::util::calculate_crc_words(start, data, length / 4), sum_words(start, data, length / 4));
    ASSERT_EQ(idprom::util::sum_words_parallel(start, data, length / 4), sum_words(start, data, length / 4));
    ASSERT_EQ(buf, before);
  }
  // Past the 2^14-block chunks that keep the lane sums from overflowing.
  Bytes big(3 * (1U << 14) * 128 + 37);
  for (auto &b : big) b = static_cast<uint8_t>(rng());
  EXPECT_EQ(idprom_calculate_crc(big.data(), static_cast<uint32_t>(big.size())), checksum(big.data(), big.size()));
  std::fill(big.begin(), big.end(), 0xFF);
  EXPECT_EQ(idprom_calculate_crc(big.data(), static_cast<uint32_t>(big.size() - 37)), 0xFFFFFFFEu);
}

// Start sums at the corners of the arithmetic with every run of up to three
// corner words.
TEST(Checksum, WordRunsFromCornerSums) {
  const uint32_t corners[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF, 0x55555555};
  for (uint32_t run = 0; run < 8 * 8 * 8 * 8 * 4; ++run) {
    const uint32_t sum = corners[run % 8], count = run / 8 / 512;
    Bytes words;
    for (uint32_t i = 0, r = run / 8 % 512; i < count; ++i, r /= 8)
      for (int k = 0; k < 4; ++k) words.push_back(static_cast<uint8_t>(corners[r % 8] >> 8 * k));
    ASSERT_EQ(idprom::util::sum_words_parallel(sum, words.data(), count), sum_words(sum, words.data(), count)) << run;
    ASSERT_EQ(idprom::util::calculate_crc_words(sum, words.data(), count), sum_words(sum, words.data(), count)) << run;
  }
}

// Every (CRC, byte) pair, 2^24 updates; the definition depends only on
// crc ^ byte << 8, so it is tabulated over those 2^16 values first.
TEST(Crc16, UpdateEqualsDefinitionEverywhere) {
  std::vector<uint16_t> reference(0x10000);
  for (uint32_t x = 0; x < 0x10000; ++x) reference[x] = crc16_bitwise(static_cast<uint16_t>(x), 0);
  uint32_t mismatches = 0;
  for (uint32_t crc = 0; crc < 0x10000; ++crc)
    for (uint32_t byte = 0; byte < 0x100; ++byte) {
      auto c = static_cast<uint16_t>(crc);
      idprom_crc_16(static_cast<uint8_t>(byte), &c);
      mismatches += c != reference[crc ^ byte << 8];
    }
  EXPECT_EQ(mismatches, 0u);
}

// The buffer form against the definition: every length up to 600 (the
// carry-less folding from 64 bytes on, in one and four registers, and the
// tables after it) at every alignment within 16 bytes, each in a block of
// exactly its size, and long runs.
TEST(Crc16, BufferMatchesDefinition) {
  std::mt19937 rng(1605);
  Bytes data(64000 + 16);
  for (auto &b : data) b = static_cast<uint8_t>(rng());
  const auto bitwise = [](const uint8_t *p, size_t n) {
    return std::accumulate(p, p + n, uint16_t{0}, crc16_bitwise);
  };
  for (int32_t length = 0; length <= 600; ++length)
    for (int32_t offset = 0; offset < 16; ++offset) {
      const Bytes in = exact_copy(Bytes(data.begin(), data.begin() + offset + length));
      ASSERT_EQ(idprom_crc_16_buf(in.data() + offset, length), bitwise(in.data() + offset, size_t(length)))
          << length << " " << offset;
    }
  for (const int32_t length : {4096, 63999, 64000})
    EXPECT_EQ(idprom_crc_16_buf(data.data() + 3, length), bitwise(data.data() + 3, size_t(length))) << length;
}

}  // namespace
