// MAC address text: the hex-digit decoder, the dotted writer and the reader
// of dotted, colon and plain text.
#include <algorithm>
#include <cstring>

#include "idprom.h"

namespace {

// idprom_actoh's body, which idprom_macbuf_r calls directly: a call to the
// exported, interposable function would go through the PLT, twelve times
// per address.
int32_t hex_value(char ch) noexcept {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

}  // namespace

extern "C" IDPROM_API int32_t idprom_actoh(char ch) noexcept { return hex_value(ch); }

// Each pair is formatted at its own place with the caller's bound, as
// snprintf(place, size, "%02x") would: the first bound - 1 of its two
// digits and a terminator.  "%02x" of a byte is two digits and a
// terminator, so a bound above 3 writes the same as 3; clamping keeps every
// write inside the pair's three bytes whatever size says.  The dot goes
// over the terminator, third byte of the pair's place, so it is stored only
// when that byte lies inside the bound: a size below 3 stores no dot.
extern "C" IDPROM_API char *idprom_macstring_r(const uint8_t *mac, int32_t length, char *buf,
                                               int32_t size) noexcept {
  constexpr char kHex[] = "0123456789abcdef";
  const auto bound = static_cast<size_t>(std::clamp<int32_t>(size, 0, 3));
  char *out = buf;
  for (int32_t i = 0; i < length; ++i) {
    if (bound > 1) out[0] = kHex[mac[i] >> 4];
    if (bound > 2) out[1] = kHex[mac[i] & 0xF];
    if (bound > 0) out[bound - 1] = '\0';
    out += 2;
    if (i + 1 < length && (i + 1) % 2 == 0) {
      if (bound == 3) *out = '.';
      ++out;
    }
  }
  return buf;
}

namespace {

// Position of the first digit of each byte; the second digit follows it.
//   dotted  001a.2b3c.4d5e      colon  00:1a:2b:3c:4d:5e      plain  001a2b3c4d5e
struct MacForm {
  size_t first[6];
  size_t chars;  // characters the form needs ahead of the terminator
};
constexpr MacForm kDotted{{0, 2, 5, 7, 10, 12}, 14};
constexpr MacForm kColon{{0, 3, 6, 9, 12, 15}, 17};
constexpr MacForm kPlain{{0, 2, 4, 6, 8, 10}, 12};

// strlen bounded by limit (strnlen is POSIX, not standard C++).
size_t bounded_length(const char *text, size_t limit) noexcept {
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

const MacForm &form_of(const char *text) noexcept {
  if (std::strchr(text, '.') != nullptr) return kDotted;
  if (std::strchr(text, ':') != nullptr) return kColon;
  return kPlain;
}

// Two digits as one byte, unvalidated: -1 from a non-hex character sets all
// the bits it reaches, so "zz" and "5z" give 0xFF and "z5" gives 0xF5.
uint8_t pair_value(char hi, char lo) noexcept {
  const auto h = static_cast<uint32_t>(hex_value(hi));
  const auto l = static_cast<uint32_t>(hex_value(lo));
  return static_cast<uint8_t>(h << 4 | l);
}

}  // namespace

// Only the fixed positions of the form are read, and none at or past the
// terminator: a text shorter than its form reads as if padded with non-hex
// characters (the terminator itself is one).
extern "C" IDPROM_API void idprom_macbuf_r(const char *text, uint8_t *mac) noexcept {
  const MacForm &form = form_of(text);
  const size_t n = bounded_length(text, form.chars);
  const auto at = [&](size_t pos) { return pos < n ? text[pos] : '\0'; };
  for (size_t i = 0; i < 6; ++i) mac[i] = pair_value(at(form.first[i]), at(form.first[i] + 1));
}
