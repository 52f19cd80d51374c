#include <gtest/gtest.h>

#include "edit_util.hpp"

using namespace idprom::test;

namespace {

struct Case {
  const char *name;
  Bytes image;
  uint32_t type, instance;
  idprom_status want;
  Bytes want_image;  // ignored on failure: the image must be unchanged
  uint16_t offset, length;
};

TEST(Delete, Outcomes) {
  const Bytes two = {0x01, 0x05, 0x43, 0x12, 0x34, 0xFF};
  const Bytes twins = padded({0x88, 0, 0, 0, 1, 0x01, 7, 0x88, 0, 0, 0, 2}, 14);
  const std::vector<Case> cases = {
      {"first entry", two, 0x01, 1, IDPROM_OK, {0x43, 0x12, 0x34, 0xFF, 0xFF, 0xFF}, 0, 5},
      {"entry before the marker", two, 0x43, 1, IDPROM_OK, {0x01, 0x05, 0xFF, 0xFF, 0xFF, 0xFF},
       2, 3},
      {"second instance", twins, 0x88, 2, IDPROM_OK, padded({0x88, 0, 0, 0, 1, 0x01, 7}, 14), 7,
       5},
      {"first instance of two", twins, 0x88, 1, IDPROM_OK,
       padded({0x01, 7, 0x88, 0, 0, 0, 2}, 14), 0, 12},
      {"extension bytes go too", padded({0x01, 5, 0x00, 0x00, 0xC5, 0x80, 0x01, 'a', 0x41, 1, 2},
       13), 0x2C5, 1, IDPROM_OK, padded({0x01, 5, 0x41, 1, 2}, 13), 2, 9},
      {"0x41 is not 0x141", padded({0x00, 0x41, 1, 2, 0x41, 3, 4}, 8), 0x41, 1, IDPROM_OK,
       padded({0x00, 0x41, 1, 2}, 8), 4, 3},
      {"two-byte length field", padded({0xF3, 0x00, 0x02, 'a', 'b', 0x01, 7}, 8), 0xF3, 1,
       IDPROM_OK, padded({0x01, 7}, 8), 0, 7},
      {"absent type", two, 0x83, 1, IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"instance 0", two, 0x01, 0, IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"instance beyond", twins, 0x88, 3, IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"blank image", padded({}, 4), 0x01, 1, IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"malformed entry before", padded({0x01, 5, 0xC3, 0x00, 0x43, 1, 2}, 9), 0x43, 1,
       IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"list runs to the end, type absent", {0x01, 0x05, 0x43, 0x12, 0x34}, 0x83, 1,
       IDPROM_ERR_NOT_FOUND, {}, 0, 0},
      {"last entry reaches the image's end", {0x01, 0x05, 0x43, 0x12, 0x34}, 0x43, 1,
       IDPROM_ERR_NO_END_MARKER, {}, 0, 0},
      {"earlier entry, list runs to the end", {0x01, 0x05, 0x43, 0x12, 0x34}, 0x01, 1,
       IDPROM_ERR_NO_END_MARKER, {}, 0, 0},
      {"malformed entry after the found one", {0x01, 0x05, 0xC3, 0x00, 0xFF}, 0x01, 1,
       IDPROM_ERR_NO_END_MARKER, {}, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Edit e = run_delete(c.image, c.type, c.instance);
    ASSERT_EQ(e.status, c.want);
    if (c.want != IDPROM_OK) continue;
    EXPECT_EQ(e.image, c.want_image);
    EXPECT_EQ(e.offset, c.offset);
    EXPECT_EQ(e.length, c.length);
    EXPECT_TRUE(changes_inside(c.image, e.image, e.offset, e.length));
  }
  uint16_t off = kUnwritten, len = kUnwritten;
  EXPECT_EQ(idprom_delete_field(nullptr, 0, 0x01, &off, &len), IDPROM_ERR_NOT_FOUND);
  EXPECT_EQ(off, kUnwritten);
}

TEST(Delete, LargeImages) {
  auto fields = long_fields(39);  // 40000 bytes, marker at 39117
  {
    const Edit e = run_delete(padded(encode(fields), 40000), 0xF5, 2);
    ASSERT_EQ(e.status, IDPROM_OK);
    EXPECT_EQ(e.offset, 1003);
    EXPECT_EQ(e.length, 39117 - 1003);
    fields.erase(fields.begin() + 1);
    EXPECT_EQ(e.image, padded(encode(fields), 40000));
  }
  const Bytes huge = padded(encode(long_fields(69)), 70000);  // marker at 69207
  EXPECT_EQ(run_delete(huge, 0xF5, 1).status, IDPROM_ERR_IMAGE_TOO_LARGE) << "length 69207";
  EXPECT_EQ(run_delete(huge, 0xF5, 69).status, IDPROM_ERR_IMAGE_TOO_LARGE) << "offset 68204";
  const Edit e = run_delete(huge, 0xF5, 5);  // S = 4012: 65195 bytes to the marker
  ASSERT_EQ(e.status, IDPROM_OK);
  EXPECT_EQ(e.offset, 4012);
  EXPECT_EQ(e.length, 65195);
  EXPECT_EQ(run_delete(huge, 0xF5, 70).status, IDPROM_ERR_NOT_FOUND);
}

}  // namespace
