#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

#include "idprom.h"
#include "reference.hpp"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::exact_copy;
using idprom::test::padded;

namespace {

// A lookup that must fail leaves the output buffer as it was.
template <size_t N>
idprom_status lookup_failing(const Bytes &image, uint32_t type, bool exact, uint32_t instance = 1) {
  std::array<uint8_t, N> out;
  out.fill(0xA5);
  const idprom_status s = idprom_get_field_data_instance(image.data(),
                                                         static_cast<uint32_t>(image.size()), type,
                                                         out.data(), N, exact, instance);
  for (uint8_t b : out) EXPECT_EQ(b, 0xA5) << "output written on failure";
  return s;
}

TEST(Lookup, EmptyAndBlankImages) {
  const Bytes blank = exact_copy(padded({}, 16));
  EXPECT_EQ(lookup_failing<4>(blank, 0x01, false), IDPROM_ERR_NOT_FOUND);
  uint8_t out = 0;
  EXPECT_EQ(idprom_get_field_data(nullptr, 0, 0x01, &out, 1, false), IDPROM_ERR_NOT_FOUND);
}

TEST(Lookup, IntegersInHostOrderAndByteStringsUnchanged) {
  const Bytes image = exact_copy(padded({0x01, 0x05, 0x43, 0x01, 0x02, 0x83, 0x12, 0x34, 0x56, 0x78,
                                         0x82, 0x73, 0x01, 0x2C, 0x05, 0x42, 'A', '0', 0x00, 0x41,
                                         0xAB, 0xCD},
                                        24));
  const auto n = static_cast<uint32_t>(image.size());
  uint8_t u8 = 0;
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x01, &u8, 1, true), IDPROM_OK);
  EXPECT_EQ(u8, 5);
  uint16_t u16 = 0;
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x43, &u16, 2, true), IDPROM_OK);
  EXPECT_EQ(u16, 0x0102);
  uint32_t u32 = 0;
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x83, &u32, 4, true), IDPROM_OK);
  EXPECT_EQ(u32, 0x12345678U);
  uint8_t raw[4] = {};
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x82, raw, 4, true), IDPROM_OK);
  EXPECT_EQ(Bytes(raw, raw + 4), (Bytes{0x73, 0x01, 0x2C, 0x05}));
  uint8_t two[2] = {};
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x42, two, 2, true), IDPROM_OK);
  EXPECT_EQ(Bytes(two, two + 2), (Bytes{'A', '0'}));
  // Extension-byte codes are copied unchanged even when the type byte is
  // integer-valued.
  ASSERT_EQ(idprom_get_field_data(image.data(), n, 0x141, two, 2, true), IDPROM_OK);
  EXPECT_EQ(Bytes(two, two + 2), (Bytes{0xAB, 0xCD}));
}

TEST(Lookup, ExactAndSizeRules) {
  Bytes list = {0xC1, 0x8A};
  for (int i = 0; i < 10; ++i) list.push_back(static_cast<uint8_t>('0' + i));
  const Bytes image = exact_copy(padded(list, 16));
  uint8_t out[16];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(idprom_get_field_data(image.data(), 16, 0xC1, out, 16, false), IDPROM_OK);
  EXPECT_EQ(std::memcmp(out, "0123456789", 10), 0);
  EXPECT_EQ(out[10], 0xEE) << "bytes after the value are not written";
  EXPECT_EQ(lookup_failing<16>(image, 0xC1, true), IDPROM_ERR_LENGTH_MISMATCH);
  EXPECT_EQ(lookup_failing<8>(image, 0xC1, false), IDPROM_ERR_BUFFER_TOO_SMALL);
  EXPECT_EQ(lookup_failing<8>(image, 0xC1, true), IDPROM_ERR_LENGTH_MISMATCH);
  EXPECT_EQ(idprom_get_field_data(image.data(), 16, 0xC1, out, 10, true), IDPROM_OK);
}

