// The hex dumps on arbitrary bytes.
//
// Input:  mode  size_hi  size_lo  span  data...
//   span 0xF0-0xF7  length 65521 + 2 * bits 2-0: the rows wrap to nothing
//        0xF8-0xFF  length 65536 + 10 * bits 2-0: they wrap to a few
//        below      length: the data's size
//                   (a long length gets the data, then 0xFF filler, in a
//                   block of exactly that length)
//   (Rows from offset 0x1000 on, one character wider, are left to the unit
//   tests: reaching them costs 256 rows an execution.)
//   mode bits 6-5   size of the second, bounded buffer: from size (0, 1),
//                   one byte short of the whole text (2), two short (3)
//        bit  7     also the enhanced dump to standard output (/dev/null)
//
// Properties:
// - idprom_enhanced_dump_to_buf into a large buffer writes a newline and
//   exactly the rows an independent formatter makes (16 bytes a row, the
//   16-bit length rule included);
// - into a block of exactly size bytes it keeps the newline, the first
//   size - 2 characters of the rows and a zero byte, and writes nothing
//   else; with no rows only the newline;
// - nothing reads past the image or data (AddressSanitizer), the plain dump
//   included, whose end-marker search stops inside the image.
#include <algorithm>

#include "fuzz_support.hpp"

using namespace idprom::fuzz;

namespace {

constexpr uint8_t kFill = 0xA5;

FUZZ_UNTRACED void append_hex(std::string *out, uint32_t v, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char tmp[8];
  int n = 0;
  do {
    tmp[n++] = kDigits[v & 15U];
    v >>= 4;
  } while (v != 0 || n < digits);
  while (n > 0) out->push_back(tmp[--n]);
}

// The enhanced rows, written without the library's formatting.
FUZZ_UNTRACED std::string reference_rows(const uint8_t *data, uint32_t length) {
  const uint32_t rounded = (length + 15U) & 0xFFF0U;
  const uint32_t total = std::min(length, rounded);
  std::string out;
  for (uint32_t row = 0; row < total; row += 16) {
    const uint32_t m = std::min(16U, total - row);
    out += "  ";
    append_hex(&out, row, 3);
    out += ':';
    for (uint32_t i = 0; i < m; ++i) {
      out += ' ';
      append_hex(&out, data[row + i], 2);
    }
    out.append(3 * (16 - m), ' ');
    out += "    ";
    for (uint32_t i = 0; i < m; ++i) {
      const uint8_t c = data[row + i];
      out += c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : '.';
    }
    out += '\n';
  }
  return out;
}

void check_to_buf(const Block &data, const std::string &rows, size_t size) {
  Block buf(size, kFill);
  idprom_enhanced_dump_to_buf(data.data(), data.size32(), buf.chars(), buf.size32());
  FUZZ_CHECK(buf.data()[0] == '\n');
  if (rows.empty() || size == 1) {
    FUZZ_CHECK(buf.all_from(1, kFill));
    return;
  }
  const size_t k = std::min(rows.size(), size - 2);
  FUZZ_CHECK(std::memcmp(buf.data() + 1, rows.data(), k) == 0);
  FUZZ_CHECK(buf.data()[1 + k] == 0);
  FUZZ_CHECK(buf.all_from(k + 2, kFill));
}

Block make_data(Input &in, uint8_t span) {
  const size_t n = in.rest_size();
  size_t length = n;
  if (span >= 0xF0) length = 65521U + 2U * (span & 7U);
  if (span >= 0xF8) length = 65536U + 10U * (span & 7U);
  if (length == n) return Block(in.rest(), n);
  Block data(length, 0xFF);
  std::memcpy(data.data(), in.rest(), std::min(n, length));
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t input_size) {
  Input in(input, input_size);
  const uint8_t mode = in.u8();
  const uint16_t size = in.u16();
  const Block data = make_data(in, in.u8());

  const std::string rows = reference_rows(data.data(), data.size32());
  // The whole text fits a buffer of its length + 2 (newline, zero byte).
  check_to_buf(data, rows, rows.size() + 2);
  switch ((mode >> 5) & 3U) {
    case 2: check_to_buf(data, rows, rows.size() + 1); break;
    case 3: check_to_buf(data, rows, std::max<size_t>(1, rows.size())); break;
    default: check_to_buf(data, rows, 1 + size % (rows.size() + 2)); break;
  }
  idprom_dump(data.data(), data.size32());
  if ((mode & 0x80U) != 0) idprom_enhanced_dump(data.data(), data.size32());
  return 0;
}
