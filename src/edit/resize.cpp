// Resize of a variable-class field: the entries after it and the end
// marker move, and the bytes from the new marker to the image's end become
// 0xFF.
//
//   before:  S hdr [value: L bytes] tail... FF filler............ |end
//   after:   S hdr [value: N bytes    ] tail... FF filler........ |end
//            ^---------------- dirty region ---------------------^
#include <cstring>

#include "codec/bigendian.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

namespace idprom::edit {

idprom_status resize(uint8_t *image, uint32_t image_length, const Entry &entry, const Update &u,
                     Region *region) noexcept {
  if (!is_variable(entry.type)) return IDPROM_ERR_LENGTH_MISMATCH;
  const uint8_t *marker = idprom_find_end_marker(entry.start, image + image_length);
  if (marker == nullptr) return IDPROM_ERR_NO_END_MARKER;

  const uint32_t old_marker = offset_in(image, marker);
  // Growth may use every byte from the marker on, the marker included: the
  // list then fills the image and needs no marker.
  if (u.length > entry.length && u.length - entry.length > image_length - old_marker)
    return IDPROM_ERR_NO_ROOM_TO_GROW;
  const uint32_t start = offset_in(image, entry.start);
  const Region r{start, image_length - start};
  if (!reportable(r)) return IDPROM_ERR_IMAGE_TOO_LARGE;

  const uint32_t value = offset_in(image, entry.value);
  const uint32_t tail = old_marker - (value + entry.length);
  std::memmove(image + value + u.length, image + value + entry.length, tail);
  const uint32_t new_marker = value + u.length + tail;
  std::memset(image + new_marker, kEndMarker, image_length - new_marker);
  std::memcpy(image + value, u.data, u.length);
  // The length field sits right before the value; the attribute comes
  // from the caller's length word.
  const uint32_t field = length_field_size(entry.type);
  store_be(image + value - field, field, u.length_word);
  *region = r;
  return IDPROM_OK;
}

}  // namespace idprom::edit
