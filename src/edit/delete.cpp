// Field deletion: the entries after the deleted one and the end marker
// move up over it, and the freed bytes before the old marker become 0xFF.
//
//   before:  S [deleted entry] E rest... M=FF filler
//   after:   S rest... FF FF .......... M=FF filler
//            ^----- dirty region -----^ (the old marker stays 0xFF)
#include <cstring>

#include "edit/edit.hpp"

using namespace idprom::codec;

namespace idprom::edit {
namespace {

idprom_status delete_entry(uint8_t *image, uint32_t image_length, uint32_t type, uint32_t instance,
                     Region *region) {
  const uint8_t *const end = image + image_length;
  Entry entry;
  const uint8_t *unused = nullptr;
  if (find_instance(image, end, type, instance, &entry, &unused) != Stop::kFound)
    return IDPROM_ERR_NOT_FOUND;
  const uint8_t *marker = idprom_find_end_marker(entry.next(), end);
  if (marker == nullptr) return IDPROM_ERR_NO_END_MARKER;

  const uint32_t start = offset_in(image, entry.start);
  const uint32_t next = offset_in(image, entry.next());
  const uint32_t old_marker = offset_in(image, marker);
  const Region r{start, old_marker - start};
  if (!reportable(r)) return IDPROM_ERR_IMAGE_TOO_LARGE;

  std::memmove(image + start, image + next, old_marker - next);
  std::memset(image + old_marker - (next - start), kEndMarker, next - start);
  *region = r;
  return IDPROM_OK;
}

}  // namespace
}  // namespace idprom::edit

using namespace idprom::edit;

extern "C" IDPROM_API idprom_status idprom_delete_field_instance(uint8_t *image,
                                                                 uint32_t image_length,
                                                                 uint32_t type,
                                                                 uint16_t *dirty_offset,
                                                                 uint16_t *dirty_length,
                                                                 uint32_t instance) noexcept {
  Region region;
  const idprom_status s = delete_entry(image, image_length, type, instance, &region);
  if (s == IDPROM_OK) report(region, dirty_offset, dirty_length);
  return s;
}

extern "C" IDPROM_API idprom_status idprom_delete_field(uint8_t *image, uint32_t image_length,
                                                        uint32_t type, uint16_t *dirty_offset,
                                                        uint16_t *dirty_length) noexcept {
  return idprom_delete_field_instance(image, image_length, type, dirty_offset, dirty_length, 1);
}
