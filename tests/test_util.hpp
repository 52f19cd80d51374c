// Helpers shared by the unit tests: exactly sized images, the sample and its
// golden listing, standard-output capture, and edit runners that check the
// failure contract.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "idprom.h"

namespace idprom::test {

using Bytes = std::vector<uint8_t>;

// A vector built from a range allocates exactly its size, so AddressSanitizer
// reports any access one byte past the image.
inline Bytes exact_copy(const Bytes &in) { return Bytes(in.begin(), in.end()); }

// bytes followed by 0xFF (end marker and filler) up to total.
inline Bytes padded(Bytes bytes, size_t total) {
  bytes.resize(total, 0xFF);
  return bytes;
}

inline Bytes read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline Bytes sample_image() { return read_file(IDPROM_SAMPLE_IMAGE); }
#ifdef IDPROM_SAMPLE_LISTING
// The sample's listing: the golden file without its final newline.
inline std::string sample_listing() {
  const Bytes text = read_file(IDPROM_SAMPLE_LISTING);
  return std::string(text.begin(), text.end() - 1);
}
#endif

// What fn writes to file descriptor 1.
template <typename Fn>
std::string capture_stdout(Fn &&fn) {
  std::fflush(stdout);
  std::FILE *file = std::tmpfile();
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(file), STDOUT_FILENO);
  fn();
  std::fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string text;
  std::rewind(file);
  for (int c; (c = std::fgetc(file)) != EOF;) text.push_back(static_cast<char>(c));
  std::fclose(file);
  return text;
}

inline constexpr uint16_t kUnwritten = 0xBEEF;

struct Edit {
  idprom_status status;
  Bytes image;  // after the call
  uint16_t offset = kUnwritten, length = kUnwritten;
};

// Runs an edit on an exact copy of in; a failed edit must leave the image
// byte-identical and the dirty outputs unwritten.
template <typename Call>
Edit run_edit(const Bytes &in, Call call) {
  Edit e{IDPROM_OK, exact_copy(in)};
  e.status = call(e.image.data(), static_cast<uint32_t>(in.size()), &e.offset, &e.length);
  if (e.status != IDPROM_OK) {
    EXPECT_EQ(e.image, in) << "image touched on failure";
    EXPECT_EQ(e.offset + e.length, 2 * kUnwritten) << "dirty region written on failure";
  }
  return e;
}
// alias >= 0: the value is read from image + alias instead of data.
inline Edit run_update(const Bytes &in, bool create, uint32_t type, uint32_t word, const Bytes &data,
                       uint32_t instance = 1, long alias = -1) {
  const Bytes value = exact_copy(data);
  return run_edit(in, [&](uint8_t *image, uint32_t n, uint16_t *offset, uint16_t *length) {
    const uint8_t *from = alias >= 0 ? image + alias : value.data();
    return idprom_update_field_data_instance(image, n, create, type, word, from, offset, length, instance);
  });
}
inline Edit run_delete(const Bytes &in, uint32_t type, uint32_t instance = 1) {
  return run_edit(in, [&](uint8_t *image, uint32_t n, uint16_t *offset, uint16_t *length) {
    return idprom_delete_field_instance(image, n, type, offset, length, instance);
  });
}

}  // namespace idprom::test
