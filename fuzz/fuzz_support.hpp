// Shared pieces of the fuzz harnesses: a property check that aborts (so that
// libFuzzer and the replay main both report it), a reader of call parameters
// from the front of the input, and heap blocks of exactly the size a call may
// touch (AddressSanitizer reports one byte past them).  The model of the
// entry list is tests/model.hpp.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model.hpp"

#define FUZZ_CHECK(cond)                                                                \
  do {                                                                                  \
    if (!(cond)) {                                                                      \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (0)

namespace idprom::fuzz {

// Standard output goes to /dev/null: the harnesses run the standard-output
// variants for their memory behaviour, and libFuzzer reports on stderr.
inline void silence_stdout() { FUZZ_CHECK(std::freopen("/dev/null", "w", stdout) != nullptr); }

// Parameters from the front of the input; past its end every read gives 0.
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
    return static_cast<uint16_t>(high << 8 | u8());
  }
  const uint8_t *rest() const { return p_; }
  size_t rest_size() const { return left_; }

 private:
  const uint8_t *p_;
  size_t left_;
};

// A vector of n bytes allocates exactly n.
struct Block : std::vector<uint8_t> {
  explicit Block(size_t n, uint8_t fill = 0) : std::vector<uint8_t>(n, fill) {}
  Block(const uint8_t *src, size_t n) : std::vector<uint8_t>(src, src + n) {}
  char *chars() { return reinterpret_cast<char *>(data()); }
  uint32_t size32() const { return static_cast<uint32_t>(size()); }
  // True when every byte from offset from to the end equals byte.
  bool all_from(size_t from, uint8_t byte) const {
    return std::all_of(begin() + static_cast<long>(std::min(from, size())), end(), [byte](uint8_t b) { return b == byte; });
  }
  bool all(uint8_t byte) const { return all_from(0, byte); }
};

// The text a call wrote into a buffer: up to its first zero byte.
inline std::string text_of(const char *buf, size_t size) { return std::string(buf, strnlen(buf, size)); }

}  // namespace idprom::fuzz
