// MAC address text: the hex-digit decoder, the dotted writer and the reader
// of dotted, colon and plain text.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "idprom.h"

namespace {

#ifdef __OPTIMIZE_SIZE__
// A build for size (firmware, -Os) decodes by range tests and writes an
// address pair by pair: the table and the two-store writer cost more flash
// there than their speed is worth.
constexpr bool kForSize = true;

uint8_t digit_value(char ch) noexcept {
  if (ch >= '0' && ch <= '9') return static_cast<uint8_t>(ch - '0');
  if (ch >= 'a' && ch <= 'f') return static_cast<uint8_t>(ch - 'a' + 10);
  if (ch >= 'A' && ch <= 'F') return static_cast<uint8_t>(ch - 'A' + 10);
  return 0xFF;
}
#else
constexpr bool kForSize = false;

// Hex digit values by character, 0xFF for every other one: the decoder of
// idprom_actoh and of idprom_macbuf_r, which uses it directly (a call to
// the exported, interposable function would go through the PLT, twelve
// times per address).  A table, because digits and letters mix at random
// in addresses and range tests would branch on them (256 bytes: with a
// bounds test, 128 entries took a fifth more instructions per address).
constexpr std::array<uint8_t, 256> kDigitValue = [] {
  std::array<uint8_t, 256> t{};
  for (auto &v : t) v = 0xFF;
  for (size_t i = 0; i < 10; ++i) t['0' + i] = static_cast<uint8_t>(i);
  for (size_t i = 0; i < 6; ++i) t['a' + i] = t['A' + i] = static_cast<uint8_t>(10 + i);
  return t;
}();

uint8_t digit_value(char ch) noexcept { return kDigitValue[static_cast<uint8_t>(ch)]; }

// The same digits already in the upper four bits (0xF0 for a non-hex
// character), so that a pair is two lookups and an OR.
constexpr std::array<uint8_t, 256> kHighDigit = [] {
  std::array<uint8_t, 256> t{};
  for (size_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(kDigitValue[i] << 4);
  return t;
}();
#endif

// Four bytes, the first in the low byte of `bytes`, as eight lower-case hex
// digits in a little-endian word, the first byte's high digit first: each
// byte spread to 16 bits, its nibbles to one byte each, and every nibble
// turned into its digit at once ('0' + n, plus 39 more from 10 on).
uint64_t hex_digits(uint32_t bytes) noexcept {
  uint64_t y = bytes;
  y = (y | y << 16) & 0x0000FFFF0000FFFFULL;
  y = (y | y << 8) & 0x00FF00FF00FF00FFULL;
  const uint64_t n = (y >> 4 & 0x000F000F000F000FULL) | (y & 0x000F000F000F000FULL) << 8;
  const uint64_t letters = (n + 0x0606060606060606ULL) >> 4 & 0x0101010101010101ULL;
  return n + 0x3030303030303030ULL + letters * ('a' - '0' - 10);
}

// A six-byte address as its 14 characters and terminator, in two
// overlapping 8-byte stores (little-endian hosts):
//   buf  0  1  2  3  4  5  6  7  8  9 10 11 12 13 14
//        c0 c1 c2 c3 .  c4 c5 c6 c7 .  d0 d1 d2 d3 \0
//        [------- first -------]
//                             [------- second -------]
[[maybe_unused]] void write_address(const uint8_t *mac, char *buf) noexcept {
  const uint64_t c = hex_digits(static_cast<uint32_t>(mac[0] | mac[1] << 8 | mac[2] << 16) |
                                static_cast<uint32_t>(mac[3]) << 24);
  const uint64_t d = hex_digits(static_cast<uint32_t>(mac[4] | mac[5] << 8)) & 0xFFFFFFFF;
  const uint64_t first = (c & 0xFFFFFFFF) | uint64_t{'.'} << 32 | (c >> 32) << 40;
  const uint64_t second = c >> 48 | uint64_t{'.'} << 16 | d << 24;
  std::memcpy(buf, &first, 8);
  std::memcpy(buf + 7, &second, 8);
}

}  // namespace

extern "C" IDPROM_API int32_t idprom_actoh(char ch) noexcept {
  const uint8_t v = digit_value(ch);
  return v == 0xFF ? -1 : v;
}

// Each pair is formatted at its own place with the caller's bound, as
// snprintf(place, size, "%02x") would: the first bound - 1 of its two
// digits and a terminator.  "%02x" of a byte is two digits and a
// terminator, so a bound above 3 writes the same as 3; clamping keeps every
// write inside the pair's three bytes whatever size says.  The dot goes
// over the terminator, third byte of the pair's place, so it is stored only
// when that byte lies inside the bound: a size below 3 stores no dot.
// A whole six-byte address, the usual call, is written in two stores.
extern "C" IDPROM_API char *idprom_macstring_r(const uint8_t *mac, int32_t length, char *buf,
                                               int32_t size) noexcept {
  constexpr char kHex[] = "0123456789abcdef";
  if constexpr (std::endian::native == std::endian::little && !kForSize) {
    if (length == 6 && size >= 3) {
      write_address(mac, buf);
      return buf;
    }
  }
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

// The form and the number of characters ahead of the terminator, up to
// the form's need, in one pass: the first "." decides, else any ":".  A
// text longer than the colon form is searched on for a "." only past it.
const MacForm &form_of(const char *text, size_t *length) noexcept {
  size_t n = 0;
  bool colon = false;
  for (; n < kColon.chars && text[n] != '\0'; ++n) {
    if (text[n] == '.') {
      while (n < kDotted.chars && text[n] != '\0') ++n;
      *length = std::min(n, kDotted.chars);
      return kDotted;
    }
    colon |= text[n] == ':';
  }
  const bool more = n == kColon.chars;
  const bool dotted = more && std::strchr(text + n, '.') != nullptr;
  colon = colon || (more && std::strchr(text + n, ':') != nullptr);
  const MacForm &form = dotted ? kDotted : colon ? kColon : kPlain;
  *length = std::min(n, form.chars);
  return form;
}

// Two digits as one byte, unvalidated: 0xFF from a non-hex character sets
// all the bits it reaches, so "zz" and "5z" give 0xFF and "z5" gives 0xF5.
uint8_t pair_value(char hi, char lo) noexcept {
#ifdef __OPTIMIZE_SIZE__
  return static_cast<uint8_t>(digit_value(hi) << 4 | digit_value(lo));
#else
  return kHighDigit[static_cast<uint8_t>(hi)] | kDigitValue[static_cast<uint8_t>(lo)];
#endif
}

// Keeps `value` computed where it stands.  Without this the compiler moves
// every pair's decoding past the last terminator test, holds all fourteen
// characters until then, and has to save registers to do so.
void settle(uint64_t &value) noexcept {
#if defined(__GNUC__)
  asm("" : "+r"(value));
#else
  (void)value;
#endif
}

// The dotted form whole, "hhhh." first: the usual text (the one this
// library writes), read in one straight pass.  A "." at 4 settles the form
// whatever follows, so the pass stops at the form's 14 characters.  Each
// character that has another after it is tested for the terminator before
// the next one is read; the last needs no test, as a terminator there reads
// as the non-hex character it is.  The bytes gather in one register as they
// are read.  False, with `mac` untouched, for any other text.
bool read_dotted(const char *text, uint8_t *mac) noexcept {
  uint64_t bytes = 0;  // byte i in bits 8i to 8i + 7
  const auto more = [text](size_t at) { return text[at] != '\0'; };
  // Byte i from the pair at `at`, whose first character is tested here.
  const auto take = [&](size_t i, size_t at) {
    if (!more(at)) return false;
    bytes |= uint64_t{pair_value(text[at], text[at + 1])} << (8 * i);
    settle(bytes);
    return true;
  };
  if (!(take(0, 0) && more(1) && take(1, 2) && more(3) && text[4] == '.' && take(2, 5) && more(6) &&
        take(3, 7) && more(8) && more(9) && take(4, 10) && more(11) && take(5, 12)))
    return false;
  if constexpr (std::endian::native == std::endian::little) {
    const auto low = static_cast<uint32_t>(bytes);
    const auto high = static_cast<uint16_t>(bytes >> 32);
    std::memcpy(mac, &low, 4);
    std::memcpy(mac + 4, &high, 2);
  } else {
    for (size_t i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(bytes >> (8 * i));
  }
  return true;
}

// Any text: the form found in one pass, then its positions.
[[gnu::noinline]] void read_any(const char *text, uint8_t *mac) noexcept {
  size_t n = 0;
  const MacForm &form = form_of(text, &n);
  if (n == form.chars) {
    for (size_t i = 0; i < 6; ++i) mac[i] = pair_value(text[form.first[i]], text[form.first[i] + 1]);
    return;
  }
  const auto at = [&](size_t pos) { return pos < n ? text[pos] : '\0'; };
  for (size_t i = 0; i < 6; ++i) mac[i] = pair_value(at(form.first[i]), at(form.first[i] + 1));
}

}  // namespace

// Only the fixed positions of the form are read, and none at or past the
// terminator: a text shorter than its form reads as if padded with non-hex
// characters (the terminator itself is one).
extern "C" IDPROM_API void idprom_macbuf_r(const char *text, uint8_t *mac) noexcept {
  if (kForSize || !read_dotted(text, mac)) read_any(text, mac);
}
