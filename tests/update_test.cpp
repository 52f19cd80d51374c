#include <gtest/gtest.h>

#include "edit_util.hpp"

using namespace idprom::test;

namespace {

Bytes text(const char *s) { return Bytes(s, s + std::strlen(s)); }
Bytes cat(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  const char *name;
  Bytes image;
  bool create;
  uint32_t type, word;
  Bytes data;
  uint32_t instance;
  idprom_status want;
  Bytes want_image;  // ignored on failure: the image must be unchanged
  uint16_t offset, length;
};

void check(const Case &c) {
  SCOPED_TRACE(c.name);
  const Edit e = run_update(c.image, c.create, c.type, c.word, c.data, c.instance);
  ASSERT_EQ(e.status, c.want);
  if (c.want != IDPROM_OK) return;
  EXPECT_EQ(e.image, c.want_image);
  EXPECT_EQ(e.offset, c.offset);
  EXPECT_EQ(e.length, c.length);
  EXPECT_TRUE(changes_inside(c.image, e.image, e.offset, e.length));
}

// 0xC1 with 11 text bytes (attribute 0x80), then 0x01 0x05, marker, filler.
const Bytes kText11 = padded(cat({0xC1, 0x8B}, cat(text("ABCDEFGHIJK"), {0x01, 0x05})), 20);

TEST(Update, InPlace) {
  const std::vector<Case> cases = {
      {"text, same length: value only, stored attribute kept", kText11, false, 0xC1, 0x4B,
       text("abcdefghijk"), 1, IDPROM_OK,
       padded(cat({0xC1, 0x8B}, cat(text("abcdefghijk"), {0x01, 0x05})), 20), 2, 11},
      {"class 0x00", kText11, false, 0x01, 1, {0x7E}, 1, IDPROM_OK,
       padded(cat({0xC1, 0x8B}, cat(text("ABCDEFGHIJK"), {0x01, 0x7E})), 20), 14, 1},
      {"class 0x40 integer stored big-endian", padded({0x43, 0, 0}, 6), false, 0x43, 2,
       host16(0x1234), 1, IDPROM_OK, padded({0x43, 0x12, 0x34}, 6), 1, 2},
      {"class 0x80 integer stored big-endian", padded({0x83, 0, 0, 0, 0}, 6), false, 0x83, 4,
       host32(0x12345678), 1, IDPROM_OK, padded({0x83, 0x12, 0x34, 0x56, 0x78}, 6), 1, 4},
      {"class 0x80 byte string copied", padded({0x82, 0, 0, 0, 0}, 6), false, 0x82, 4,
       {1, 2, 3, 4}, 1, IDPROM_OK, padded({0x82, 1, 2, 3, 4}, 6), 1, 4},
      {"extension-byte 0x143 copied unchanged", padded({0x00, 0x43, 0, 0}, 6), false, 0x143, 2,
       {0xAB, 0xCD}, 1, IDPROM_OK, padded({0x00, 0x43, 0xAB, 0xCD}, 6), 2, 2},
      {"two-byte length field kept", padded({0xF5, 0x80, 0x02, 'a', 'b'}, 8), false, 0xF5,
       0x4002, text("xy"), 1, IDPROM_OK, padded({0xF5, 0x80, 0x02, 'x', 'y'}, 8), 3, 2},
      {"second instance", padded({0x01, 1, 0x01, 2}, 6), false, 0x01, 1, {9}, 2, IDPROM_OK,
       padded({0x01, 1, 0x01, 9}, 6), 3, 1},
      {"list running to the image's end", {0x01, 0x05, 0x43, 0x12, 0x34}, false, 0x43, 2,
       host16(0xBEEF), 1, IDPROM_OK, {0x01, 0x05, 0x43, 0xBE, 0xEF}, 3, 2},
  };
  for (const Case &c : cases) check(c);
}

TEST(Update, Resize) {
  const Bytes nine = {0xC1, 0x83, 'a', 'b', 'c', 0x01, 0x05, 0xFF, 0xFF};  // room 2
  const std::vector<Case> cases = {
      {"shrink 11 to 8: later entries move up, filler after", kText11, false, 0xC1, 0x88,
       text("abcdefgh"), 1, IDPROM_OK,
       padded(cat({0xC1, 0x88}, cat(text("abcdefgh"), {0x01, 0x05})), 20), 0, 20},
      {"grow by exactly the room: no end marker left", nine, false, 0xC1, 0x45, text("vwxyz"), 1,
       IDPROM_OK, {0xC1, 0x45, 'v', 'w', 'x', 'y', 'z', 0x01, 0x05}, 0, 9},
      {"grow by one more than the room", nine, false, 0xC1, 0x46, text("uvwxyz"), 1,
       IDPROM_ERR_NO_ROOM_TO_GROW, {}, 0, 0},
      {"two-byte length field rewritten, attribute from the word", padded({0xF5, 0x80, 0x02, 'a',
       'b', 0x01, 0x05}, 10), false, 0xF5, 0x4003, text("xyz"), 1, IDPROM_OK,
       padded({0xF5, 0x40, 0x03, 'x', 'y', 'z', 0x01, 0x05}, 10), 0, 10},
      {"extension-byte variable class, second entry", padded({0x01, 7, 0x00, 0xC5, 0x00, 0x01,
       'a', 0xFF}, 11), false, 0x1C5, 0x8003, text("xyz"), 1, IDPROM_OK,
       padded({0x01, 7, 0x00, 0xC5, 0x80, 0x03, 'x', 'y', 'z'}, 11), 2, 9},
      {"class 0x40 given length 3", padded({0x43, 0, 0}, 6), false, 0x43, 3, {1, 2, 3}, 1,
       IDPROM_ERR_LENGTH_MISMATCH, {}, 0, 0},
      {"extension-byte class 0x40 given length 4", padded({0x00, 0x41, 0, 0}, 8), true, 0x141, 4,
       {1, 2, 3, 4}, 1, IDPROM_ERR_LENGTH_MISMATCH, {}, 0, 0},
      {"resize with no end marker after the field", {0xC1, 0x81, 'a', 0x01, 0x05}, false, 0xC1,
       0x82, text("ab"), 1, IDPROM_ERR_NO_END_MARKER, {}, 0, 0},
      {"shrink with no end marker after the field", {0xC1, 0x82, 'a', 'b', 0x01, 0x05}, false,
       0xC1, 0x81, text("a"), 1, IDPROM_ERR_NO_END_MARKER, {}, 0, 0},
  };
  for (const Case &c : cases) check(c);
}

TEST(Update, Append) {
  const Bytes value105(0x105, 0x5A);
  const std::vector<Case> cases = {
      {"blank image, integer type", padded({}, 8), true, 0x43, 2, host16(0x1234), 1, IDPROM_OK,
       padded({0x43, 0x12, 0x34}, 8), 0, 4},
      {"blank image, create clear", padded({}, 8), false, 0x43, 2, host16(0x1234), 1,
       IDPROM_ERR_NOT_FOUND_NO_CREATE, {}, 0, 0},
      {"extension byte, integer type byte stored big-endian", padded({0x01, 0x05}, 8), true,
       0x141, 2, host16(0x1234), 1, IDPROM_OK, padded({0x01, 0x05, 0x00, 0x41, 0x12, 0x34}, 8),
       2, 5},
      {"extension-byte byte string copied", padded({}, 8), true, 0x182, 4, {1, 2, 3, 4}, 1,
       IDPROM_OK, padded({0x00, 0x82, 1, 2, 3, 4}, 8), 0, 7},
      {"0x1C5: two-byte length field", padded({0x01, 0x05}, 12), true, 0x1C5, 0x8003,
       {1, 2, 3}, 1, IDPROM_OK, padded({0x01, 0x05, 0x00, 0xC5, 0x80, 0x03, 1, 2, 3}, 12), 2, 8},
      {"0xF3 with 0x105 bytes", padded({}, 0x110), true, 0xF3, 0x8105, value105, 1, IDPROM_OK,
       padded(cat({0xF3, 0x81, 0x05}, value105), 0x110), 0, 0x109},
      {"one-byte length field with attribute", padded({}, 8), true, 0xC1, 0x82, text("hi"), 1,
       IDPROM_OK, padded({0xC1, 0x82, 'h', 'i'}, 8), 0, 5},
      {"fixed class: width from the class, not the word", padded({}, 8), true, 0x82, 0x3F,
       {1, 2, 3, 4}, 1, IDPROM_OK, padded({0x82, 1, 2, 3, 4}, 8), 0, 6},
      {"entry and marker exactly fill the image", {0x01, 0x05, 0xFF, 0xFF, 0xFF, 0xFF}, true,
       0x43, 2, host16(0x0102), 1, IDPROM_OK, {0x01, 0x05, 0x43, 0x01, 0x02, 0xFF}, 2, 4},
      {"one byte short for the end marker", {0x01, 0x05, 0xFF, 0xFF, 0xFF}, true, 0x43, 2,
       host16(0x0102), 1, IDPROM_ERR_NO_ROOM, {}, 0, 0},
      {"0x7FFF01 needs 0x7FFF extension bytes", padded({}, 64), true, 0x7FFF01, 1, {7}, 1,
       IDPROM_ERR_NO_ROOM, {}, 0, 0},
      {"end marker is the last byte", {0x01, 0x05, 0xFF}, true, 0x01, 1, {7}, 2,
       IDPROM_ERR_NO_ROOM, {}, 0, 0},
      {"instance beyond those present appends", padded({0x01, 0x05}, 6), true, 0x01, 1, {7}, 3,
       IDPROM_OK, padded({0x01, 0x05, 0x01, 0x07}, 6), 2, 3},
      {"instance 0 appends", padded({0x01, 0x05}, 6), true, 0x01, 1, {7}, 0, IDPROM_OK,
       padded({0x01, 0x05, 0x01, 0x07}, 6), 2, 3},
      {"instance 0, create clear", padded({0x01, 0x05}, 6), false, 0x01, 1, {7}, 0,
       IDPROM_ERR_NOT_FOUND_NO_CREATE, {}, 0, 0},
  };
  for (const Case &c : cases) check(c);
}

TEST(Update, Refusals) {
  const Bytes img = padded({0x01, 0x05}, 12);
  const std::vector<Case> cases = {
      {"type 0x00", img, true, 0x00, 1, {1}, 1, IDPROM_ERR_INVALID_TYPE, {}, 0, 0},
      {"type 0xFF", img, true, 0xFF, 1, {1}, 1, IDPROM_ERR_INVALID_TYPE, {}, 0, 0},
      {"type 0x100", img, true, 0x100, 1, {1}, 1, IDPROM_ERR_INVALID_TYPE, {}, 0, 0},
      {"type 0x1FF", img, true, 0x1FF, 2, {1, 2}, 1, IDPROM_ERR_INVALID_TYPE, {}, 0, 0},
      {"variable class, length bits 0 (attribute only)", img, true, 0xC1, 0x80, {1}, 1,
       IDPROM_ERR_INVALID_LENGTH, {}, 0, 0},
      {"variable class, standard word 0", img, true, 0xC8, 0, {1}, 1,
       IDPROM_ERR_INVALID_LENGTH, {}, 0, 0},
      {"two-byte form, length bits 0", img, true, 0xF5, 0xC000, {1}, 1,
       IDPROM_ERR_INVALID_LENGTH, {}, 0, 0},
      {"zero length refused even for an existing entry", padded({0xC1, 0x81, 'a'}, 6), true,
       0xC1, 0x40, {1}, 1, IDPROM_ERR_INVALID_LENGTH, {}, 0, 0},
  };
  for (const Case &c : cases) check(c);
}

TEST(Update, WalkErrors) {
  const std::vector<Case> cases = {
      {"malformed entry before the field", padded({0x01, 0x05, 0xC3, 0x00, 0x43, 0, 0}, 10), true,
       0x43, 2, host16(1), 1, IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"value running past the end", {0x01, 0x05, 0xC3, 0x06, 1, 2}, true, 0x43, 2, host16(1), 1,
       IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"list runs to the end without the field", {0x01, 0x05, 0x43, 0x12, 0x34}, true, 0x83, 4,
       host32(1), 1, IDPROM_ERR_END_OF_IMAGE, {}, 0, 0},
      {"list fills the image, instance beyond", {0x01, 0x05}, true, 0x01, 1, {7}, 2,
       IDPROM_ERR_END_OF_IMAGE, {}, 0, 0},
  };
  for (const Case &c : cases) check(c);
  // An empty image comes before every other check, the refusals included.
  uint16_t off = kUnwritten, len = kUnwritten;
  const uint8_t v = 1;
  EXPECT_EQ(idprom_update_field_data(nullptr, 0, true, 0x01, 1, &v, &off, &len),
            IDPROM_ERR_END_OF_IMAGE);
  EXPECT_EQ(idprom_update_field_data(nullptr, 0, true, 0xFF, 1, &v, &off, &len),
            IDPROM_ERR_END_OF_IMAGE);
  EXPECT_EQ(off, kUnwritten);
  EXPECT_EQ(len, kUnwritten);
}

TEST(Update, LookupReadsBackWhatWasWritten) {
  Bytes image = padded({}, 16);
  uint16_t off = 0, len = 0;
  const uint16_t v = 0x1234;
  ASSERT_EQ(idprom_update_field_data(image.data(), 16, true, 0x141, 2, &v, &off, &len), IDPROM_OK);
  uint8_t raw[2] = {};
  ASSERT_EQ(idprom_get_field_data(image.data(), 16, 0x141, raw, 2, true), IDPROM_OK);
  EXPECT_EQ(Bytes(raw, raw + 2), (Bytes{0x12, 0x34})) << "stored big-endian, read unchanged";
  ASSERT_EQ(idprom_update_field_data(image.data(), 16, true, 0x43, 2, &v, &off, &len), IDPROM_OK);
  uint16_t back = 0;
  ASSERT_EQ(idprom_get_field_data(image.data(), 16, 0x43, &back, 2, true), IDPROM_OK);
  EXPECT_EQ(back, 0x1234);
}

}  // namespace

