// Shared pieces of the fuzz harnesses: a property check that aborts (so that
// libFuzzer and the replay main both report it as a finding), a reader that
// takes the parameters of a call from the front of the input, and heap
// blocks of exactly the size a call may touch (AddressSanitizer then reports
// one byte past them).  The model of the entry list is tests/model.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "model.hpp"

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

// The text a call wrote into a buffer: up to its first zero byte.
inline std::string text_of(const char *buf, size_t size) {
  return std::string(buf, strnlen(buf, size));
}

}  // namespace idprom::fuzz
