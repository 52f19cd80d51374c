// Decoding and lookup against hostile images.
//
// Input:  pick  type_byte  out_size_hi  out_size_lo  image...
//   pick bits 1-0  extension bytes of the looked-up type code (0-3)
//        bit  2    exact
//        bits 7-3  instance (0-31)
//   out_size       bit 15 set: bits 13-0, up to 16383; clear: bits 6-0
//
// Properties:
// - idprom_get_entry agrees with an independent decoder at every walk
//   position and at the first offsets: same value pointer (or null), type,
//   length and attribute, and every entry lies inside the image;
// - idprom_find_end_marker returns the marker the walk stops at, from the
//   first byte and from every entry on the way, or null;
// - lookup returns the status and the bytes the walk predicts, writes at
//   most the value length into an out buffer of exactly out_size bytes,
//   and nothing at all on failure; the image is never written;
// - idprom_type_to_len gives a well-formed length word.
#include "codec/codec.hpp"
#include "fuzz_support.hpp"

using idprom::codec::idprom_find_end_marker;
using namespace idprom::fuzz;

namespace {

void check_decode_at(const Block &image, size_t pos) {
  const uint8_t *const base = image.data();
  const uint8_t *const end = base + image.size();
  uint32_t type = 0, length = 0, attribute = 0xDEAD;
  const uint8_t *value = idprom_get_entry(base + pos, end, &type, &length, &attribute);
  RefEntry want;
  const bool ok = ref_decode(base, image.size(), pos, &want);
  FUZZ_CHECK((value != nullptr) == ok);
  if (!ok) return;
  FUZZ_CHECK(value == base + want.value);
  FUZZ_CHECK(value > base + pos && length <= static_cast<size_t>(end - value));
  FUZZ_CHECK(type == want.type && length == want.length && attribute == want.attribute);
  uint32_t type2 = 0, length2 = 0;
  FUZZ_CHECK(idprom_get_entry(base + pos, end, &type2, &length2, nullptr) == value);
  FUZZ_CHECK(type2 == type && length2 == length);
}

void check_walk(const Block &image, const RefList &list) {
  const uint8_t *const base = image.data();
  const uint8_t *const end = base + image.size();
  const uint8_t *const marker = list.stop == Stop::kMarker ? base + list.stop_at : nullptr;
  FUZZ_CHECK(idprom_find_end_marker(base, end) == marker);
  // The search from an entry is a walk of its own: from a few entries only,
  // so that long lists stay linear.
  for (size_t i = 0; i < list.entries.size(); ++i) {
    const RefEntry &e = list.entries[i];
    check_decode_at(image, e.start);
    if (i < 4 || i + 1 == list.entries.size())
      FUZZ_CHECK(idprom_find_end_marker(base + e.start, end) == marker);
  }
  if (list.stop == Stop::kMalformed) check_decode_at(image, list.stop_at);
  for (size_t pos = 0; pos < image.size() && pos < 16; ++pos) check_decode_at(image, pos);
  FUZZ_CHECK(idprom_find_end_marker(end, end) == nullptr);
}

// The status and value bytes lookup must give, from the reference walk.
idprom_status expected_lookup(const Block &image, const RefList &list, uint32_t type,
                              uint32_t out_size, bool exact, uint32_t instance,
                              std::vector<uint8_t> *bytes) {
  if (image.size() == 0 || image.data()[0] == 0xFF) return IDPROM_ERR_NOT_FOUND;
  uint32_t count = 0;
  for (const RefEntry &e : list.entries) {
    if (e.type != type || ++count != instance) continue;
    if (exact && e.length != out_size) return IDPROM_ERR_LENGTH_MISMATCH;
    if (!exact && e.length > out_size) return IDPROM_ERR_BUFFER_TOO_SMALL;
    const uint8_t *v = image.data() + e.value;
    bytes->assign(v, v + e.length);
    if (type < 0xC0 && ref_is_numeric(type)) {
      uint32_t number = 0;
      for (const uint8_t b : *bytes) number = number << 8 | b;
      const uint8_t u8 = static_cast<uint8_t>(number);
      const uint16_t u16 = static_cast<uint16_t>(number);
      const void *host = e.length == 1 ? static_cast<const void *>(&u8)
                         : e.length == 2 ? static_cast<const void *>(&u16)
                                         : static_cast<const void *>(&number);
      std::memcpy(bytes->data(), host, e.length);
    }
    return IDPROM_OK;
  }
  return IDPROM_ERR_NOT_FOUND;
}

void check_lookup(const Block &image, const RefList &list, uint32_t type, uint32_t out_size,
                  bool exact, uint32_t instance) {
  std::vector<uint8_t> want_bytes;
  const idprom_status want =
      expected_lookup(image, list, type, out_size, exact, instance, &want_bytes);
  const Block before(image.data(), image.size());
  for (const uint8_t fill : {uint8_t{0xA5}, uint8_t{0x5A}}) {
    Block out(out_size, fill);
    const idprom_status got = instance == 1
        ? idprom_get_field_data(image.data(), image.size32(), type, out.data(), out_size, exact)
        : idprom_get_field_data_instance(image.data(), image.size32(), type, out.data(),
                                         out_size, exact, instance);
    FUZZ_CHECK(got == want);
    FUZZ_CHECK(image.equals(before));
    const size_t written = got == IDPROM_OK ? want_bytes.size() : 0;
    FUZZ_CHECK(written == 0 || std::memcmp(out.data(), want_bytes.data(), written) == 0);
    FUZZ_CHECK(out.all_from(written, fill));
  }
}

void check_type_to_len(uint32_t type) {
  const uint32_t word = idprom_type_to_len(type);
  switch (type & 0xC0) {
    case 0x00: FUZZ_CHECK(word == 1); return;
    case 0x40: FUZZ_CHECK(word == 2); return;
    case 0x80: FUZZ_CHECK(word == 4); return;
    default: break;
  }
  if (type == 0xF3 || type == 0xF4) {
    FUZZ_CHECK(word == 0xFFFFFFFF);
  } else if (type > 0xFF) {
    FUZZ_CHECK(word == 0);
  } else {
    // one-byte layout: attribute bits 7-6, a length of 1 to 63; or none
    FUZZ_CHECK(word == 0 || (word <= 0xFF && (word & 0x3F) != 0));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in(data, size);
  const uint8_t pick = in.u8();
  const uint32_t type = (pick & 3U) * 256U + in.u8();
  const uint16_t size_bits = in.u16();  // bit 15 picks a large out buffer
  const uint32_t out_size = (size_bits & 0x8000U) != 0 ? size_bits & 0x3FFFU : size_bits & 0x7FU;
  const bool exact = (pick & 4U) != 0;
  const uint32_t instance = pick >> 3;
  const Block image(in.rest(), in.rest_size());

  const RefList list = ref_walk(image.data(), image.size());
  check_walk(image, list);
  check_lookup(image, list, type, out_size, exact, instance);
  check_type_to_len(type);
  return 0;
}
