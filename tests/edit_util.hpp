// Helpers shared by the editing tests: an independent encoder for entries,
// a decoder of whole lists, and runners that check the failure contract
// (image unchanged, dirty outputs not written) on every call.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "idprom.h"
#include "test_util.hpp"

namespace idprom::test {

// One entry as a reader sees it: type code, display attribute (0x00, 0x40,
// 0x80 or 0xC0) and the stored value bytes.
struct Field {
  uint32_t type = 0;
  uint32_t attribute = 0;
  Bytes value;
  bool operator==(const Field &) const = default;
};

inline bool is_variable_type(uint32_t type) { return (type & 0xC0) == 0xC0; }

// Encodes an entry byte by byte as the format lays it out.
inline Bytes encode(const Field &f) {
  Bytes out(f.type / 256, 0x00);
  out.push_back(static_cast<uint8_t>(f.type));
  if (is_variable_type(f.type)) {
    const auto n = static_cast<uint32_t>(f.value.size());
    if (f.type >= 0xF0) out.push_back(static_cast<uint8_t>(f.attribute | n >> 8));
    out.push_back(static_cast<uint8_t>(f.type >= 0xF0 ? n : (f.attribute | n)));
  }
  out.insert(out.end(), f.value.begin(), f.value.end());
  return out;
}

inline Bytes encode(const std::vector<Field> &fields) {
  Bytes out;
  for (const Field &f : fields) {
    const Bytes e = encode(f);
    out.insert(out.end(), e.begin(), e.end());
  }
  return out;
}

// The list an image holds, read with the exported decoder up to the end
// marker or to exactly the image's end; nullopt when it is malformed or
// anything after the marker is not 0xFF.
inline std::optional<std::vector<Field>> decode_list(const Bytes &image) {
  std::vector<Field> out;
  const uint8_t *pos = image.data(), *end = image.data() + image.size();
  while (pos < end && *pos != 0xFF) {
    Field f;
    uint32_t length = 0;
    const uint8_t *v = idprom_get_entry(pos, end, &f.type, &length, &f.attribute);
    if (v == nullptr) return std::nullopt;
    f.value.assign(v, v + length);
    out.push_back(f);
    pos = v + length;
  }
  for (; pos < end; ++pos)
    if (*pos != 0xFF) return std::nullopt;
  return out;
}

// The bytes of a host-order integer, as a caller passes it.
inline Bytes host16(uint16_t v) {
  Bytes b(2);
  std::memcpy(b.data(), &v, 2);
  return b;
}
inline Bytes host32(uint32_t v) {
  Bytes b(4);
  std::memcpy(b.data(), &v, 4);
  return b;
}

inline constexpr uint16_t kUnwritten = 0xBEEF;

struct Edit {
  idprom_status status;
  Bytes image;  // the image after the call
  uint16_t offset = kUnwritten, length = kUnwritten;
};

// Runs an update on an exact-size heap copy of in.  On failure checks that
// the image is unchanged and the dirty outputs are not written.
inline Edit run_update(const Bytes &in, bool create, uint32_t type, uint32_t word,
                       const Bytes &data, uint32_t instance = 1) {
  Edit e{0, exact_copy(in)};
  const Bytes value = exact_copy(data);
  e.status = idprom_update_field_data_instance(e.image.data(), static_cast<uint32_t>(in.size()),
                                               create, type, word, value.data(), &e.offset,
                                               &e.length, instance);
  if (e.status != IDPROM_OK) {
    EXPECT_EQ(e.image, in) << "image touched on failure";
    EXPECT_EQ(e.offset, kUnwritten) << "dirty offset written on failure";
    EXPECT_EQ(e.length, kUnwritten) << "dirty length written on failure";
  }
  return e;
}

inline Edit run_delete(const Bytes &in, uint32_t type, uint32_t instance = 1) {
  Edit e{0, exact_copy(in)};
  e.status = idprom_delete_field_instance(e.image.data(), static_cast<uint32_t>(in.size()), type,
                                          &e.offset, &e.length, instance);
  if (e.status != IDPROM_OK) {
    EXPECT_EQ(e.image, in) << "image touched on failure";
    EXPECT_EQ(e.offset, kUnwritten) << "dirty offset written on failure";
    EXPECT_EQ(e.length, kUnwritten) << "dirty length written on failure";
  }
  return e;
}

// Every byte that differs between before and after lies in the region,
// and the region lies inside the image.
inline ::testing::AssertionResult changes_inside(const Bytes &before, const Bytes &after,
                                                 uint32_t offset, uint32_t length) {
  if (offset > before.size() || length > before.size() - offset)
    return ::testing::AssertionFailure() << "region " << offset << "+" << length
                                         << " leaves the image of " << before.size();
  for (size_t i = 0; i < before.size(); ++i)
    if (before[i] != after[i] && (i < offset || i >= offset + length))
      return ::testing::AssertionFailure() << "byte " << i << " changed outside region "
                                           << offset << "+" << length;
  return ::testing::AssertionSuccess();
}

// count entries of type 0xF5 (two-byte length field, text), each holding
// 1000 bytes (1003 with the header), padded with 0xFF to total bytes.
inline std::vector<Field> long_fields(size_t count) {
  std::vector<Field> fields;
  for (size_t i = 0; i < count; ++i) {
    Bytes value(1000);
    for (size_t j = 0; j < value.size(); ++j) value[j] = static_cast<uint8_t>((i * 7 + j) % 251);
    fields.push_back({0xF5, 0x80, value});
  }
  return fields;
}

}  // namespace idprom::test
