// Field lookup: the value of the n-th entry of a type, copied out, with
// integer-valued fixed-size types converted to host order.
#include <cstring>

#include "codec/bigendian.hpp"
#include "codec/codec.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

namespace {

// The lookup behind the three exported forms, called directly rather than
// through an exported (interposable) one.
idprom_status lookup(const uint8_t *image, uint32_t image_length, uint32_t type, void *out,
                     uint32_t out_size, bool exact, uint32_t instance, uint32_t *length) noexcept {
  if (length != nullptr) *length = 0;
  if (image_length == 0) return IDPROM_ERR_NOT_FOUND;
  Entry entry;
  const uint8_t *at = nullptr;
  if (idprom::edit::find_instance(image, image + image_length, type, instance, &entry, &at) !=
      idprom::edit::Stop::kFound)
    return IDPROM_ERR_NOT_FOUND;
  if (length != nullptr) *length = entry.length;

  if (exact && entry.length != out_size) return IDPROM_ERR_LENGTH_MISMATCH;
  if (!exact && entry.length > out_size) return IDPROM_ERR_BUFFER_TOO_SMALL;

  if (type < kClassVariable && idprom_type_is_numeric(type))
    store_host(out, entry.length, load_be(entry.value, entry.length));
  else
    std::memcpy(out, entry.value, entry.length);
  return IDPROM_OK;
}

}  // namespace

extern "C" IDPROM_API idprom_status idprom_get_field_data_ex(
    const uint8_t *image, uint32_t image_length, uint32_t type, void *out, uint32_t out_size,
    bool exact, uint32_t instance, uint32_t *length) noexcept {
  return lookup(image, image_length, type, out, out_size, exact, instance, length);
}

extern "C" IDPROM_API idprom_status idprom_get_field_data_instance(
    const uint8_t *image, uint32_t image_length, uint32_t type, void *out, uint32_t out_size,
    bool exact, uint32_t instance) noexcept {
  return lookup(image, image_length, type, out, out_size, exact, instance, nullptr);
}

extern "C" IDPROM_API idprom_status idprom_get_field_data(const uint8_t *image,
                                                          uint32_t image_length, uint32_t type,
                                                          void *out, uint32_t out_size,
                                                          bool exact) noexcept {
  return lookup(image, image_length, type, out, out_size, exact, 1, nullptr);
}
