// Update, append and delete on a copy of a hostile image.
//
// Input:  op  type_byte  word_hi  word_lo  flags  pad  seed  image...
//   op bit  0     delete (set) or update (clear)
//      bit  1     create
//      bits 3-2   extension bytes of the type code (0-3)
//      bits 7-4   instance (0-15)
//   word          low 16 bits of the length word
//   flags bit 0   length word 0xFFFFFFFF instead
//   pad           0xF0 and above: 0xFF filler makes the image 32764 (bit 3
//                 clear) or 65532 (bit 3 set) bytes plus bits 2-0 long, so
//                 that the 15- and 16-bit limits are crossed
//   seed          first byte of the generated new value
//
// Properties: the new value is read from a block of exactly the size the
// call may read; a failure leaves the image byte-identical and the dirty
// outputs untouched; update never writes a code without an encoding.  When
// the image's list ends at a marker or at the image's end, the status is the
// model's (tests/model.hpp), and on success so are the region and the list,
// with filler after the list inside the region.
#include "codec/codec.hpp"
#include "fuzz_support.hpp"

using namespace idprom::fuzz;
using namespace idprom::model;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t input_size) {
  Input in(input, input_size);
  const uint8_t op = in.u8();
  const bool remove = (op & 1U) != 0, create = (op & 2U) != 0;
  const uint32_t type = ((op >> 2) & 3U) * 256U + in.u8(), instance = op >> 4;
  uint32_t word = in.u16();
  if ((in.u8() & 1U) != 0) word = 0xFFFFFFFF;
  const uint8_t pad = in.u8(), seed = in.u8();

  const size_t pad_to = ((pad & 8U) != 0 ? 65532U : 32764U) + (pad & 7U);
  Block before(pad >= 0xF0 && pad_to > in.rest_size() ? pad_to : in.rest_size(), 0xFF);
  if (in.rest_size() != 0) std::memcpy(before.data(), in.rest(), in.rest_size());
  Block image(before.data(), before.size());
  // Bytes the update may read: the class width, or the new length.
  Block data(remove ? 0 : is_variable(type) ? word & (type >= 0xF0 ? 0x3FFFU : 0x3FU) : width(type));
  for (size_t i = 0; i < data.size(); ++i) data.data()[i] = static_cast<uint8_t>(seed + i * 59);

  uint16_t offset = 0xA5A5, length = 0xA5A5;
  const idprom_status s =
      remove ? idprom_delete_field_instance(image.data(), image.size32(), type, &offset, &length, instance)
             : idprom_update_field_data_instance(image.data(), image.size32(), create, type, word,
                                                 data.data(), &offset, &length, instance);
  FUZZ_CHECK(s == IDPROM_OK || (s >= IDPROM_ERR_LENGTH_MISMATCH && s <= IDPROM_ERR_IMAGE_TOO_LARGE));
  if (s != IDPROM_OK) {
    FUZZ_CHECK(image == before);
    FUZZ_CHECK(offset == 0xA5A5 && length == 0xA5A5);
  } else {
    // delete may still remove an entry that decodes to a code without one (0x00 0xFF reads as 0x1FF)
    FUZZ_CHECK(remove || idprom::codec::has_encoding(type));
  }
  const List list = walk(before.data(), before.size());
  if (list.stop == Stop::kMalformed) return 0;
  const Expected x = remove ? expect_delete(list, type, instance)
                            : expect_update(list, create, type, word, instance, data.data());
  FUZZ_CHECK(s == x.status);
  if (s == IDPROM_OK)
    FUZZ_CHECK(check_result(before.data(), image.data(), image.size(), x, offset, length) == nullptr);
  return 0;
}
