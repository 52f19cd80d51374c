// Entry headers, the list walk, the type catalogue's lengths and lookup.
#include <array>

#include "codec/codec.hpp"
#include "idprom.hpp"
#include "test_util.hpp"

using idprom::codec::idprom_find_end_marker;
using namespace idprom::test;

namespace {

struct Decoded {
  ptrdiff_t value_offset;  // -1 for null
  uint32_t type, length, attribute;
  bool operator==(const Decoded &) const = default;
};

Decoded decode(const Bytes &in) {
  const Bytes image = exact_copy(in);
  uint32_t type = 99, length = 99, attribute = 99;
  const uint8_t *v = idprom_get_entry(image.data(), image.data() + image.size(), &type, &length, &attribute);
  return v ? Decoded{v - image.data(), type, length, attribute} : Decoded{-1, 0, 0, 99};
}

TEST(Decode, Headers) {
  Bytes long_value = {0xF3, 0x81, 0x02};
  long_value.resize(3 + 0x102, 0xAB);
  const struct {
    Bytes in;
    Decoded want;
  } rows[] = {
      {{0x01, 0x05}, {1, 0x01, 1, 0}},                                  // 1-byte class
      {{0x43, 0x12, 0x34}, {1, 0x43, 2, 0}},                            // 2-byte class
      {{0x82, 1, 2, 3, 4}, {1, 0x82, 4, 0}},                            // 4-byte class
      {{0x00, 0x41, 0x12, 0x34}, {2, 0x141, 2, 0}},                     // extension byte
      {{0x00, 0x00, 0xC5, 0x80, 0x03, 1, 2, 3}, {5, 0x2C5, 3, 0x80}},  // two-byte length
      {{0xC3, 0x46, 1, 2, 3, 4, 5, 6}, {2, 0xC3, 6, 0x40}},             // attribute kept
      {{0xEF, 0xC1, 0x00}, {2, 0xEF, 1, 0xC0}},                         // last one-byte form
      {long_value, {3, 0xF3, 0x102, 0x80}},                             // length above 0xFF
      {Bytes(long_value.begin(), long_value.end() - 1), {-1, 0, 0, 99}},  // one value byte short
      {{}, {-1, 0, 0, 99}},                                             // nothing at all
      {{0x00, 0x00}, {-1, 0, 0, 99}},                                   // extension bytes to the end
      {{0xC3, 0x40}, {-1, 0, 0, 99}},                                   // length 0 with an attribute
      {{0xF3, 0x80}, {-1, 0, 0, 99}},                                   // two-byte length cut short
      {{0xF3, 0xC0, 0x00}, {-1, 0, 0, 99}},                             // two-byte length of 0
      {{0xC3}, {-1, 0, 0, 99}},                                         // length field missing
      {{0xC3, 0x46, 1, 2, 3, 4, 5}, {-1, 0, 0, 99}},                    // one value byte short
      {{0x82, 1, 2, 3}, {-1, 0, 0, 99}},                                // 4-byte class cut short
      {{0x00, 0xF5, 0x00}, {-1, 0, 0, 99}},                             // extension type, long length cut
  };
  for (const auto &row : rows) EXPECT_EQ(decode(row.in), row.want) << testing::PrintToString(row.in);
  uint32_t type = 7, length = 7;  // type and length are written on failure too
  EXPECT_EQ(idprom_get_entry(rows[0].in.data(), rows[0].in.data(), &type, &length, nullptr), nullptr);
  EXPECT_EQ(type + length, 0u);
}

// Every truncation of a valid list decodes the entries that fit, then stops
// with null, never reading past the cut; the end-marker search agrees.
TEST(Decode, EveryTruncationOfAValidList) {
  const Bytes full = {0x00, 0x41, 0x12, 0x34, 0xF4, 0x40, 0x03, 'a', 'b', 'c', 0xC1, 0x82, 'x', 'y', 0xFF};
  const size_t starts[] = {0, 4, 10, 14};
  for (size_t cut = 0; cut <= full.size(); ++cut) {
    const Bytes image = exact_copy(Bytes(full.begin(), full.begin() + static_cast<long>(cut)));
    const uint8_t *end = image.data() + image.size();
    for (size_t i = 0; i + 1 < std::size(starts) && starts[i] <= cut; ++i) {
      uint32_t type, length;
      const uint8_t *v = idprom_get_entry(image.data() + starts[i], end, &type, &length, nullptr);
      EXPECT_EQ(v != nullptr, starts[i + 1] <= cut) << "cut " << cut << " entry " << i;
      EXPECT_EQ(idprom_find_end_marker(image.data() + starts[i], end), cut == full.size() ? end - 1 : nullptr);
    }
  }
  const Bytes bad = exact_copy({0x01, 0x05, 0xC3, 0x00, 0xFF});  // malformed second entry
  EXPECT_EQ(idprom_find_end_marker(bad.data(), bad.data() + bad.size()), nullptr);
  EXPECT_EQ(idprom_find_end_marker(nullptr, bad.data()), nullptr);
}

// Length words by class: fixed classes their width, the two-byte forms
// 0xF3 and 0xF4 0xFFFFFFFF, every other standard word a valid one-byte
// length field (attribute and 1 to 63 bytes) or 0, and 0 for codes with
// extension bytes but the fixed classes.
TEST(TypeCatalogue, LengthWordsAreWellFormed) {
  for (uint32_t type = 0; type < 0x300; ++type) {
    const uint32_t word = idprom_type_to_len(type);
    if ((type & 0xC0) != 0xC0) EXPECT_EQ(word, 1U << ((type & 0xC0) >> 6)) << std::hex << type;
    else if (type == 0xF3 || type == 0xF4) EXPECT_EQ(word, 0xFFFFFFFF);
    else if (type > 0xFF || type >= 0xF0) EXPECT_EQ(word, 0U) << std::hex << type;
    else EXPECT_TRUE(word == 0 || (word <= 0xFF && (word & 0x3F) != 0)) << std::hex << type;
  }
  EXPECT_EQ(idprom_type_to_len(0xCB), 0x92u);  // PID: text, 18 bytes
  EXPECT_EQ(idprom_type_to_len(0xC3), 0x06u);  // a MAC address: hex, 6 bytes
}

// The library's integer-valued codes and the C++ layer's byte-string codes
// are complements for every code, and the walk's branching width agrees
// with the table of widths.
TEST(TypeCatalogue, IntegerSetsAgree) {
  for (uint32_t t = 0; t < 0x200; ++t)
    EXPECT_EQ(idprom::codec::idprom_type_is_numeric(t), !idprom::is_byte_string_code(t)) << std::hex << t;
  for (uint32_t b = 0; b < 0xC0; ++b)
    EXPECT_EQ(idprom::codec::fixed_width_branching(b), idprom::codec::fixed_width(b)) << b;
}

// A lookup returns the status and, only on success, writes the value.
TEST(Lookup, StatusesAndValues) {
  const Bytes image = exact_copy(padded({0x01, 0x05, 0x43, 0x01, 0x02, 0x83, 0x12, 0x34, 0x56, 0x78,
                                         0x82, 0x73, 0x01, 0x2C, 0x05, 0x00, 0x41, 0xAB, 0xCD,
                                         0xC1, 0x83, 'a', 'b', 'c', 0x01, 0x07}, 28));
  const uint16_t u16 = 0x0102;
  const uint32_t u32 = 0x12345678;
  const auto host = [](const void *p, size_t n) { return Bytes(static_cast<const uint8_t *>(p), static_cast<const uint8_t *>(p) + n); };
  const struct {
    uint32_t type, out_size;
    bool exact;
    uint32_t instance;
    idprom_status status;
    Bytes value;
  } cases[] = {
      {0x43, 2, true, 1, IDPROM_OK, host(&u16, 2)},          // integers in host order
      {0x83, 4, true, 1, IDPROM_OK, host(&u32, 4)},
      {0x82, 4, true, 1, IDPROM_OK, {0x73, 0x01, 0x2C, 0x05}},  // a byte string as stored
      {0x141, 2, true, 1, IDPROM_OK, {0xAB, 0xCD}},          // extension-byte codes as stored
      {0xC1, 8, false, 1, IDPROM_OK, {'a', 'b', 'c'}},       // a larger buffer: only the value
      {0xC1, 8, true, 1, IDPROM_ERR_LENGTH_MISMATCH, {}},
      {0xC1, 2, false, 1, IDPROM_ERR_BUFFER_TOO_SMALL, {}},
      {0x01, 1, true, 2, IDPROM_OK, {0x07}},                 // second instance
      {0x01, 1, true, 3, IDPROM_ERR_NOT_FOUND, {}},
      {0x01, 1, true, 0, IDPROM_ERR_NOT_FOUND, {}},
      {0x02, 1, true, 1, IDPROM_ERR_NOT_FOUND, {}},
  };
  for (const auto &c : cases) {
    Bytes out(c.out_size, 0xA5);
    EXPECT_EQ(idprom_get_field_data_instance(image.data(), 28, c.type, out.data(), c.out_size, c.exact, c.instance), c.status) << std::hex << c.type;
    Bytes want = c.value;
    want.resize(c.out_size, 0xA5);
    EXPECT_EQ(out, want) << std::hex << c.type;
  }
  uint8_t out = 0xA5;  // nothing found in a malformed list, an empty image or a blank one
  const Bytes bad = exact_copy(padded({0x01, 0x05, 0xC3, 0x00, 0x43, 0x12, 0x34}, 10));
  EXPECT_EQ(idprom_get_field_data(bad.data(), 10, 0x43, &out, 2, true), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(idprom_get_field_data(nullptr, 0, 0x01, &out, 1, false), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(idprom_get_field_data(padded({}, 4).data(), 4, 0x01, &out, 1, false), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(out, 0xA5);
}

}  // namespace
