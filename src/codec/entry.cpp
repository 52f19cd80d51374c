// Entry-header decoding (the decoder itself is inline in codec.hpp) and
// the end-marker search.  Every other family reads headers only through
// these.
#include "codec/codec.hpp"

namespace idprom::codec {

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
  return get_entry(pos, end, type, length, attribute);
}
