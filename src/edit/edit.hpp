// Internal interface of field editing: not part of the public API.
//
// Every edit first walks the list, checks everything that could make it
// fail and works out the dirty region, and only then writes.  So a failed
// edit leaves the image byte for byte as it was, and the caller's dirty
// outputs are written by the exported functions only on success.
#pragma once

#include <cstdint>

#include "codec/codec.hpp"
#include "idprom.h"

namespace idprom::edit {

// The bytes an edit changed, which the caller writes back.  Counted in 32
// bits so that nothing wraps inside an image of up to 65535 bytes (or far
// beyond); it is narrowed to the caller's 16-bit outputs only when it fits.
struct Region {
  uint32_t offset = 0;
  uint32_t length = 0;
};

inline constexpr uint32_t kMaxReportable = 0xFFFF;

constexpr bool reportable(Region r) {
  return r.offset <= kMaxReportable && r.length <= kMaxReportable;
}

// An update request: the caller's arguments, with the new length already
// taken out of the length word.
struct Update {
  bool create = false;
  uint32_t type = 0;
  uint32_t length_word = 0;
  uint32_t length = 0;  // N: the length bits of length_word
  const void *data = nullptr;
};

// Where a walk for the n-th entry of a type stopped.
enum class Stop {
  kFound,      // *found is the entry
  kEndMarker,  // *at is the end marker: the instance does not exist
  kImageEnd,   // the list ran to the image's end without a marker
  kMalformed,  // an entry that does not decode
};

// Walks the list from image[0], testing before each entry for the image's
// end and the end marker.  instance 0 never matches.
Stop find_instance(const uint8_t *image, const uint8_t *end, uint32_t type, uint32_t instance,
                   codec::Entry *found, const uint8_t **at) noexcept;

// The three outcomes of an update.  Each returns IDPROM_OK and fills
// *region, or an error with the image untouched.
idprom_status overwrite(uint8_t *image, const codec::Entry &entry, const Update &update,
                        Region *region) noexcept;
idprom_status resize(uint8_t *image, uint32_t image_length, const codec::Entry &entry,
                     const Update &update, Region *region) noexcept;
idprom_status append(uint8_t *image, uint32_t image_length, uint32_t at, const Update &update,
                     Region *region) noexcept;

// Offset of p inside image; p never lies more than 4 GiB past image.
inline uint32_t offset_in(const uint8_t *image, const uint8_t *p) {
  return static_cast<uint32_t>(p - image);
}

// Hands a region to the caller's 16-bit outputs (reportable() holds).
inline void report(Region r, uint16_t *dirty_offset, uint16_t *dirty_length) {
  *dirty_offset = static_cast<uint16_t>(r.offset);
  *dirty_length = static_cast<uint16_t>(r.length);
}

}  // namespace idprom::edit
