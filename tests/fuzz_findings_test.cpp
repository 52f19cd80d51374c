// Inputs the fuzz harnesses (fuzz/) turned up, kept as unit tests so that
// the behaviour they pinned down holds in every build.  The raw inputs stay
// in fuzz/corpus/<harness>/ under names starting with "found-", where CTest
// replays them through the harnesses as well.
#include <gtest/gtest.h>

#include "idprom.h"
#include "test_util.hpp"

using idprom::test::Bytes;
using idprom::test::exact_copy;
using idprom::test::padded;

namespace {

// An extension byte followed by 0xFF reads as type 0x1FF: the decoder gives
// 0xFF no special meaning after an extension byte, and 0x1FF is of the
// variable class with a two-byte length field.  Such a type has no encoding,
// so update refuses to write it; but an image can still hold one, and lookup
// and delete find it the way every reader walks the list.
TEST(FuzzFindings, EntryReadAsTypeWithoutEncoding) {
  const Bytes list = {0x00, 0xFF, 0x00, 0x03, 'a', 'b', 'c', 0x01, 0x05};
  Bytes image = exact_copy(padded(list, 11));
  const auto n = static_cast<uint32_t>(image.size());

  uint8_t value[3] = {};
  EXPECT_EQ(idprom_get_field_data(image.data(), n, 0x1FF, value, 3, true), IDPROM_OK);
  EXPECT_EQ(Bytes(value, value + 3), (Bytes{'a', 'b', 'c'}));

  const Bytes before = image;
  uint16_t offset = 0xAAAA, length = 0xAAAA;
  EXPECT_EQ(idprom_update_field_data(image.data(), n, true, 0x1FF, 3, "xyz", &offset, &length),
            IDPROM_ERR_INVALID_TYPE);
  EXPECT_EQ(image, before);
  EXPECT_EQ(offset, 0xAAAA);

  ASSERT_EQ(idprom_delete_field(image.data(), n, 0x1FF, &offset, &length), IDPROM_OK);
  EXPECT_EQ(image, padded({0x01, 0x05}, 11));
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(length, 9);  // up to the old end marker
}

// The input as found: 0x00 0xFF at the start of a 65539-byte image of 0xFF
// filler.  The entry's length field is 0xFFFF (attribute 0xC0, 16383 bytes
// of 0xFF), the end marker follows at offset 16387, and the dirty region of
// the delete, which ends there, still fits the 16-bit outputs.
TEST(FuzzFindings, DeleteOfTypeWithoutEncodingInA64KImage) {
  Bytes image = exact_copy(padded({0x00, 0xFF}, 65539));
  uint16_t offset = 0xAAAA, length = 0xAAAA;
  ASSERT_EQ(idprom_delete_field(image.data(), static_cast<uint32_t>(image.size()), 0x1FF, &offset,
                                &length),
            IDPROM_OK);
  EXPECT_EQ(image, padded({}, 65539));
  EXPECT_EQ(offset, 0);
  EXPECT_EQ(length, 16387);
}

}  // namespace
