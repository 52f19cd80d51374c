// Decoding and lookup against hostile images.
//
// Input:  pick  type_byte  out_size_hi  out_size_lo  image...
//   pick bits 1-0  extension bytes of the looked-up type code (0-3)
//        bit  2    exact
//        bits 7-3  instance (0-31)
//   out_size       bit 15 set: bits 13-0, up to 16383; clear: bits 6-0
//
// Properties:
// - idprom_get_entry agrees with the model's decoder at every entry of the
//   walk, where it stops, and at the first 16 offsets;
// - idprom_find_end_marker finds the marker the walk stops at, or null;
// - lookup gives the status and bytes the walk predicts, writes at most the
//   value into an out buffer of exactly out_size bytes, nothing on failure,
//   and never writes the image.
#include "codec/codec.hpp"
#include "fuzz_support.hpp"

using namespace idprom::fuzz;
using namespace idprom::model;

namespace {

void check_decode_at(const Block &image, size_t pos) {
  const uint8_t *const base = image.data();
  uint32_t type = 0, length = 0, attribute = 0xDEAD;
  const uint8_t *value = idprom_get_entry(base + pos, base + image.size(), &type, &length, &attribute);
  Entry want;
  const bool ok = decode_at(base, image.size(), pos, &want);
  FUZZ_CHECK((value != nullptr) == ok);
  if (!ok) return;
  FUZZ_CHECK(value == base + want.value && length == want.field.value.size());
  FUZZ_CHECK(type == want.field.type && attribute == want.field.attribute);
}

idprom_status expected_lookup(const List &list, uint32_t type, uint32_t out_size, bool exact,
                              uint32_t instance, Bytes *bytes) {
  const long k = list.find(type, instance);
  if (k < 0) return IDPROM_ERR_NOT_FOUND;
  const Bytes &v = list.entries[static_cast<size_t>(k)].field.value;
  if (exact && v.size() != out_size) return IDPROM_ERR_LENGTH_MISMATCH;
  if (!exact && v.size() > out_size) return IDPROM_ERR_BUFFER_TOO_SMALL;
  *bytes = v;
  if (type < 0xC0 && !idprom::is_byte_string_code(type)) {  // host order
    uint32_t number = 0;
    for (const uint8_t b : v) number = number << 8 | b;
    const auto u16 = static_cast<uint16_t>(number);
    std::memcpy(bytes->data(), v.size() == 2 ? static_cast<const void *>(&u16) : &number, v.size() == 1 ? 0 : v.size());
  }
  return IDPROM_OK;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in(data, size);
  const uint8_t pick = in.u8();
  const uint32_t type = (pick & 3U) * 256U + in.u8();
  const uint16_t size_bits = in.u16();
  const uint32_t out_size = (size_bits & 0x8000U) != 0 ? size_bits & 0x3FFFU : size_bits & 0x7FU;
  const bool exact = (pick & 4U) != 0;
  const uint32_t instance = pick >> 3;
  const Block image(in.rest(), in.rest_size());
  const uint8_t *const end = image.data() + image.size();

  const List list = walk(image.data(), image.size());
  const uint8_t *const marker = list.stop == Stop::kMarker ? image.data() + list.stop_at : nullptr;
  FUZZ_CHECK(idprom::codec::idprom_find_end_marker(image.data(), end) == marker);
  for (size_t i = 0; i < list.entries.size(); ++i) {
    check_decode_at(image, list.entries[i].start);
    if (i < 4) FUZZ_CHECK(idprom::codec::idprom_find_end_marker(image.data() + list.entries[i].start, end) == marker);
  }
  if (list.stop == Stop::kMalformed) check_decode_at(image, list.stop_at);
  for (size_t pos = 0; pos < image.size() && pos < 16; ++pos) check_decode_at(image, pos);

  Bytes want;
  const idprom_status status = expected_lookup(list, type, out_size, exact, instance, &want);
  const Block before(image.data(), image.size());
  Block out(out_size, 0xA5);
  FUZZ_CHECK(idprom_get_field_data_instance(image.data(), image.size32(), type, out.data(), out_size,
                                            exact, instance) == status);
  FUZZ_CHECK(image == before);
  FUZZ_CHECK(want.empty() || std::memcmp(out.data(), want.data(), want.size()) == 0);
  FUZZ_CHECK(out.all_from(want.size(), 0xA5));
  return 0;
}
