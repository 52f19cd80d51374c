// Helpers shared by the unit tests: exactly sized images, the sample and its
// golden listing, standard-output capture, and edit runners that check the
// failure contract.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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

inline std::string read_text(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Bytes read_file(const std::string &path) {
  const std::string s = read_text(path);
  return Bytes(s.begin(), s.end());
}
inline Bytes sample_image() { return read_file(IDPROM_SAMPLE_IMAGE); }
#ifdef IDPROM_SAMPLE_LISTING
// The sample's listing: the golden file without its final newline.
inline std::string sample_listing() {
  const std::string s = read_text(IDPROM_SAMPLE_LISTING);
  return s.substr(0, s.size() - 1);
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

// The bytes of a host-order integer, as a caller passes it.
inline Bytes host16(uint16_t v) {
  Bytes b(2);
  std::memcpy(b.data(), &v, 2);
  return b;
}

inline constexpr uint16_t kUnwritten = 0xBEEF;

struct Edit {
  idprom_status status;
  Bytes image;  // after the call
  uint16_t offset = kUnwritten, length = kUnwritten;
};

// A failed edit leaves the image byte-identical and the dirty outputs unwritten.
inline void expect_untouched_on_failure(const Bytes &in, const Edit &e) {
  if (e.status == IDPROM_OK) return;
  EXPECT_EQ(e.image, in) << "image touched on failure";
  EXPECT_EQ(e.offset, kUnwritten) << "dirty offset written on failure";
  EXPECT_EQ(e.length, kUnwritten) << "dirty length written on failure";
}

inline Edit run_update(const Bytes &in, bool create, uint32_t type, uint32_t word,
                       const Bytes &data, uint32_t instance = 1) {
  Edit e{IDPROM_OK, exact_copy(in)};
  const Bytes value = exact_copy(data);
  e.status = idprom_update_field_data_instance(e.image.data(), static_cast<uint32_t>(in.size()),
                                               create, type, word, value.data(), &e.offset,
                                               &e.length, instance);
  expect_untouched_on_failure(in, e);
  return e;
}

inline Edit run_delete(const Bytes &in, uint32_t type, uint32_t instance = 1) {
  Edit e{IDPROM_OK, exact_copy(in)};
  e.status = idprom_delete_field_instance(e.image.data(), static_cast<uint32_t>(in.size()), type,
                                          &e.offset, &e.length, instance);
  expect_untouched_on_failure(in, e);
  return e;
}

// Every changed byte lies in the region, and the region inside the image.
inline ::testing::AssertionResult changes_inside(const Bytes &before, const Edit &e) {
  if (e.offset + size_t{e.length} > before.size())
    return ::testing::AssertionFailure() << "region " << e.offset << "+" << e.length
                                         << " leaves the image of " << before.size();
  for (size_t i = 0; i < before.size(); ++i)
    if (before[i] != e.image[i] && (i < e.offset || i >= size_t{e.offset} + e.length))
      return ::testing::AssertionFailure() << "byte " << i << " changed outside region "
                                           << e.offset << "+" << e.length;
  return ::testing::AssertionSuccess();
}

}  // namespace idprom::test
