// Checksums: the 32-bit rotate-and-add sum and CRC-16 (XMODEM).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "idprom.h"
#include "reference.hpp"
#include "test_util.hpp"
#include "util/crc.hpp"

using idprom::test::Bytes;
using idprom::test::exact_copy;

namespace {

uint32_t crc32_of(const Bytes &in) {
  const Bytes data = exact_copy(in);  // exactly sized: ASan sees a read past the partial word
  return calculate_crc(data.data(), static_cast<uint32_t>(data.size()));
}

Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }

}  // namespace

TEST(CalculateCrc, KnownSums) {
  const struct {
    Bytes in;
    uint32_t sum;
  } cases[] = {
      {{}, 1},                                       // nothing read
      {text("abc"), 0x00636261},                     // one padded word
      {text("abcd"), 0x64636261},                    // one whole word, little-endian
      {text("123456789"), 0x413B3568},               // two words and a padded byte
      {{0x01, 0, 0, 0, 0x01}, 3},                    // 1 rotated to 2, plus the padded 1
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0}, 2},  // carry out of bit 31 comes back in
      {{0x80, 0, 0, 0x80, 0x01}, 0x00000102},        // rotation moves bit 31 to bit 0
      {{0, 0, 0, 0, 0, 0, 0}, 1},                    // a sum of 0 is returned as 1
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFE},        // and 0xFFFFFFFF as 0xFFFFFFFE
      {{0xFF}, 0x000000FF},                          // padding goes on top
  };
  for (const auto &c : cases) EXPECT_EQ(crc32_of(c.in), c.sum) << testing::PrintToString(c.in);
}

TEST(CalculateCrc, ZeroBytesOfAnyLengthGiveOne) {
  for (size_t n = 0; n <= 33; ++n) EXPECT_EQ(crc32_of(Bytes(n, 0)), 1u) << n;
}

// A trailing partial word is the same as the data zero-padded to whole
// words; the sum does not depend on where the data sits; and the caller's
// bytes are left as they were.
TEST(CalculateCrc, PartialWordAlignmentAndConstness) {
  const Bytes base = text("\x9f\x01\xfe IDPROM checksum \x80\x7f");
  for (size_t n = 0; n <= base.size(); ++n) {
    const Bytes in(base.begin(), base.begin() + static_cast<long>(n));
    Bytes zero_padded = in;
    zero_padded.resize((n + 3) / 4 * 4, 0);
    const uint32_t sum = crc32_of(in);
    EXPECT_EQ(crc32_of(zero_padded), sum) << n;
    for (size_t offset = 1; offset < 4; ++offset) {
      Bytes shifted(offset, 0xAA);
      shifted.insert(shifted.end(), in.begin(), in.end());
      const Bytes before = shifted;
      EXPECT_EQ(calculate_crc(shifted.data() + offset, static_cast<uint32_t>(n)), sum) << n;
      EXPECT_EQ(shifted, before) << n;
    }
  }
}

TEST(CalculateCrcWords, AddsWordsToARunningSum) {
  const uint8_t words[] = {0x01, 0, 0, 0, 0x02, 0, 0, 0};
  EXPECT_EQ(idprom::util::calculate_crc_words(0x12345678, words, 0), 0x12345678u);
  EXPECT_EQ(idprom::util::calculate_crc_words(0, words, 2), 4u);          // (1 << 1) + 2
  EXPECT_EQ(idprom::util::calculate_crc_words(0xFFFFFFFF, words, 1), 1u);  // all ones: 0xFFFFFFFF + 1
}

namespace {

// CRC-16 update straight from its definition: the byte goes into the top
// eight bits, then eight shifts, XORing 0x1021 after each one that moves a 1
// out of bit 15.
uint16_t crc16_bitwise(uint16_t crc, uint8_t byte) {
  uint32_t c = crc ^ static_cast<uint32_t>(byte) << 8;
  for (int i = 0; i < 8; ++i) c = (c & 0x8000) ? (c << 1 ^ 0x1021) : c << 1;
  return static_cast<uint16_t>(c);
}

}  // namespace

