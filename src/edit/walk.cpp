// The walk shared by update and delete: find the n-th entry of a type, or
// say why there is none.
#include "edit/edit.hpp"

namespace idprom::edit {

Stop find_instance(const uint8_t *image, const uint8_t *end, uint32_t type, uint32_t instance,
                   codec::Entry *found, const uint8_t **at) noexcept {
  // The entry is decoded into a local and copied out once: the image's
  // bytes may alias *found, so decoding into it would make every step store
  // the whole entry and read it back.
  uint32_t count = 0;
  codec::Entry entry;
  for (const uint8_t *pos = image;; pos = entry.next()) {
    if (pos >= end) return Stop::kImageEnd;
    if (*pos == codec::kEndMarker) {
      *at = pos;
      return Stop::kEndMarker;
    }
    if (!codec::decode(pos, end, &entry)) return Stop::kMalformed;
    if (entry.type == type && ++count == instance) {
      *found = entry;
      return Stop::kFound;
    }
  }
}

}  // namespace idprom::edit
