// Field lookup: the value of the n-th entry of a type, copied out, with
// integer-valued fixed-size types converted to host order.
#include <cstring>

#include "codec/bigendian.hpp"
#include "codec/codec.hpp"

using namespace idprom::codec;

extern "C" IDPROM_API idprom_status idprom_get_field_data_instance(
    const uint8_t *image, uint32_t image_length, uint32_t type, void *out, uint32_t out_size,
    bool exact, uint32_t instance) noexcept {
  if (image_length == 0 || image[0] == kEndMarker) return IDPROM_ERR_NOT_FOUND;
  const uint8_t *const end = image + image_length;
  const uint8_t *pos = image;
  uint32_t count = 0;
  Entry entry;
  for (;;) {
    if (!decode(pos, end, &entry)) return IDPROM_ERR_NOT_FOUND;
    if (entry.type == type && ++count == instance) break;
    pos = entry.next();
    if (pos >= end || *pos == kEndMarker) return IDPROM_ERR_NOT_FOUND;
  }

  if (exact && entry.length != out_size) return IDPROM_ERR_LENGTH_MISMATCH;
  if (!exact && entry.length > out_size) return IDPROM_ERR_BUFFER_TOO_SMALL;

  if (type < kClassVariable && idprom_type_is_numeric(type))
    store_host(out, entry.length, load_be(entry.value, entry.length));
  else
    std::memcpy(out, entry.value, entry.length);
  return IDPROM_OK;
}

extern "C" IDPROM_API idprom_status idprom_get_field_data(const uint8_t *image,
                                                          uint32_t image_length, uint32_t type,
                                                          void *out, uint32_t out_size,
                                                          bool exact) noexcept {
  return idprom_get_field_data_instance(image, image_length, type, out, out_size, exact, 1);
}
