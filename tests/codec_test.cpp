// Entry headers, the list walk, the type catalogue's lengths and lookup.
#include <array>

#include "codec/codec.hpp"
#include "idprom.hpp"
#include "model.hpp"
#include "test_util.hpp"

using idprom::codec::idprom_find_end_marker;
using namespace idprom::test;

namespace {

// The decoder agrees with the model's on every input of up to two bytes and
// on every input of three and four bytes over corner values; a few longer
// headers are spelled out.
TEST(Decode, AgreesWithTheModel) {
  const uint8_t corners[] = {0x00, 0x01, 0x03, 0x3F, 0x40, 0x80, 0xBF, 0xC1, 0xC5, 0xEF, 0xF0, 0xF3, 0xFE, 0xFF};
  std::vector<Bytes> inputs = {{}, {0x00, 0x00, 0xC5, 0x80, 0x03, 1, 2, 3}, {0xC3, 0x46, 1, 2, 3, 4, 5, 6}};
  inputs.push_back({0xF3, 0x81, 0x02});
  inputs.back().resize(3 + 0x102, 0xAB);  // a length above 0xFF, then one byte short
  inputs.push_back(Bytes(inputs.back().begin(), inputs.back().end() - 1));
  for (uint32_t v = 0; v < 0x10100; ++v) inputs.push_back(v < 0x100 ? Bytes{uint8_t(v)} : Bytes{uint8_t(v >> 8), uint8_t(v)});
  for (uint32_t n = 3, count = 14 * 14 * 14; n <= 4; ++n, count *= 14)
    for (uint32_t v = 0; v < count; ++v) {
      Bytes in;
      for (uint32_t i = 0, r = v; i < n; ++i, r /= 14) in.push_back(corners[r % 14]);
      inputs.push_back(in);
    }
  for (const Bytes &input : inputs) {
    const Bytes image = exact_copy(input);
    uint32_t type = 99, length = 99, attribute = 99;
    const uint8_t *v = idprom_get_entry(image.data(), image.data() + image.size(), &type, &length, &attribute);
    idprom::model::Entry e;
    ASSERT_EQ(v != nullptr, idprom::model::decode_at(image.data(), image.size(), 0, &e)) << testing::PrintToString(input);
    if (v == nullptr) continue;
    ASSERT_EQ(v - image.data(), static_cast<ptrdiff_t>(e.value)) << testing::PrintToString(input);
    ASSERT_EQ(idprom::model::Field({type, attribute, Bytes(v, v + length)}), e.field) << testing::PrintToString(input);
  }
  EXPECT_GT(inputs.size(), 100000u);
  uint32_t type = 7, length = 7;  // type and length are written on failure too
  EXPECT_EQ(idprom_get_entry(inputs[1].data(), inputs[1].data(), &type, &length, nullptr), nullptr);
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
  // The words and the integer-valued codes are what images in the field were
  // written with: a change to any row changes this FNV-1a digest.
  uint64_t digest = 14695981039346656037ULL;
  for (uint32_t t = 0; t < 0x300; ++t) {
    digest = (digest ^ idprom_type_to_len(t)) * 1099511628211ULL;
    digest = (digest ^ (idprom::codec::idprom_type_is_numeric(t) ? 1 : 0)) * 1099511628211ULL;
  }
  EXPECT_EQ(digest, 0xa729aa8f1c446622ULL);
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
    uint32_t stored;  // the length idprom_get_field_data_ex reports
  } cases[] = {
      {0x43, 2, true, 1, IDPROM_OK, host(&u16, 2), 2},       // integers in host order
      {0x83, 4, true, 1, IDPROM_OK, host(&u32, 4), 4},
      {0x82, 4, true, 1, IDPROM_OK, {0x73, 0x01, 0x2C, 0x05}, 4},  // a byte string as stored
      {0x141, 2, true, 1, IDPROM_OK, {0xAB, 0xCD}, 2},       // extension-byte codes as stored
      {0xC1, 8, false, 1, IDPROM_OK, {'a', 'b', 'c'}, 3},    // a larger buffer: only the value
      {0xC1, 8, true, 1, IDPROM_ERR_LENGTH_MISMATCH, {}, 3},  // refused, but the length told
      {0xC1, 2, false, 1, IDPROM_ERR_BUFFER_TOO_SMALL, {}, 3},
      {0xC1, 0, false, 1, IDPROM_ERR_BUFFER_TOO_SMALL, {}, 3},  // a measurement
      {0x01, 1, true, 2, IDPROM_OK, {0x07}, 1},              // second instance
      {0x01, 1, true, 3, IDPROM_ERR_NOT_FOUND, {}, 0},
      {0x01, 1, true, 0, IDPROM_ERR_NOT_FOUND, {}, 0},
  };
  for (const auto &c : cases) {
    Bytes out(c.out_size, 0xA5);
    EXPECT_EQ(idprom_get_field_data_instance(image.data(), 28, c.type, out.data(), c.out_size, c.exact, c.instance), c.status) << std::hex << c.type;
    uint32_t stored = 0xA5A5;
    EXPECT_EQ(idprom_get_field_data_ex(image.data(), 28, c.type, out.data(), c.out_size, c.exact, c.instance, &stored), c.status);
    EXPECT_EQ(stored, c.stored) << std::hex << c.type;
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
  EXPECT_EQ(idprom_get_field_data(image.data(), 28, 0x01, &out, 1, true), IDPROM_OK);
  EXPECT_EQ(out, 0x05);  // the first of the two instances
}

// Each status by its constant's name; any other value is unknown.
TEST(Status, Names) {
  const std::pair<idprom_status, const char *> names[] = {
      {IDPROM_OK, "IDPROM_OK"},
      {IDPROM_ERR_LENGTH_MISMATCH, "IDPROM_ERR_LENGTH_MISMATCH"},  // the first error
      {IDPROM_ERR_NO_ROOM, "IDPROM_ERR_NO_ROOM"},
      {IDPROM_ERR_IMAGE_TOO_LARGE, "IDPROM_ERR_IMAGE_TOO_LARGE"},  // the last
      {IDPROM_ERR_LENGTH_MISMATCH - 1, "unknown status"},
      {IDPROM_ERR_IMAGE_TOO_LARGE + 1, "unknown status"},
      {1, "unknown status"},
  };
  for (const auto &[status, name] : names) EXPECT_STREQ(idprom_status_name(status), name) << std::hex << status;
}

}  // namespace
