// Field update: find the n-th entry of a type and overwrite it in place,
// resize it, or append a new one where the end marker stands.
#include <cstring>

#include "codec/bigendian.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

namespace idprom::edit {
namespace {

// Refusals of requests the format cannot represent, checked before the
// walk: a type code without an encoding would be written as an extension
// byte or an end marker, and a variable-class length of 0 would make the
// new entry malformed and cut the list for every later reader.
idprom_status refuse_unencodable(const Update &u) {
  if (!has_encoding(u.type)) return IDPROM_ERR_INVALID_TYPE;
  if (is_variable(u.type) && u.length == 0) return IDPROM_ERR_INVALID_LENGTH;
  return IDPROM_OK;
}

idprom_status update(uint8_t *image, uint32_t image_length, const Update &u, uint32_t instance,
                     Region *region) {
  if (image_length == 0) return IDPROM_ERR_END_OF_IMAGE;
  if (const idprom_status s = refuse_unencodable(u); s != IDPROM_OK) return s;

  Entry entry;
  const uint8_t *marker = nullptr;
  switch (find_instance(image, image + image_length, u.type, instance, &entry, &marker)) {
    case Stop::kFound:
      if (u.length == entry.length) return overwrite(image, entry, u, region);
      return resize(image, image_length, entry, u, region);
    case Stop::kEndMarker: return append(image, image_length, offset_in(image, marker), u, region);
    case Stop::kImageEnd: return IDPROM_ERR_END_OF_IMAGE;
    case Stop::kMalformed: break;
  }
  return IDPROM_ERR_NOT_FOUND;
}

}  // namespace

// Same length: only the value changes; the length field and the display
// attribute stored in it stay as they are.
idprom_status overwrite(uint8_t *image, const Entry &entry, const Update &u,
                        Region *region) noexcept {
  const Region r{offset_in(image, entry.value), entry.length};
  if (!reportable(r)) return IDPROM_ERR_IMAGE_TOO_LARGE;
  uint8_t *value = image + r.offset;
  if (entry.type < kClassVariable && idprom_type_is_numeric(entry.type))
    store_be(value, entry.length, load_host(u.data, entry.length));
  else
    std::memmove(value, u.data, entry.length);  // the value may lie in the image
  *region = r;
  return IDPROM_OK;
}

}  // namespace idprom::edit

using namespace idprom::edit;

extern "C" IDPROM_API idprom_status idprom_update_field_data_instance(
    uint8_t *image, uint32_t image_length, bool create, uint32_t type, uint32_t length_word,
    const void *data, uint16_t *dirty_offset, uint16_t *dirty_length, uint32_t instance) noexcept {
  const Update u{create, type, length_word, length_of_word(type, length_word), data};
  Region region;
  const idprom_status s = update(image, image_length, u, instance, &region);
  if (s == IDPROM_OK) report(region, dirty_offset, dirty_length);
  return s;
}

extern "C" IDPROM_API idprom_status idprom_update_field_data(uint8_t *image, uint32_t image_length,
                                                             bool create, uint32_t type,
                                                             uint32_t length_word, const void *data,
                                                             uint16_t *dirty_offset,
                                                             uint16_t *dirty_length) noexcept {
  return idprom_update_field_data_instance(image, image_length, create, type, length_word, data,
                                           dirty_offset, dirty_length, 1);
}
