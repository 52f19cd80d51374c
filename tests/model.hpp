// A model of the entry list and of what an edit must do to it, written from
// the image layout alone (offsets, no code shared with the library).  The
// edit test drives it with random well-formed images, fuzz_edit with hostile
// ones, fuzz_decode checks the decoder against its walk.
//
// Entry header:  [0x00 ...] type [len | len_hi len_lo] value...
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "idprom.hpp"

namespace idprom::model {

using Bytes = std::vector<uint8_t>;

struct Field {
  uint32_t type = 0;
  uint32_t attribute = 0;  // 0x00, 0x40, 0x80 or 0xC0; variable class only
  Bytes value;
  bool operator==(const Field &) const = default;
};

inline bool is_variable(uint32_t type) { return (type & 0xC0) == 0xC0; }
inline uint32_t width(uint32_t type) { return 1U << ((type & 0xC0) >> 6); }

inline Bytes encode(const std::vector<Field> &fields) {
  Bytes out;
  for (const Field &f : fields) {
    out.insert(out.end(), f.type / 256, 0x00);
    out.push_back(static_cast<uint8_t>(f.type));
    const auto n = static_cast<uint32_t>(f.value.size());
    if (is_variable(f.type) && f.type >= 0xF0) out.push_back(static_cast<uint8_t>(f.attribute | n >> 8));
    if (is_variable(f.type)) out.push_back(static_cast<uint8_t>(f.type >= 0xF0 ? n : (f.attribute | n)));
    out.insert(out.end(), f.value.begin(), f.value.end());
  }
  return out;
}

struct Entry {
  size_t start = 0, value = 0;  // offsets of the first header byte and the value
  Field field;
};

// The entry at pos, or false when its header or value runs off the image or
// its length is 0.
inline bool decode_at(const uint8_t *image, size_t n, size_t pos, Entry *e) {
  e->start = pos;
  uint32_t type = 0, length = 0, attribute = 0;
  for (; pos < n && image[pos] == 0x00; ++pos) type += 256;
  if (pos >= n) return false;
  type |= image[pos++];
  if (!is_variable(type)) {
    length = width(type);
  } else if (type < 0xF0) {
    if (pos >= n) return false;
    attribute = image[pos] & 0xC0U;
    length = image[pos++] & 0x3FU;
  } else {
    if (n - pos < 2) return false;
    attribute = image[pos] & 0xC0U;
    length = (uint32_t{image[pos]} << 8 | image[pos + 1]) & 0x3FFFU;
    pos += 2;
  }
  if (length == 0 || n - pos < length) return false;
  e->value = pos;
  e->field = {type, attribute, Bytes(image + pos, image + pos + length)};
  return true;
}

enum class Stop { kMarker, kImageEnd, kMalformed };

struct List {
  std::vector<Entry> entries;
  Stop stop = Stop::kImageEnd;
  size_t stop_at = 0;  // offset of the marker or the malformed header, or the size
  size_t size = 0;     // of the image
  std::vector<Field> fields() const {
    std::vector<Field> out(entries.size());
    std::transform(entries.begin(), entries.end(), out.begin(), [](const Entry &e) { return e.field; });
    return out;
  }
  long find(uint32_t type, uint32_t instance) const {  // index of the instance-th of type, or -1
    uint32_t count = 0;
    for (size_t k = 0; k < entries.size(); ++k)
      if (entries[k].field.type == type && ++count == instance) return static_cast<long>(k);
    return -1;
  }
};

inline List walk(const uint8_t *image, size_t n) {
  List list;
  list.size = n;
  size_t pos = 0;
  for (Entry e; pos < n && image[pos] != 0xFF; pos = e.value + e.field.value.size()) {
    if (!decode_at(image, n, pos, &e)) {
      list.stop = Stop::kMalformed;
      break;
    }
    list.entries.push_back(e);
  }
  if (list.stop != Stop::kMalformed && pos < n) list.stop = Stop::kMarker;
  list.stop_at = pos < n ? pos : n;
  return list;
}

// ---- edits ----------------------------------------------------------------

struct Expected {
  idprom_status status = IDPROM_OK;
  std::vector<Field> fields = {};  // the list after a successful edit
  size_t offset = 0, length = 0;
};
inline Expected fail(idprom_status status) { return {status}; }

// Success, unless the region does not fit the 16-bit outputs.
inline Expected region(std::vector<Field> fields, size_t offset, size_t length) {
  if (offset > 0xFFFF || length > 0xFFFF) return fail(IDPROM_ERR_IMAGE_TOO_LARGE);
  return {IDPROM_OK, std::move(fields), offset, length};
}

// The caller's value as stored: an integer (host order, of width n) big-endian.
inline Bytes stored(bool integer, const uint8_t *data, uint32_t n) {
  uint16_t h16;
  uint32_t v = data[0];
  if (!integer || n == 1) return Bytes(data, data + n);
  if (n == 2) v = (std::memcpy(&h16, data, 2), h16);
  if (n == 4) std::memcpy(&v, data, 4);
  Bytes out(n);
  for (uint32_t i = n; i-- > 0; v >>= 8) out[i] = static_cast<uint8_t>(v);
  return out;
}

// For a list that ends at a marker or at the image's end.
inline Expected expect_update(const List &l, bool create, uint32_t type, uint32_t word,
                              uint32_t instance, const uint8_t *data) {
  const bool variable = is_variable(type), marker = l.stop == Stop::kMarker;
  const uint32_t n = word & (type >= 0xF0 ? 0x3FFF : 0x3F);
  const uint32_t attr = variable ? (type >= 0xF0 ? word >> 8 : word) & 0xC0 : 0;
  if (l.size == 0) return fail(IDPROM_ERR_END_OF_IMAGE);
  if ((type & 0xFF) == 0 || (type & 0xFF) == 0xFF) return fail(IDPROM_ERR_INVALID_TYPE);
  if (variable && n == 0) return fail(IDPROM_ERR_INVALID_LENGTH);
  std::vector<Field> after = l.fields();
  const long k = l.find(type, instance);
  if (k >= 0) {
    const Entry &e = l.entries[static_cast<size_t>(k)];
    Field &f = after[static_cast<size_t>(k)];
    if (n == f.value.size()) {  // in place; integers only for codes below 0xC0
      f.value = stored(type < 0xC0 && !is_byte_string_code(type), data, n);
      return region(after, e.value, n);
    }
    if (!variable) return fail(IDPROM_ERR_LENGTH_MISMATCH);
    if (!marker) return fail(IDPROM_ERR_NO_END_MARKER);
    if (n > f.value.size() && n - f.value.size() > l.size - l.stop_at) return fail(IDPROM_ERR_NO_ROOM_TO_GROW);
    f = {type, attr, Bytes(data, data + n)};
    return region(after, e.start, l.size - e.start);
  }
  if (!marker) return fail(IDPROM_ERR_END_OF_IMAGE);
  if (!create) return fail(IDPROM_ERR_NOT_FOUND_NO_CREATE);
  const Field f{type, attr, variable ? Bytes(data, data + n)
                                     : stored(!is_byte_string_code(type & 0xFF), data, width(type))};
  const size_t bytes = encode({f}).size();
  if (bytes >= l.size - l.stop_at) return fail(IDPROM_ERR_NO_ROOM);
  after.push_back(f);
  return region(after, l.stop_at, bytes + 1);
}

inline Expected expect_delete(const List &l, uint32_t type, uint32_t instance) {
  const long k = l.find(type, instance);
  if (k < 0) return fail(IDPROM_ERR_NOT_FOUND);
  if (l.stop != Stop::kMarker) return fail(IDPROM_ERR_NO_END_MARKER);
  std::vector<Field> after = l.fields();
  after.erase(after.begin() + k);
  const size_t start = l.entries[static_cast<size_t>(k)].start;
  return region(after, start, l.stop_at - start);
}

// What must hold after a successful edit, as a message or nullptr: every
// changed byte lies in the region, the list is the expected one, and inside
// the region every byte past the new list's end is filler.
inline const char *check_result(const uint8_t *before, const uint8_t *after, size_t n,
                                const Expected &x, size_t offset, size_t length) {
  if (offset != x.offset || length != x.length) return "dirty region differs from the model";
  for (size_t i = 0; i < n; ++i)
    if (before[i] != after[i] && (i < offset || i - offset >= length)) return "byte changed outside the region";
  const List l = walk(after, n);
  if (l.stop == Stop::kMalformed || l.fields() != x.fields) return "list differs from the model";
  for (size_t i = l.stop_at; i < offset + length; ++i)
    if (i >= offset && after[i] != 0xFF) return "no filler after the list inside the region";
  return nullptr;
}

}  // namespace idprom::model