// Every (CRC, byte) pair: 2^24 updates.  The definition depends only on
// crc ^ byte << 8, so it is tabulated over those 2^16 values first.
TEST(Crc16, FiveStepUpdateEqualsBitwiseDefinitionEverywhere) {
  std::vector<uint16_t> reference(0x10000);
  for (uint32_t x = 0; x < 0x10000; ++x)
    reference[x] = crc16_bitwise(static_cast<uint16_t>(x), 0);
  uint32_t mismatches = 0, first_crc = 0, first_byte = 0;
  for (uint32_t crc = 0; crc < 0x10000; ++crc) {
    for (uint32_t byte = 0; byte < 0x100; ++byte) {
      auto c = static_cast<uint16_t>(crc);
      crc_16(static_cast<uint8_t>(byte), &c);
      if (c != reference[crc ^ byte << 8] && mismatches++ == 0) first_crc = crc, first_byte = byte;
    }
  }
  EXPECT_EQ(mismatches, 0u) << "first at crc " << first_crc << ", byte " << first_byte;
}

TEST(Crc16Buf, PublishedXmodemValues) {
  Bytes all_bytes(256);
  for (size_t i = 0; i < all_bytes.size(); ++i) all_bytes[i] = static_cast<uint8_t>(i);
  const struct {
    Bytes in;
    uint16_t crc;
  } cases[] = {
      {text("123456789"), 0x31C3},  // the check value
      {text("abc"), 0x9DD6},
      {text("A"), 0x58E5},
      {{0x01}, 0x1021},             // one bit through the polynomial
      {{0xFF, 0xFF, 0xFF, 0xFF}, 0x99CF},
      {text("The quick brown fox jumps over the lazy dog"), 0xF0C8},
      {all_bytes, 0x7E55},
  };
  for (const auto &c : cases) {
    const Bytes data = exact_copy(c.in);
    EXPECT_EQ(crc_16_buf(data.data(), static_cast<int32_t>(data.size())), c.crc)
        << testing::PrintToString(c.in);
  }
}

TEST(Crc16Buf, NothingReadForLengthZeroOrLess) {
  for (const int32_t length : {0, -1, -9, INT32_MIN})
    EXPECT_EQ(crc_16_buf(nullptr, length), 0) << length;
}

// Feeding bytes one at a time carries the CRC over: after every byte the
// variable holds the CRC of the bytes so far.
TEST(Crc16, ComputedInPieces) {
  const Bytes data = text("123456789");
  uint16_t crc = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    crc_16(data[i], &crc);
    EXPECT_EQ(crc, crc_16_buf(data.data(), static_cast<int32_t>(i + 1))) << i;
  }
  EXPECT_EQ(crc, 0x31C3);
}

// ---- fast paths against the plain forms ---------------------------------

namespace {

namespace ref = idprom::reference;

Bytes le_words(const std::vector<uint32_t> &words) {
  Bytes out;
  for (uint32_t w : words)
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(w >> (8 * k)));
  return out;
}

// Start sums at the corners of the arithmetic: the two encodings of zero,
// the top bit alone, and their neighbours.
constexpr uint32_t kCornerSums[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF};

}  // namespace

