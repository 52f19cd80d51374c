// The library's own formatter: the few printf conversions its texts use,
// giving the very characters snprintf gives for them, in a few hundred
// bytes of code.  The listing, the renderers and the dumps format through
// it, so a program that lists into a buffer links no printf machinery;
// idprom_printf, which takes any format of the caller's, keeps vsnprintf.
//
//   %[0][width][.precision]conversion    width and precision: digits or *
//   conversions: d (int), x X (unsigned), c (int), s (const char *), %%
#include <cstdint>

#include "print/sink.hpp"

namespace idprom::print {
namespace {

// Appends to buf, keeping room for the zero byte; counts every character.
struct Out {
  char *buf;
  uint32_t cap;
  uint32_t len = 0;

  void put(char c) {
    if (len + 1 < cap) buf[len] = c;
    ++len;
  }
  void fill(char c, int n) {
    for (; n > 0; --n) put(c);
  }
};

int read_number(const char *&f, va_list *args) {
  if (*f == '*') {
    ++f;
    return va_arg(*args, int);
  }
  int n = 0;
  for (; *f >= '0' && *f <= '9'; ++f) n = n * 10 + (*f - '0');
  return n;
}

// The digits of v in base 10 or 16 into digits (most significant first).
int to_digits(unsigned v, unsigned base, bool upper, char (&digits)[12]) {
  const char *const set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[12];
  int n = 0;
  do {
    reversed[n++] = set[v % base];
    v /= base;
  } while (v != 0);
  for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  return n;
}

}  // namespace

uint32_t format_piece(char *buf, uint32_t cap, const char *f, va_list caller_args) noexcept {
  va_list args;  // a copy that the helpers can take by pointer
  va_copy(args, caller_args);
  Out out{buf, cap};
  for (; *f != '\0'; ++f) {
    if (*f != '%') {
      out.put(*f);
      continue;
    }
    ++f;
    const bool zero = *f == '0';
    if (zero) ++f;
    const int width = read_number(f, &args);
    int precision = -1;
    if (*f == '.') precision = read_number(++f, &args);
    char digits[12];
    const char *text = digits;
    int n = 0;
    bool negative = false;
    switch (*f) {
      case 'd': {
        const int v = va_arg(args, int);
        negative = v < 0;
        n = to_digits(negative ? 0U - static_cast<unsigned>(v) : static_cast<unsigned>(v), 10,
                      false, digits);
        break;
      }
      case 'x':
      case 'X': n = to_digits(va_arg(args, unsigned), 16, *f == 'X', digits); break;
      case 'c':
        out.fill(' ', width - 1);
        out.put(static_cast<char>(va_arg(args, int)));
        continue;
      case 's':
        text = va_arg(args, const char *);
        while ((precision < 0 || n < precision) && text[n] != '\0') ++n;
        break;
      default: out.put(*f); continue;  // %%
    }
    const int pad = width - n - (negative ? 1 : 0);
    const bool zeros = zero && *f != 's';
    if (!zeros) out.fill(' ', pad);
    if (negative) out.put('-');
    if (zeros) out.fill('0', pad);
    for (int i = 0; i < n; ++i) out.put(text[i]);
  }
  va_end(args);
  if (cap != 0) buf[out.len < cap ? out.len : cap - 1] = '\0';
  return out.len;
}

}  // namespace idprom::print
