// Images the benchmarks walk: built in memory, so every run measures the
// same bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace idprom::bench {

using Bytes = std::vector<uint8_t>;

// Appends one entry: optional extension bytes, the type byte, the length
// field of the variable class (one byte below 0xF0, two from 0xF0 on, with
// the display attribute in the top bits) and the value.
inline void append_entry(Bytes &image, uint32_t type, uint32_t attribute, const Bytes &value) {
  for (uint32_t ext = type >> 8; ext > 0; --ext) image.push_back(0x00);
  const auto type_byte = static_cast<uint8_t>(type & 0xFF);
  image.push_back(type_byte);
  const auto len = static_cast<uint32_t>(value.size());
  if (type_byte >= 0xF0) {
    image.push_back(static_cast<uint8_t>((attribute << 8 | len) >> 8));
    image.push_back(static_cast<uint8_t>(len));
  } else if (type_byte >= 0xC0) {
    image.push_back(static_cast<uint8_t>(attribute | len));
  }
  image.insert(image.end(), value.begin(), value.end());
}

// A list of n entries whose last one, and only that one, has type `last`.
// The ones before it cycle through the shapes a board image mixes: one-,
// two- and four-byte fixed fields, short and long variable fields, and an
// extension-coded type; or, with a non-zero `shuffle` seed, take them in a
// pseudo-random order.  Closed by the end marker.
inline Bytes chain_image(uint32_t n, uint32_t last, uint64_t shuffle = 0) {
  struct Shape { uint32_t type, attribute; Bytes value; };
  const Shape shapes[] = {
      {0x01, 0, {0x12}},
      {0x41, 0, {0x01, 0x02}},
      {0x81, 0, {1, 2, 3, 4}},
      {0xC1, 0x80, {'7', '3', '-', '1', '2', '3'}},
      {0xF1, 0xC0, Bytes(10, 0xA5)},
      {0x105, 0, {0x07}},
  };
  Bytes image;
  uint64_t seed = shuffle;
  for (uint32_t i = 0; i + 1 < n; ++i) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    const size_t k = shuffle != 0 ? static_cast<size_t>(seed >> 33) % std::size(shapes) : i % std::size(shapes);
    const Shape &s = shapes[k];
    append_entry(image, s.type, s.attribute, s.value);
  }
  append_entry(image, last, 0x80, {'L', 'A', 'S', 'T'});
  image.push_back(0xFF);
  return image;
}

// Every one-byte type code 0x01 to 0xFE once, fixed classes at their width
// and the variable class as 12 text bytes, repeated `copies` times.
inline Bytes every_type_image(uint32_t copies) {
  Bytes image;
  for (uint32_t c = 0; c < copies; ++c) {
    for (uint32_t type = 0x01; type <= 0xFE; ++type) {
      const uint32_t cls = type & 0xC0;
      if (cls == 0xC0) {
        append_entry(image, type, 0x80, Bytes{'B', 'O', 'A', 'R', 'D', '-', '0', '0', '4', '2', 'A', 'X'});
      } else {
        const size_t width = cls == 0x00 ? 1 : cls == 0x40 ? 2 : 4;
        Bytes value(width);
        for (size_t i = 0; i < width; ++i) value[i] = static_cast<uint8_t>(type + i * 17);
        append_entry(image, type, 0, value);
      }
    }
  }
  image.push_back(0xFF);
  return image;
}

inline Bytes read_file(const char *path) {
  Bytes bytes;
  if (std::FILE *f = std::fopen(path, "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
  }
  return bytes;
}

// Deterministic pseudo-random bytes (xorshift), the same in every run.
inline Bytes random_bytes(size_t n, uint64_t seed = 0x9E3779B97F4A7C15ULL) {
  Bytes bytes(n);
  for (auto &b : bytes) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    b = static_cast<uint8_t>(seed >> 24);
  }
  return bytes;
}

}  // namespace idprom::bench
