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
// Properties, for every outcome:
// - the new value is read from a block of exactly the size the call may
//   read (the class width, or the length of the length word);
// - failure: the image is byte-identical and the dirty outputs untouched;
// - success: every changed byte lies inside the dirty region, which lies
//   inside the image; the image walks to an end marker or to its end (or,
//   for an overwrite in place, stops where it stopped before); and its
//   entries are the old ones with exactly the requested change: one value
//   replaced (its attribute from the length word when it was resized), one
//   entry appended, or one entry removed.
#include "codec/codec.hpp"
#include "fuzz_support.hpp"

using namespace idprom::fuzz;

namespace {

constexpr uint16_t kUntouched = 0xA5A5;

struct Call {
  bool remove = false;
  bool create = false;
  uint32_t type = 0;
  uint32_t word = 0;
  uint32_t instance = 0;
};

// The entry list as (type, attribute, value bytes): what an edit changes.
struct Field {
  uint32_t type;
  uint32_t attribute;
  std::vector<uint8_t> value;
  bool operator==(const Field &) const = default;
};

FUZZ_UNTRACED std::vector<Field> fields_of(const uint8_t *image, const RefList &list) {
  std::vector<Field> fields;
  for (const RefEntry &e : list.entries)
    fields.push_back({e.type, e.attribute, {image + e.value, image + e.value + e.length}});
  return fields;
}

uint32_t new_length(const Call &c) {
  return c.word & (c.type >= 0xF0 ? 0x3FFFU : 0x3FU);
}

uint32_t new_attribute(const Call &c) {
  if ((c.type & 0xC0) != 0xC0) return 0;
  return (c.type >= 0xF0 ? c.word >> 8 : c.word) & 0xC0U;
}

uint32_t class_width(uint32_t type) { return 1U << ((type >> 6) & 3U); }

// Bytes the update may read from data: the class width for the fixed
// classes, the new length for the variable class.
size_t data_size(const Call &c) {
  return (c.type & 0xC0) == 0xC0 ? new_length(c) : class_width(c.type);
}

// The stored form of a host-order integer of the given width.
std::vector<uint8_t> big_endian(const uint8_t *data, uint32_t width) {
  uint32_t v = 0;
  if (width == 1) v = data[0];
  if (width == 2) { uint16_t h; std::memcpy(&h, data, 2); v = h; }
  if (width == 4) std::memcpy(&v, data, 4);
  std::vector<uint8_t> out(width);
  for (uint32_t i = width; i-- > 0; v >>= 8) out[i] = static_cast<uint8_t>(v);
  return out;
}

// Index in list of the instance-th entry of the call's type, or -1.
long find(const RefList &list, const Call &c) {
  uint32_t count = 0;
  for (size_t i = 0; i < list.entries.size(); ++i)
    if (list.entries[i].type == c.type && ++count == c.instance) return static_cast<long>(i);
  return -1;
}

// Every byte that differs lies inside [offset, offset + length).
FUZZ_UNTRACED void check_dirty(const Block &before, const Block &after, uint16_t offset,
                               uint16_t length) {
  FUZZ_CHECK(size_t{offset} + length <= after.size());
  const uint8_t *a = before.data();
  const uint8_t *b = after.data();
  FUZZ_CHECK(std::memcmp(a, b, offset) == 0);
  const size_t tail = size_t{offset} + length;
  FUZZ_CHECK(std::memcmp(a + tail, b + tail, after.size() - tail) == 0);
}

bool filler_from(const Block &image, size_t from) { return image.all_from(from, 0xFF); }

void check_update(const Block &before, const Block &after, const RefList &old_list,
                  const RefList &new_list, const Call &c, const Block &data) {
  std::vector<Field> want = fields_of(before.data(), old_list);
  const std::vector<Field> got = fields_of(after.data(), new_list);
  const long k = find(old_list, c);
  const uint32_t n = new_length(c);
  if (k >= 0) {
    Field &f = want[static_cast<size_t>(k)];
    const bool numeric = c.type < 0xC0 && ref_is_numeric(c.type);
    if (n == f.value.size()) {
      // Overwrite in place: the length field and the rest of the list stay.
      f.value = numeric ? big_endian(data.data(), n)
                        : std::vector<uint8_t>(data.data(), data.data() + n);
      FUZZ_CHECK(new_list.stop == old_list.stop && new_list.stop_at == old_list.stop_at);
    } else {
      FUZZ_CHECK((c.type & 0xC0) == 0xC0 && old_list.stop == Stop::kMarker);
      f.value.assign(data.data(), data.data() + n);
      f.attribute = new_attribute(c);
      FUZZ_CHECK(new_list.stop != Stop::kMalformed && filler_from(after, new_list.stop_at));
    }
  } else {
    // Append where the marker stood; a marker follows the new entry.
    FUZZ_CHECK(c.create && old_list.stop == Stop::kMarker);
    const uint32_t width = (c.type & 0xC0) == 0xC0 ? n : class_width(c.type);
    const bool numeric = width > 1 && (c.type & 0xC0) != 0xC0 && ref_is_numeric(c.type & 0xFF);
    want.push_back({c.type, new_attribute(c),
                    numeric ? big_endian(data.data(), width)
                            : std::vector<uint8_t>(data.data(), data.data() + width)});
    FUZZ_CHECK(new_list.stop == Stop::kMarker);
  }
  FUZZ_CHECK(got == want);
}

void check_delete(const Block &before, const Block &after, const RefList &old_list,
                  const RefList &new_list, const Call &c) {
  const long k = find(old_list, c);
  FUZZ_CHECK(k >= 0 && old_list.stop == Stop::kMarker);
  std::vector<Field> want = fields_of(before.data(), old_list);
  want.erase(want.begin() + k);
  FUZZ_CHECK(fields_of(after.data(), new_list) == want);
  FUZZ_CHECK(new_list.stop == Stop::kMarker);
  // The bytes freed before the old marker are filler now.
  FUZZ_CHECK(all_equal(after.data() + new_list.stop_at, old_list.stop_at + 1 - new_list.stop_at,
                       0xFF));
}

idprom_status run(const Call &c, Block *image, const Block &data, uint16_t *offset,
                  uint16_t *length) {
  uint8_t *const img = image->data();
  const uint32_t n = image->size32();
  if (c.remove)
    return c.instance == 1 ? idprom_delete_field(img, n, c.type, offset, length)
                           : idprom_delete_field_instance(img, n, c.type, offset, length,
                                                          c.instance);
  return c.instance == 1
             ? idprom_update_field_data(img, n, c.create, c.type, c.word, data.data(), offset,
                                        length)
             : idprom_update_field_data_instance(img, n, c.create, c.type, c.word, data.data(),
                                                 offset, length, c.instance);
}

bool known_status(idprom_status s) {
  return s == IDPROM_OK || (s >= IDPROM_ERR_LENGTH_MISMATCH && s <= IDPROM_ERR_IMAGE_TOO_LARGE);
}

// The new value: any bytes do, as long as they differ from byte to byte.
FUZZ_UNTRACED void fill_value(Block *data, uint8_t seed) {
  for (size_t i = 0; i < data->size(); ++i) data->data()[i] = static_cast<uint8_t>(seed + i * 59);
}

Block make_image(Input &in, uint8_t pad) {
  const size_t pad_to = ((pad & 8U) != 0 ? 65532U : 32764U) + (pad & 7U);
  const size_t n = in.rest_size();
  if (pad < 0xF0 || pad_to <= n) return Block(in.rest(), n);
  Block image(pad_to, 0xFF);
  if (n != 0) std::memcpy(image.data(), in.rest(), n);
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t input_size) {
  Input in(input, input_size);
  const uint8_t op = in.u8();
  Call c;
  c.remove = (op & 1U) != 0;
  c.create = (op & 2U) != 0;
  c.type = ((op >> 2) & 3U) * 256U + in.u8();
  c.word = in.u16();
  c.instance = op >> 4;
  if ((in.u8() & 1U) != 0) c.word = 0xFFFFFFFF;
  const uint8_t pad = in.u8();
  const uint8_t seed = in.u8();

  const Block before = make_image(in, pad);
  Block image(before.data(), before.size());
  Block data(c.remove ? 0 : data_size(c));
  fill_value(&data, seed);

  uint16_t offset = kUntouched, length = kUntouched;
  const idprom_status s = run(c, &image, data, &offset, &length);
  FUZZ_CHECK(known_status(s));
  if (s != IDPROM_OK) {
    FUZZ_CHECK(image.equals(before));
    FUZZ_CHECK(offset == kUntouched && length == kUntouched);
    return 0;
  }
  // Update refuses codes without an encoding; delete may still remove an
  // entry that decodes to one (0x00 0xFF reads as type 0x1FF).
  FUZZ_CHECK(c.remove || idprom::codec::has_encoding(c.type));
  check_dirty(before, image, offset, length);
  const RefList old_list = ref_walk(before.data(), before.size());
  const RefList new_list = ref_walk(image.data(), image.size());
  if (c.remove)
    check_delete(before, image, old_list, new_list, c);
  else
    check_update(before, image, old_list, new_list, c, data);
  return 0;
}
