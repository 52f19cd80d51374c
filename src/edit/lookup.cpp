// Field lookup: the value of the n-th entry of a type, copied out, with
// integer-valued fixed-size types converted to host order.
#include <cstring>

#include "codec/bigendian.hpp"
#include "codec/codec.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

extern "C" IDPROM_API idprom_status idprom_get_field_data_instance(
    const uint8_t *image, uint32_t image_length, uint32_t type, void *out, uint32_t out_size,
    bool exact, uint32_t instance) noexcept {
  if (image_length == 0) return IDPROM_ERR_NOT_FOUND;
  Entry entry;
  const uint8_t *at = nullptr;
  if (idprom::edit::find_instance(image, image + image_length, type, instance, &entry, &at) !=
      idprom::edit::Stop::kFound)
    return IDPROM_ERR_NOT_FOUND;

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
