// Entry-header decoding and the end-marker search.  Every other family
// reads headers only through these two functions.
#include "codec/codec.hpp"

namespace idprom::codec {

bool decode(const uint8_t *pos, const uint8_t *end, Entry *out) noexcept {
  out->start = pos;
  out->value = idprom_get_entry(pos, end, &out->type, &out->length, &out->attribute);
  return out->value != nullptr;
}

const uint8_t *idprom_find_end_marker(const uint8_t *pos, const uint8_t *end) noexcept {
  if (pos == nullptr || pos >= end) return nullptr;
  while (*pos != kEndMarker) {
    Entry entry;
    if (!decode(pos, end, &entry)) return nullptr;
    pos = entry.next();
    if (pos >= end) return nullptr;  // the list fills the image: no marker
  }
  return pos;
}

}  // namespace idprom::codec

using namespace idprom::codec;

extern "C" IDPROM_API const uint8_t *idprom_get_entry(const uint8_t *pos, const uint8_t *end,
                                                      uint32_t *type, uint32_t *length,
                                                      uint32_t *attribute) noexcept {
  *type = 0;
  *length = 0;
  while (pos < end && *pos == kExtensionByte) {
    *type += 256;
    ++pos;
  }
  if (pos >= end) return nullptr;
  *type |= *pos;
  if (attribute != nullptr) *attribute = 0;

  const uint8_t *value = pos + 1;
  if (!is_variable(*type)) {
    *length = fixed_width(*type);
  } else {
    const uint32_t field = length_field_size(*type);
    if (static_cast<uint32_t>(end - value) < field) return nullptr;
    const uint32_t high = value[0];
    const uint32_t word = field == 2 ? (high << 8 | value[1]) : high;
    *length = word & (field == 2 ? kLongLengthMask : kShortLengthMask);
    if (attribute != nullptr) *attribute = high & kAttributeMask;
    value += field;
    if (*length == 0) return nullptr;
  }
  if (static_cast<uint32_t>(end - value) < *length) return nullptr;
  return value;
}