TEST(Lookup, Instances) {
  const Bytes image = exact_copy(
      padded({0x88, 0, 0, 0, 1, 0x01, 0x07, 0x88, 0, 0, 0, 2, 0x00, 0x88, 0, 0, 0, 3}, 20));
  const auto n = static_cast<uint32_t>(image.size());
  uint32_t v = 0;
  ASSERT_EQ(idprom_get_field_data_instance(image.data(), n, 0x88, &v, 4, true, 1), IDPROM_OK);
  EXPECT_EQ(v, 1U);
  ASSERT_EQ(idprom_get_field_data_instance(image.data(), n, 0x88, &v, 4, true, 2), IDPROM_OK);
  EXPECT_EQ(v, 2U);
  EXPECT_EQ(lookup_failing<4>(image, 0x88, true, 3), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(lookup_failing<4>(image, 0x88, true, 0), IDPROM_ERR_NOT_FOUND);
  // 0x188 is a different type code from 0x88.
  uint8_t raw[4] = {};
  ASSERT_EQ(idprom_get_field_data_instance(image.data(), n, 0x188, raw, 4, true, 1), IDPROM_OK);
  EXPECT_EQ(Bytes(raw, raw + 4), (Bytes{0, 0, 0, 3})) << "copied unchanged";
}

TEST(Lookup, MalformedOrUnterminatedLists) {
  // A malformed entry before the requested one.
  const Bytes bad = exact_copy(padded({0x01, 0x05, 0xC3, 0x00, 0x43, 0x12, 0x34}, 10));
  EXPECT_EQ(lookup_failing<2>(bad, 0x43, true), IDPROM_ERR_NOT_FOUND);
  // Entries running to the last byte, without an end marker.
  const Bytes full = exact_copy({0x01, 0x05, 0x43, 0x12, 0x34});
  EXPECT_EQ(lookup_failing<4>(full, 0x82, false), IDPROM_ERR_NOT_FOUND);
  uint16_t v = 0;
  ASSERT_EQ(idprom_get_field_data(full.data(), 5, 0x43, &v, 2, true), IDPROM_OK);
  EXPECT_EQ(v, 0x1234);
}

TEST(Lookup, SampleImage) {
  const Bytes image = idprom::test::sample_image();
  ASSERT_EQ(image.size(), 256U);
  char pid[19] = {};
  ASSERT_EQ(idprom_get_field_data(image.data(), 256, 0xCB, pid, 18, true), IDPROM_OK);
  EXPECT_STREQ(pid, "LC-TEST-01");
}

// The walk decodes headers inline; on random lists (valid entries mixed
// with malformed ones, cut at random lengths) it agrees with a walk through
// the exported decoder in status and in every output byte.
TEST(Lookup, MatchesPlainWalkOnRandomImages) {
  std::mt19937 rng(20261205);
  const auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const uint8_t type_bytes[] = {0x01, 0x42, 0x43, 0x82, 0xC1, 0xF1, 0x00, 0xFF};
  const uint32_t queries[] = {0x01, 0x42, 0x43, 0x82, 0xC1, 0xF1, 0x101, 0x1C1};
  int found = 0;
  for (int round = 0; round < 20000; ++round) {
    Bytes list;
    const int entries = static_cast<int>(pick(8));
    for (int e = 0; e < entries; ++e) {
      const uint8_t t = type_bytes[pick(pick(8) == 0 ? 8 : 6)];  // rarely 0x00 or 0xFF
      list.push_back(t);
      if (t == 0x00 || t == 0xFF) continue;  // an extension byte, or an end marker mid-list
      uint32_t width = (t & 0xC0) == 0x00 ? 1 : (t & 0xC0) == 0x40 ? 2 : 4;
      if ((t & 0xC0) == 0xC0) {
        width = pick(6);  // 0 is malformed
        if (t >= 0xF0) list.push_back(static_cast<uint8_t>(pick(2) == 0 ? 0x80 : 0x00));
        list.push_back(static_cast<uint8_t>(0x80 | width));
      }
      if (pick(16) == 0) width = pick(8);  // the value runs short or long
      for (uint32_t i = 0; i < width; ++i) list.push_back(static_cast<uint8_t>(rng()));
    }
    const auto cut = static_cast<uint32_t>(list.size()) - (pick(4) == 0 ? pick(4) : 0);
    const Bytes image = exact_copy(Bytes(list.begin(), list.begin() + (cut > list.size() ? 0 : cut)));
    const auto n = static_cast<uint32_t>(image.size());
    const uint32_t type = queries[pick(std::size(queries))];
    const uint32_t instance = pick(4) == 0 ? 0 : 1 + pick(2) * pick(2);
    const uint32_t out_size = pick(3) == 0 ? pick(8) : 1U << pick(3);  // mostly a fixed width
    const bool exact = pick(2) != 0;
    std::array<uint8_t, 8> got, want;
    got.fill(0xA5);
    want.fill(0xA5);
    const idprom_status s = idprom_get_field_data_instance(
        n == 0 ? nullptr : image.data(), n, type, got.data(), out_size, exact, instance);
    const idprom_status r = idprom::reference::get_field_data(
        image.data(), n, type, want.data(), out_size, exact, instance);
    ASSERT_EQ(s, r) << testing::PrintToString(image) << " type " << type;
    ASSERT_EQ(got, want) << testing::PrintToString(image) << " type " << type;
    found += s == IDPROM_OK;
  }
  EXPECT_GT(found, 500) << "the random lists rarely hold the field asked for";
}

}  // namespace
