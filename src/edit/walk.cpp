// The walk shared by update and delete: find the n-th entry of a type, or
// say why there is none.
#include "edit/edit.hpp"

namespace idprom::edit {

Stop find_instance(const uint8_t *image, const uint8_t *end, uint32_t type, uint32_t instance,
                   codec::Entry *found, const uint8_t **at) noexcept {
  uint32_t count = 0;
  for (const uint8_t *pos = image;; pos = found->next()) {
    if (pos >= end) return Stop::kImageEnd;
    if (*pos == codec::kEndMarker) {
      *at = pos;
      return Stop::kEndMarker;
    }
    if (!codec::decode(pos, end, found)) return Stop::kMalformed;
    if (found->type == type && ++count == instance) return Stop::kFound;
  }
}

}  // namespace idprom::edit
