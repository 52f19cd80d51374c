// Big-endian numbers inside values, and host-order integers crossing the
// interface.  Bytes are read and written one at a time: no casts of byte
// pointers to wider types, so alignment never matters.
#pragma once

#include <cstdint>
#include <cstring>

namespace idprom::codec {

// The width bytes at p (1 to 4) as one big-endian unsigned number.
inline uint32_t load_be(const uint8_t *p, uint32_t width) noexcept {
  uint32_t v = 0;
  for (uint32_t i = 0; i < width; ++i) v = v << 8 | p[i];
  return v;
}

// Stores the low width bytes of v (1 to 4) big-endian at p.
inline void store_be(uint8_t *p, uint32_t width, uint32_t v) noexcept {
  for (uint32_t i = width; i-- > 0; v >>= 8) p[i] = static_cast<uint8_t>(v);
}

// Reads a host-order unsigned integer of width 1, 2 or 4 bytes from
// caller memory of that type (uint8_t, uint16_t or uint32_t).
inline uint32_t load_host(const void *p, uint32_t width) noexcept {
  switch (width) {
    case 1: { uint8_t v; std::memcpy(&v, p, 1); return v; }
    case 2: { uint16_t v; std::memcpy(&v, p, 2); return v; }
    default: { uint32_t v; std::memcpy(&v, p, 4); return v; }
  }
}

// Writes v as a host-order unsigned integer of width 1, 2 or 4 bytes.
inline void store_host(void *p, uint32_t width, uint32_t v) noexcept {
  switch (width) {
    case 1: { const auto n = static_cast<uint8_t>(v); std::memcpy(p, &n, 1); break; }
    case 2: { const auto n = static_cast<uint16_t>(v); std::memcpy(p, &n, 2); break; }
    default: std::memcpy(p, &v, 4); break;
  }
}

}  // namespace idprom::codec
