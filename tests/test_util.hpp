// Helpers shared by the unit tests.
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace idprom::test {

using Bytes = std::vector<uint8_t>;

// A heap copy of exactly the given bytes: a vector built from a range
// allocates exactly its size, so AddressSanitizer reports any read or
// write one byte past the image.
inline Bytes exact_copy(const Bytes &in) { return Bytes(in.begin(), in.end()); }

// bytes followed by 0xFF up to total (the end marker and filler).
inline Bytes padded(Bytes bytes, size_t total) {
  bytes.resize(total, 0xFF);
  return bytes;
}

inline Bytes read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes sample_image() { return read_file(IDPROM_SAMPLE_IMAGE); }

}  // namespace idprom::test
