// Hex dumps: the plain dump of an image's used part, and the enhanced dump
// of any bytes with a text column, to standard output or into a buffer.
//
// Rows hold 16 bytes; each is made of a few small pieces:
//
//   plain     \n\t  0x10: 4f 50 51 52                       head, bytes
//   enhanced    010: 51 52 53 54 <fill>    QRST\n           head, bytes, fill,
//                                                           separator, text, end
//
// The fill (three spaces per missing byte) keeps the text column of a short
// last row under that of the full rows.  Offsets widen by themselves: the
// plain head shows three digits from 0x100 on, the enhanced head four from
// 0x1000 on.
//
// Lengths and offsets are 16-bit quantities: a dump shows at most 65520
// (0xFFF0) bytes, and the rounding (n + 15) & 0xFFF0 wraps above it.
#include <algorithm>
#include <cstdint>

#include "codec/codec.hpp"
#include "idprom.h"
#include "print/sink.hpp"

namespace idprom::print {
namespace {

constexpr uint32_t kRowBytes = 16;
constexpr uint32_t kRowMask = 0xFFF0;

// The plain dump's pieces, byte for byte.
constexpr const char *kPlainHead = "\n\t  0x%02x:";
constexpr const char *kPlainByte = " %02x";

// The text column's printable range, fixed whatever the locale.
constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kLastPrintable = 0x7E;
constexpr char kUnprintable = '.';

// n rounded up to a whole row, in 16 bits: exact for n <= 0xFFF0; 65521 to
// 65535 give 0, larger n give their low 16 bits rounded.  Unsigned wrap of
// n + 15 leaves those low bits intact.
constexpr uint32_t round_to_row(uint32_t n) { return (n + kRowBytes - 1) & kRowMask; }

int text_char(uint8_t byte) {
  return byte >= kFirstPrintable && byte <= kLastPrintable ? byte : kUnprintable;
}

// An enhanced row is formatted whole into a scratch and appended in one
// write.  The text is exactly that of its pieces ("  %03X:", " %02X" per
// byte, the fill, the separator, "%c" per byte, "\n"), and appending it at
// once leaves the buffer as appending the pieces one by one would: the sink
// keeps whatever fits of the concatenated text, then a zero byte, and a
// row (at most 76 characters) is within the sink's 79-character piece.
// Formatting each piece with printf cost some fifty times more.
constexpr char kUpperHex[] = "0123456789ABCDEF";
constexpr uint32_t kOffsetDigitsMax = 4;  // offsets stay below 0xFFF0
static_assert(kRowMask >> (4 * kOffsetDigitsMax) == 0);
constexpr uint32_t kRowTextMax = 2 + kOffsetDigitsMax + 1 + 3 * kRowBytes + 4 + kRowBytes + 1;
static_assert(kRowTextMax < kScratchSize);

struct RowText {
  char text[kRowTextMax];
  uint32_t len = 0;

  void put(char c) { text[len++] = c; }
  void put_spaces(uint32_t n) {
    while (n-- > 0) put(' ');
  }
  void put_hex(uint32_t v, uint32_t min_digits) {  // upper case, like %0*X
    uint32_t digits = 1;
    while (digits < kOffsetDigitsMax && v >> (4 * digits) != 0) ++digits;
    for (uint32_t d = std::max(digits, min_digits); d-- > 0;) put(kUpperHex[v >> (4 * d) & 0xF]);
  }
};

// One enhanced row of m bytes (1 to 16) starting at offset.
RowText enhanced_row(const uint8_t *row, uint32_t offset, uint32_t m) {
  RowText out;
  out.put_spaces(2);
  out.put_hex(offset, 3);
  out.put(':');
  for (uint32_t i = 0; i < m; ++i) {
    out.put(' ');
    out.put_hex(row[i], 2);
  }
  out.put_spaces(3 * (kRowBytes - m) + 4);  // fill, then the separator
  for (uint32_t i = 0; i < m; ++i) out.put(static_cast<char>(text_char(row[i])));
  out.put('\n');
  return out;
}

// Rows to the sink: appended to the buffer by its rules, or written to
// standard output.
void enhanced_rows(const Sink &out, const uint8_t *data, uint32_t length) {
  if (data == nullptr) return;  // nothing to show rather than a crash
  const uint32_t total = std::min(length, round_to_row(length));
  for (uint32_t r = 0; r < total; r += kRowBytes) {
    const RowText row = enhanced_row(data + r, r, std::min(kRowBytes, total - r));
    sink_put(out.buf, out.pos, out.size, row.text, row.len);
  }
}

// Bytes the plain dump shows: up to the end marker (or the whole image when
// there is none), rounded up to the row, never past the image.
uint32_t plain_length(const uint8_t *image, uint32_t image_length) {
  if (image == nullptr) return 0;
  const uint8_t *marker = codec::idprom_find_end_marker(image, image + image_length);
  const uint32_t extent = marker != nullptr ? static_cast<uint32_t>(marker - image) : image_length;
  return std::min(round_to_row(extent), image_length);
}

}  // namespace
}  // namespace idprom::print

using idprom::print::Sink;

extern "C" IDPROM_API void idprom_dump(const uint8_t *image, uint32_t image_length) noexcept {
  using namespace idprom::print;
  const uint32_t total = plain_length(image, image_length);
  uint32_t pos = 0;
  for (uint32_t i = 0; i < total; ++i) {
    if (i % kRowBytes == 0) sink_printf(nullptr, &pos, 0, kPlainHead, static_cast<unsigned>(i));
    sink_printf(nullptr, &pos, 0, kPlainByte, unsigned{image[i]});
  }
}

extern "C" IDPROM_API void idprom_enhanced_dump(const uint8_t *data, uint32_t length) noexcept {
  uint32_t pos = 0;
  idprom::print::enhanced_rows(Sink{nullptr, &pos, 0}, data, length);
}

extern "C" IDPROM_API void idprom_enhanced_dump_to_buf(const uint8_t *data, uint32_t length,
                                                       char *buf, uint32_t size) noexcept {
  if (buf == nullptr || size == 0) return;  // no room even for the newline
  buf[0] = '\n';
  uint32_t pos = 1;
  idprom::print::enhanced_rows(Sink{buf, &pos, size}, data, length);
}