// Every input of up to two bytes, whole: the mapping of 0 and 0xFFFFFFFF at
// the end follows the sequential sum.
TEST(CalculateCrc, EveryInputUpToTwoBytesMatchesSequentialSum) {
  uint32_t mismatches = 0;
  for (uint32_t length = 0; length <= 2; ++length) {
    for (uint32_t v = 0; v < 1U << (8 * length); ++v) {
      const uint8_t in[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
      mismatches += calculate_crc(in, length) != ref::calculate_crc(in, length);
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

// The parallel sum on short runs, where every case can be listed: each
// corner start sum with every one-word run whose set bits sit in one 16-bit
// half, and with every run of one to three words from an alphabet of corner
// words.  Runs that come to 0 modulo 2^32 - 1 are among them, so the choice
// between 0 and 0xFFFFFFFF is checked as well as the value.
TEST(CalculateCrcWords, ParallelMatchesSequentialOnEveryShortRun) {
  uint32_t mismatches = 0;
  const auto check = [&mismatches](uint32_t sum, const Bytes &words) {
    const auto count = static_cast<uint32_t>(words.size() / 4);
    const uint32_t want = ref::calculate_crc_words(sum, words.data(), count);
    if (idprom::util::sum_words_parallel(sum, words.data(), count) != want && mismatches++ < 5)
      ADD_FAILURE() << "sum " << sum << " words " << testing::PrintToString(words);
    if (idprom::util::calculate_crc_words(sum, words.data(), count) != want && mismatches++ < 5)
      ADD_FAILURE() << "sum " << sum << " words " << testing::PrintToString(words);
  };
  for (uint32_t sum : kCornerSums) {
    for (uint32_t v = 0; v < 0x10000; ++v) {
      check(sum, le_words({v}));
      check(sum, le_words({v << 16}));
    }
  }
  const uint32_t alphabet[] = {0, 1, 2, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF, 0x55555555};
  for (uint32_t sum : kCornerSums) {
    check(sum, {});
    for (uint32_t a : alphabet) {
      check(sum, le_words({a}));
      for (uint32_t b : alphabet) {
        check(sum, le_words({a, b}));
        for (uint32_t c : alphabet) check(sum, le_words({a, b, c}));
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

// Random inputs of up to 40 blocks at every alignment, in four flavours:
// random bytes, all 0xFF (every word is 0 modulo 2^32 - 1), sparse bytes,
// and random words closed by the one word that brings the sum to 0 modulo
// 2^32 - 1, where the sequential sum ends at 0xFFFFFFFF.
TEST(CalculateCrc, MatchesSequentialSumOnRandomInputs) {
  std::mt19937 rng(4242);
  const auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  for (int round = 0; round < 4000; ++round) {
    const uint32_t length = pick(40 * 128);
    const uint32_t offset = pick(4);
    const uint32_t flavour = pick(4);
    Bytes buf(offset + length);
    for (auto &b : buf) {
      b = static_cast<uint8_t>(flavour == 1 ? 0xFF : flavour == 2 && pick(8) != 0 ? 0 : rng());
    }
    uint8_t *const data = buf.data() + offset;
    if (flavour == 3 && length >= 4) {
      const uint32_t words = length / 4;
      const uint32_t sum = ref::calculate_crc_words(0, data, words - 1);
      const uint32_t rotated = sum << 1 | sum >> 31;
      const uint32_t closing = rotated == 0xFFFFFFFF ? 0 : 0xFFFFFFFF - rotated;
      std::memcpy(data + 4 * (words - 1), le_words({closing}).data(), 4);
      if (length % 4 == 0) {
        ASSERT_EQ(ref::calculate_crc(data, length), 0xFFFFFFFEu);
      }
    }
    const Bytes input = exact_copy(Bytes(data, data + length));
    ASSERT_EQ(calculate_crc(data, length), ref::calculate_crc(input.data(), length))
        << "length " << length << " offset " << offset << " flavour " << flavour;
    const auto start = static_cast<uint32_t>(rng());
    ASSERT_EQ(idprom::util::calculate_crc_words(start, data, length / 4),
              ref::calculate_crc_words(start, data, length / 4))
        << "length " << length << " offset " << offset << " flavour " << flavour;
  }
}

// Past the 2^14-block chunks that keep the lane sums from overflowing.
TEST(CalculateCrc, MatchesSequentialSumAcrossChunks) {
  std::mt19937 rng(7);
  const uint32_t length = 3 * (1U << 14) * 128 + 37;
  Bytes random(length), ones(length, 0xFF);
  for (auto &b : random) b = static_cast<uint8_t>(rng());
  EXPECT_EQ(calculate_crc(random.data(), length), ref::calculate_crc(random.data(), length));
  EXPECT_EQ(calculate_crc(ones.data(), length - 37), 0xFFFFFFFEu);  // whole words, each 0
  EXPECT_EQ(calculate_crc(ones.data(), length), ref::calculate_crc(ones.data(), length));
}

// Eight bytes per step from the compile-time tables, against the five-step
// update byte by byte: every length up to 300 at every alignment, and long
// runs.
TEST(Crc16Buf, MatchesByteUpdateOnRandomInputs) {
  std::mt19937 rng(1605);
  Bytes data(64000 + 8);
  for (auto &b : data) b = static_cast<uint8_t>(rng());
  for (int32_t length = 0; length <= 300; ++length) {
    for (int32_t offset = 0; offset < 8; ++offset) {
      const Bytes in = exact_copy(Bytes(data.begin() + offset, data.begin() + offset + length));
      ASSERT_EQ(crc_16_buf(in.data(), length), ref::crc_16_buf(in.data(), length))
          << "length " << length << " offset " << offset;
    }
  }
  for (int32_t length : {4096, 63999, 64000}) {
    EXPECT_EQ(crc_16_buf(data.data() + 3, length), ref::crc_16_buf(data.data() + 3, length))
        << length;
  }
}

