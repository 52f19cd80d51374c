// Append: a new entry where the end marker stood, and a new marker after it.
//
//   at: [00 ... 00] type [len | hi lo] value FF
//        type/256         variable       V
//        extension        class only
//        bytes
#include <cstring>

#include "codec/bigendian.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

namespace idprom::edit {

idprom_status append(uint8_t *image, uint32_t image_length, uint32_t at, const Update &u,
                     Region *region) noexcept {
  if (!u.create) return IDPROM_ERR_NOT_FOUND_NO_CREATE;
  const uint32_t extension = u.type / 256;  // at most 0xFFFFFF: no sum below wraps
  const uint32_t field = length_field_size(u.type);
  const uint32_t header = extension + 1 + field;
  const uint32_t width = is_variable(u.type) ? u.length : fixed_width(u.type);
  // The entry and an end marker after it must fit before the image's end.
  if (header + width >= image_length - at) return IDPROM_ERR_NO_ROOM;
  const Region r{at, header + width + 1};
  if (!reportable(r)) return IDPROM_ERR_IMAGE_TOO_LARGE;

  // The value first: it may lie in the image, even in the bytes from the
  // end marker on that the header overwrites.  An integer is read whole
  // before it is stored; the integer test is made on the type byte alone,
  // so an extension-byte code whose type byte is integer-valued is stored
  // big-endian too.
  uint8_t *const value = image + at + header;
  if (field == 0 && idprom_type_is_numeric(u.type & 0xFF))
    store_be(value, width, load_host(u.data, width));
  else
    std::memmove(value, u.data, width);
  uint8_t *p = image + at;
  std::memset(p, kExtensionByte, extension);
  p[extension] = static_cast<uint8_t>(u.type);
  store_be(p + extension + 1, field, u.length_word);
  value[width] = kEndMarker;
  *region = r;
  return IDPROM_OK;
}

}  // namespace idprom::edit
