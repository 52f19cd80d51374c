#include <gtest/gtest.h>

#include "codec/codec.hpp"
#include "test_util.hpp"

using idprom::codec::idprom_find_end_marker;
using idprom::codec::idprom_type_is_numeric;
using idprom::test::Bytes;
using idprom::test::exact_copy;

namespace {

struct Decoded {
  ptrdiff_t value_offset;  // -1 for null
  uint32_t type, length, attribute;
};

Decoded decode(const Bytes &in) {
  const Bytes image = exact_copy(in);
  uint32_t type = 99, length = 99, attribute = 99;
  const uint8_t *v = idprom_get_entry(image.data(), image.data() + image.size(), &type, &length,
                                      &attribute);
  return {v ? v - image.data() : -1, type, length, attribute};
}

TEST(Decode, ValidHeaders) {
  struct Row {
    Bytes in;
    Decoded want;
  };
  const std::vector<Row> rows = {
      {{0x01, 0x05}, {1, 0x01, 1, 0}},                                    // 1-byte class
      {{0x43, 0x12, 0x34}, {1, 0x43, 2, 0}},                              // 2-byte class
      {{0x82, 1, 2, 3, 4}, {1, 0x82, 4, 0}},                              // 4-byte class
      {{0x00, 0x41, 0x12, 0x34}, {2, 0x141, 2, 0}},                       // extension byte
      {{0x00, 0x00, 0xC5, 0x80, 0x03, 1, 2, 3}, {5, 0x2C5, 3, 0x80}},    // two-byte length
      {{0xC3, 0x46, 1, 2, 3, 4, 5, 6}, {2, 0xC3, 6, 0x40}},               // attribute kept
      {{0xC1, 0x81, 'a'}, {2, 0xC1, 1, 0x80}},                            // text, length 1
      {{0xEF, 0x01, 0x00}, {2, 0xEF, 1, 0}},                              // last one-byte form
  };
  for (const auto &row : rows) {
    const Decoded got = decode(row.in);
    EXPECT_EQ(got.value_offset, row.want.value_offset) << testing::PrintToString(row.in);
    EXPECT_EQ(got.type, row.want.type) << testing::PrintToString(row.in);
    EXPECT_EQ(got.length, row.want.length) << testing::PrintToString(row.in);
    EXPECT_EQ(got.attribute, row.want.attribute) << testing::PrintToString(row.in);
  }
}

TEST(Decode, TwoByteLengthField) {
  Bytes in = {0xF3, 0x81, 0x02};
  in.resize(3 + 0x102, 0xAB);
  const Decoded got = decode(in);
  EXPECT_EQ(got.value_offset, 3);
  EXPECT_EQ(got.length, 0x102U);
  EXPECT_EQ(got.attribute, 0x80U);
  in.pop_back();  // one value byte short
  EXPECT_EQ(decode(in).value_offset, -1);
}

TEST(Decode, RejectsMalformedHeaders) {
  const std::vector<Bytes> bad = {
      {},                            // nothing at all
      {0x00, 0x00},                  // extension bytes up to the end
      {0xC3, 0x00},                  // variable class with length 0
      {0xC3, 0x40},                  // length 0 with an attribute
      {0xF3, 0x80},                  // two-byte length field cut short
      {0xF3, 0xC0, 0x00},            // two-byte length of 0
      {0xC3},                        // length field missing
      {0xC3, 0x06, 1, 2},            // value runs past the end
      {0xC3, 0x46, 1, 2, 3, 4, 5},   // one value byte short
      {0x43, 0x12},                  // 2-byte class cut short
      {0x82, 1, 2, 3},               // 4-byte class cut short
      {0x00, 0xF5, 0x00},            // extension type, long length cut short
  };
  for (const auto &in : bad) {
    const Decoded got = decode(in);
    EXPECT_EQ(got.value_offset, -1) << testing::PrintToString(in);
  }
  // type and length are always written, attribute may be null.
  const Bytes image = exact_copy({0x01, 0x07});
  uint32_t type = 7, length = 7;
  EXPECT_NE(idprom_get_entry(image.data(), image.data() + 2, &type, &length, nullptr), nullptr);
  EXPECT_EQ(type, 1U);
  EXPECT_EQ(length, 1U);
  EXPECT_EQ(idprom_get_entry(image.data(), image.data(), &type, &length, nullptr), nullptr);
  EXPECT_EQ(type, 0U);
  EXPECT_EQ(length, 0U);
}

// Every truncation of a valid list decodes the entries that fit and then
// stops with null, never reading past the cut.
TEST(Decode, EveryTruncationOfAValidList) {
  const Bytes full = {0x00, 0x41, 0x12, 0x34, 0xF4, 0x40, 0x03, 'a', 'b', 'c', 0xC1, 0x82, 'x', 'y'};
  const std::vector<size_t> starts = {0, 4, 10};
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    const Bytes image = exact_copy(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    for (size_t i = 0; i < starts.size(); ++i) {
      if (starts[i] > cut) break;
      const size_t next = i + 1 < starts.size() ? starts[i + 1] : full.size();
      uint32_t type, length;
      const uint8_t *v = idprom_get_entry(image.data() + starts[i], image.data() + image.size(),
                                          &type, &length, nullptr);
      EXPECT_EQ(v != nullptr, next <= cut) << "cut " << cut << " entry " << i;
    }
  }
}

TEST(EndMarker, FindsMarkerOrReportsNone) {
  const Bytes list = {0x01, 0x05, 0x43, 0x12, 0x34};
  Bytes with_marker = list;
  with_marker.push_back(0xFF);
  with_marker.push_back(0xFF);
  const Bytes a = exact_copy(with_marker);
  EXPECT_EQ(idprom_find_end_marker(a.data(), a.data() + a.size()), a.data() + 5);
  EXPECT_EQ(idprom_find_end_marker(a.data() + 5, a.data() + a.size()), a.data() + 5);
  EXPECT_EQ(idprom_find_end_marker(a.data() + 2, a.data() + a.size()), a.data() + 5);

  const Bytes b = exact_copy(list);  // runs to the image's end: no marker
  EXPECT_EQ(idprom_find_end_marker(b.data(), b.data() + b.size()), nullptr);
  EXPECT_EQ(idprom_find_end_marker(nullptr, b.data()), nullptr);
  EXPECT_EQ(idprom_find_end_marker(b.data() + b.size(), b.data() + b.size()), nullptr);

  const Bytes c = exact_copy({0x01, 0x05, 0xC3, 0x00, 0xFF});  // malformed second entry
  EXPECT_EQ(idprom_find_end_marker(c.data(), c.data() + c.size()), nullptr);
  const Bytes d = exact_copy({0x00, 0x00, 0x00});
  EXPECT_EQ(idprom_find_end_marker(d.data(), d.data() + d.size()), nullptr);
}

TEST(TypeCatalogue, StandardLengthWords) {
  const std::vector<std::pair<uint32_t, uint32_t>> rows = {
      {0x01, 1},          {0x3F, 1},          {0x40, 2},          {0x7F, 2},
      {0x80, 4},          {0xBF, 4},          {0xC0, 0x46},       {0xC1, 0x8B},
      {0xC2, 0x8B},       {0xC3, 0x06},       {0xC4, 0x08},       {0xC5, 0x08},
      {0xC6, 0x8A},       {0xC7, 0x20},       {0xC8, 0},          {0xC9, 0x7F},
      {0xCA, 0},          {0xCB, 0x92},       {0xCC, 0xA0},       {0xCD, 0},
      {0xCE, 0x8B},       {0xCF, 0x06},       {0xD0, 0},          {0xD4, 0xA0},
      {0xD5, 0},          {0xD6, 0x04},       {0xD7, 0x44},       {0xDA, 0xBF},
      {0xDB, 0xBF},       {0xDC, 0},          {0xEB, 0x86},       {0xF2, 0},
      {0xF3, 0xFFFFFFFF}, {0xF4, 0xFFFFFFFF}, {0xF5, 0},          {0xFE, 0},
      {0x101, 1},         {0x141, 2},         {0x182, 4},         {0x1C1, 0},
      {0x1F3, 0},         {0x2C5, 0},
  };
  for (const auto &[type, word] : rows) EXPECT_EQ(idprom_type_to_len(type), word) << std::hex << type;
}

TEST(TypeCatalogue, ByteStringTypes) {
  for (uint32_t t = 0; t < 0x200; ++t) {
    const bool bytes = t == 0x42 || t == 0x82 || t == 0x85 || t == 0x87 || t == 0x89 ||
                       t == 0x8A || t == 0x8D;
    EXPECT_EQ(idprom_type_is_numeric(t), !bytes) << std::hex << t;
  }
}

}  // namespace

// The walk's branching width agrees with the table of widths for every type
// byte of a fixed class.
TEST(Decode, BranchingWidthMatchesFixedWidth) {
  for (uint32_t b = 0; b < 0xC0; ++b)
    EXPECT_EQ(idprom::codec::fixed_width_branching(b), idprom::codec::fixed_width(b)) << b;
}