namespace {

// Dirty regions are counted in 32 bits: images past 32767 bytes resize
// exactly, and a region that would not fit the 16-bit outputs is refused.
TEST(Update, LargeImages) {
  const Bytes grown(1300, 'g');
  auto with_first = [](std::vector<Field> f, const Bytes &v) {
    f[0].value = v;
    return f;
  };
  {  // 40000 bytes: the resize moves 38 entries and reports 40000 bytes.
    const auto fields = long_fields(39);
    const Edit e = run_update(padded(encode(fields), 40000), false, 0xF5, 0x8514, grown);
    ASSERT_EQ(e.status, IDPROM_OK);
    EXPECT_EQ(e.image, padded(encode(with_first(fields, grown)), 40000));
    EXPECT_EQ(e.offset, 0);
    EXPECT_EQ(e.length, 40000);
  }
  {  // 65535 bytes: the largest region that fits.
    const auto fields = long_fields(60);
    const Edit e = run_update(padded(encode(fields), 65535), false, 0xF5, 0x8514, grown);
    ASSERT_EQ(e.status, IDPROM_OK);
    EXPECT_EQ(e.image, padded(encode(with_first(fields, grown)), 65535));
    EXPECT_EQ(e.offset, 0);
    EXPECT_EQ(e.length, 65535);
  }
  const auto fields = long_fields(65);  // 65195 bytes, end marker at 65195
  const Bytes big = padded(encode(fields), 65536);
  EXPECT_EQ(run_update(big, false, 0xF5, 0x8514, grown).status, IDPROM_ERR_IMAGE_TOO_LARGE)
      << "region 0+65536 does not fit";
  {  // From the second entry on the region is 64533 bytes: reportable.
    Edit e = run_update(big, false, 0xF5, 0x8514, grown, 2);
    ASSERT_EQ(e.status, IDPROM_OK);
    EXPECT_EQ(e.offset, 1003);
    EXPECT_EQ(e.length, 65536 - 1003);
  }
  {  // In place and append stay small regions.
    const Edit e = run_update(big, false, 0xF5, 0x83E8, Bytes(1000, 'x'), 65);
    ASSERT_EQ(e.status, IDPROM_OK);
    EXPECT_EQ(e.offset, 64 * 1003 + 3);
    EXPECT_EQ(e.length, 1000);
    const Edit a = run_update(big, true, 0x01, 1, {9});
    ASSERT_EQ(a.status, IDPROM_OK);
    EXPECT_EQ(a.offset, 65195);
    EXPECT_EQ(a.length, 3);
  }
  // Past 65535 the end marker's offset itself no longer fits.
  const Bytes huge = padded(encode(long_fields(69)), 70000);  // marker at 69207
  EXPECT_EQ(run_update(huge, true, 0x01, 1, {9}).status, IDPROM_ERR_IMAGE_TOO_LARGE);
  EXPECT_EQ(run_update(huge, false, 0x01, 1, {9}).status, IDPROM_ERR_NOT_FOUND_NO_CREATE)
      << "the statuses of valid requests come first";
}

}  // namespace
