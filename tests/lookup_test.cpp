#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "idprom.h"
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
  EXPECT_STREQ(pid, "LC-48GE-TX");
}

}  // namespace
