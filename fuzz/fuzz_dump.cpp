// The hex dumps on arbitrary bytes.
//
// Input:  mode  size_hi  size_lo  span  data...
//   span 0xF0-0xF7  length 65521 + 2 * bits 2-0: the rows wrap to nothing
//        0xF8-0xFF  length 65536 + 10 * bits 2-0: they wrap to a few
//        below      length: the data's size (a long length gets the data,
//                   then 0xFF filler, in a block of exactly that length)
//   mode bits 6-5   size of the bounded buffer: from size (0, 1), one byte
//                   short of the whole text (2), two short (3)
//        bit  7     also the enhanced dump to standard output (/dev/null)
//
// Properties: idprom_enhanced_dump_to_buf writes a newline and one row for
// every 16 bytes of min(length, length rounded up to 16 in 16 bits); into a
// block of exactly size bytes it keeps the first size - 1 characters and a
// zero byte (only the newline when size is 1) and writes nothing else;
// nothing reads past the data, the plain dump included.
#include <algorithm>

#include "fuzz_support.hpp"

using namespace idprom::fuzz;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t input_size) {
  Input in(input, input_size);
  const uint8_t mode = in.u8();
  const uint16_t size = in.u16();
  const uint8_t span = in.u8();
  size_t length = in.rest_size();
  if (span >= 0xF0) length = 65521U + 2U * (span & 7U);
  if (span >= 0xF8) length = 65536U + 10U * (span & 7U);
  Block data(length, 0xFF);
  std::memcpy(data.data(), in.rest(), std::min(length, in.rest_size()));

  Block big(length * 5 + 64, 0xA5);
  idprom_enhanced_dump_to_buf(data.data(), data.size32(), big.chars(), big.size32());
  const std::string whole = text_of(big.chars(), big.size());
  const uint32_t shown = std::min<uint32_t>(data.size32(), (data.size32() + 15U) & 0xFFF0U);
  FUZZ_CHECK(whole[0] == '\n' && size_t(std::count(whole.begin(), whole.end(), '\n')) == 1 + (shown + 15) / 16);
  FUZZ_CHECK(big.all_from(whole.size() + (shown != 0), 0xA5));

  const size_t t = whole.size();
  const size_t bounded = ((mode >> 5) & 3U) == 2 ? t : ((mode >> 5) & 3U) == 3 ? std::max<size_t>(1, t - 1)
                                                                                : 1 + size % (t + 1);
  Block buf(bounded, 0xA5);
  idprom_enhanced_dump_to_buf(data.data(), data.size32(), buf.chars(), buf.size32());
  const size_t k = bounded == 1 || shown == 0 ? 1 : std::min(t, bounded - 1);
  FUZZ_CHECK(std::memcmp(buf.data(), whole.data(), k) == 0);
  FUZZ_CHECK(k == 1 && (bounded == 1 || shown == 0) ? buf.all_from(1, 0xA5)
                                                     : buf.data()[k] == 0 && buf.all_from(k + 1, 0xA5));
  idprom_dump(data.data(), data.size32());
  if ((mode & 0x80U) != 0) idprom_enhanced_dump(data.data(), data.size32());
  return 0;
}
