// Shared pieces of the fuzz harnesses: a property check that aborts (so that
// libFuzzer and the replay main both report it as a finding), a reader that
// takes the parameters of a call from the front of the input, heap blocks of
// exactly the size a call may touch (AddressSanitizer then reports one byte
// past them), and a walk of the entry list written independently of the
// library, against which the library's results are compared.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "idprom.h"

#define FUZZ_CHECK(cond)                                                   \
  do {                                                                     \
    if (!(cond)) ::idprom::fuzz::fail(#cond, __FILE__, __LINE__);          \
  } while (0)

// The harnesses' own byte loops and reference formatters stay out of the
// fuzzer's comparison tracing: they would only slow every execution down
// and steer the search towards the checks instead of the library.
#if defined(__clang__)
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_UNTRACED
#endif

namespace idprom::fuzz {

// True when the n bytes at p all equal byte.
FUZZ_UNTRACED inline bool all_equal(const uint8_t *p, size_t n, uint8_t byte) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != byte) return false;
  return true;
}

[[noreturn]] inline void fail(const char *what, const char *file, int line) {
  std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, what);
  std::fflush(stderr);
  std::abort();
}

// Standard output goes to /dev/null: the harnesses run the standard-output
// variants for their memory behaviour, and libFuzzer reports on stderr.
inline void silence_stdout() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) fail("freopen /dev/null", __FILE__, __LINE__);
}

// Takes parameters from the front of the input; past its end every read
// gives 0, so short inputs still make a complete call.
class Input {
 public:
  Input(const uint8_t *data, size_t size) : p_(data), left_(size) {}

  uint8_t u8() {
    if (left_ == 0) return 0;
    --left_;
    return *p_++;
  }
  uint16_t u16() {
    const uint32_t high = u8();
    const uint32_t low = u8();
    return static_cast<uint16_t>(high << 8 | low);
  }
  uint32_t u32() {
    const uint32_t high = u16();
    const uint32_t low = u16();
    return high << 16 | low;
  }
  const uint8_t *rest() const { return p_; }
  size_t rest_size() const { return left_; }

 private:
  const uint8_t *p_;
  size_t left_;
};

// A heap block of exactly n bytes.  new[] of 0 still gives a distinct
// pointer, and AddressSanitizer reports any access through it.
class Block {
 public:
  explicit Block(size_t n, uint8_t fill = 0) : p_(new uint8_t[n]), n_(n) {
    std::memset(p_.get(), fill, n);
  }
  Block(const uint8_t *src, size_t n) : Block(n) {
    if (n != 0) std::memcpy(p_.get(), src, n);
  }
  uint8_t *data() { return p_.get(); }
  const uint8_t *data() const { return p_.get(); }
  char *chars() { return reinterpret_cast<char *>(p_.get()); }
  size_t size() const { return n_; }
  uint32_t size32() const { return static_cast<uint32_t>(n_); }
  bool equals(const Block &other) const {
    return n_ == other.n_ && (n_ == 0 || std::memcmp(p_.get(), other.p_.get(), n_) == 0);
  }
  bool all(uint8_t byte) const { return all_equal(p_.get(), n_, byte); }
  // True when the bytes from offset from to the end all equal byte.
  bool all_from(size_t from, uint8_t byte) const {
    return from >= n_ || all_equal(p_.get() + from, n_ - from, byte);
  }

 private:
  std::unique_ptr<uint8_t[]> p_;
  size_t n_;
};

// ---- reference walk of the entry list ----------------------------------
//
// Entry header:  [0x00 ...] type [len | len_hi len_lo] value...
// Written from the image format alone, offsets instead of pointers, so that
// it shares no code with the decoder it checks.

struct RefEntry {
  size_t start = 0;  // first header byte
  size_t value = 0;  // first value byte
  uint32_t type = 0;
  uint32_t length = 0;
  uint32_t attribute = 0;
};

FUZZ_UNTRACED inline bool ref_decode(const uint8_t *image, size_t n, size_t pos, RefEntry *e) {
  e->start = pos;
  uint32_t type = 0;
  while (pos < n && image[pos] == 0x00) {
    type += 256;
    ++pos;
  }
  if (pos >= n) return false;
  type |= image[pos++];
  uint32_t length = 0;
  uint32_t attribute = 0;
  if ((type & 0xC0) != 0xC0) {
    length = 1U << ((type >> 6) & 3U);  // classes 0x00, 0x40, 0x80: 1, 2, 4
  } else if (type < 0xF0) {
    if (pos >= n) return false;
    attribute = image[pos] & 0xC0U;
    length = image[pos] & 0x3FU;
    pos += 1;
  } else {
    if (n - pos < 2) return false;
    attribute = image[pos] & 0xC0U;
    length = (static_cast<uint32_t>(image[pos]) << 8 | image[pos + 1]) & 0x3FFFU;
    pos += 2;
  }
  if (length == 0 || n - pos < length) return false;
  e->value = pos;
  e->type = type;
  e->length = length;
  e->attribute = attribute;
  return true;
}

enum class Stop { kMarker, kImageEnd, kMalformed };

struct RefList {
  std::vector<RefEntry> entries;
  Stop stop = Stop::kImageEnd;
  size_t stop_at = 0;  // offset of the marker, the malformed header, or n
};

FUZZ_UNTRACED inline RefList ref_walk(const uint8_t *image, size_t n) {
  RefList list;
  size_t pos = 0;
  for (;;) {
    if (pos >= n) {
      list.stop = Stop::kImageEnd;
      break;
    }
    if (image[pos] == 0xFF) {
      list.stop = Stop::kMarker;
      break;
    }
    RefEntry e;
    if (!ref_decode(image, n, pos, &e)) {
      list.stop = Stop::kMalformed;
      break;
    }
    list.entries.push_back(e);
    pos = e.value + e.length;
  }
  list.stop_at = pos < n ? pos : n;
  return list;
}

// The fixed-size types whose values are byte strings rather than integers.
inline bool ref_is_numeric(uint32_t type) {
  switch (type) {
    case 0x42: case 0x82: case 0x85: case 0x87: case 0x89: case 0x8A: case 0x8D: return false;
    default: return true;
  }
}

// The text a call wrote into a buffer: up to its first zero byte.
inline std::string text_of(const char *buf, size_t size) {
  return std::string(buf, strnlen(buf, size));
}

}  // namespace idprom::fuzz
