// Resize of a variable-class field: the entries after it and the end
// marker move, and the bytes from the new marker to the image's end become
// 0xFF.
//
//   before:  S hdr [value: L bytes] tail... FF filler............ |end
//   after:   S hdr [value: N bytes    ] tail... FF filler........ |end
//            ^---------------- dirty region ---------------------^
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "codec/bigendian.hpp"
#include "edit/edit.hpp"

using namespace idprom::codec;

namespace idprom::edit {
namespace {

// Growth by d = n - L with a source that reaches into the bytes from the
// old value's end on (a later field's value, say), which the tail's move
// would overwrite.  A rotation moves the tail and loses nothing:
//
//   before:  hdr [A: L] [tail ......... filler] [last d bytes]
//   after:   hdr [A: L] [last d bytes] [tail ......... filler]
//                       ^ v + L        ^ v + n
//
// The source's bytes are then in at most three pieces (before v + L,
// shifted by d, and from the last d bytes), each moved to its place in the
// new value in an order that never overwrites a piece not yet moved.
void grow_from_tail(uint8_t *image, uint32_t image_length, uint32_t v, uint32_t old_length,
                    uint32_t n, uint32_t s) noexcept {
  const uint32_t d = n - old_length, kept = v + old_length, last = image_length - d;
  // The rotation as three reversals: small code, no scratch.
  std::reverse(image + kept, image + last);
  std::reverse(image + last, image + image_length);
  std::reverse(image + kept, image + image_length);
  const uint32_t p1 = s < kept ? std::min(kept - s, n) : 0;  // [s, v + L), in place
  const uint32_t at3 = std::max(s, last);                     // [at3, s + n): last d bytes
  const uint32_t p3 = s + n > last ? s + n - at3 : 0;
  const uint32_t p2 = n - p1 - p3;  // the rest, shifted by d
  const auto move1 = [&] { std::memmove(image + v, image + s, p1); };
  const auto move3 = [&] { std::memmove(image + v + n - p3, image + kept + (at3 - last), p3); };
  if (s <= v) {
    move3();
    move1();
  } else {
    move1();
    move3();
  }
  std::memmove(image + v + p1, image + std::max(s, kept) + d, p2);
}

// True when the n bytes at data lie wholly in [from, to) of the image.
bool within(const uint8_t *image, const void *data, uint32_t n, uint32_t from, uint32_t to) {
  const auto p = reinterpret_cast<std::uintptr_t>(data);
  const auto b = reinterpret_cast<std::uintptr_t>(image);
  return p >= b + from && p - b <= to && n <= to - (p - b);
}

}  // namespace

// The new value may lie in the image (wholly), anywhere: it is read as it
// was before the edit.
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
  const uint32_t old_end = value + entry.length;
  const uint32_t tail = old_marker - old_end;
  if (u.length < entry.length) {
    // Shrink: the new value lands inside the old one, before the tail.
    std::memmove(image + value, u.data, u.length);
    std::memmove(image + value + u.length, image + old_end, tail);
  } else if (!within(image, u.data, u.length, 0, image_length) ||
             within(image, u.data, u.length, 0, old_end)) {
    // Grow from outside the image, or from before the tail's move.
    std::memmove(image + value + u.length, image + old_end, tail);
    std::memmove(image + value, u.data, u.length);
  } else {
    grow_from_tail(image, image_length, value, entry.length, u.length,
                   offset_in(image, static_cast<const uint8_t *>(u.data)));
  }
  const uint32_t new_marker = value + u.length + tail;
  std::memset(image + new_marker, kEndMarker, image_length - new_marker);
  // The length field sits right before the value; the attribute comes
  // from the caller's length word.
  const uint32_t field = length_field_size(entry.type);
  store_be(image + value - field, field, u.length_word);
  *region = r;
  return IDPROM_OK;
}

}  // namespace idprom::edit
