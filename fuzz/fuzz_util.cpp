// Checksums and MAC address conversions on arbitrary bytes.
//
// Input:  mac_len  mac_size  flags  text_len  data...
//   mac_len   signed byte: length given to macstring_r (at most the data's)
//   mac_size  signed byte: size given to macstring_r; flags bit 2 makes it
//             INT32_MAX instead
//   flags     bits 1-0  misalignment of the checksummed data (0-3)
//             bit  3    crc_16_buf gets a negative length
//   text_len  how many data bytes (at most) form the text for macbuf_r
//
// Properties:
// - calculate_crc equals an independent rotate-and-add sum at any
//   alignment, is never 0 or 0xFFFFFFFF, and leaves the data as it was;
// - crc_16_buf equals a bit-by-bit CRC-16 and the byte-wise crc_16 chain,
//   and 0 for a negative length;
// - actoh gives the value of every hex digit and -1 for anything else;
// - macstring_r writes only inside a block of exactly its text's size and,
//   with a size of 3 or more, exactly the dotted text; nothing for a
//   length of 0 or less;
// - macbuf_r reads a text in a block of exactly its length + 1, short texts
//   included, writes only the six bytes, and for a text as long as its form
//   gives the bytes of the fixed digit positions;
// - mac64_to_macbuf and macbuf_to_mac64 are each other's inverse on 48 bits.
#include <algorithm>
#include <climits>

#include "fuzz_support.hpp"

using namespace idprom::fuzz;

namespace {

FUZZ_UNTRACED uint32_t reference_checksum(const uint8_t *d, size_t n) {
  if (n == 0) return 1;
  uint32_t sum = 0;
  auto add = [&sum](uint32_t word) {
    sum = sum << 1 | sum >> 31;
    const uint64_t t = uint64_t{sum} + word;
    sum = static_cast<uint32_t>(t) + static_cast<uint32_t>(t >> 32);
  };
  for (size_t i = 0; i < n; i += 4) {
    uint32_t word = 0;
    for (size_t j = 0; j < 4 && i + j < n; ++j) word |= uint32_t{d[i + j]} << (8 * j);
    add(word);
  }
  if (sum == 0) return 1;
  return sum == 0xFFFFFFFF ? 0xFFFFFFFE : sum;
}

FUZZ_UNTRACED uint16_t reference_crc16(const uint8_t *d, size_t n) {
  uint32_t crc = 0;
  for (size_t i = 0; i < n; ++i) {
    crc ^= uint32_t{d[i]} << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000U) != 0 ? (crc << 1) ^ 0x1021U : crc << 1;
    crc &= 0xFFFFU;
  }
  return static_cast<uint16_t>(crc);
}

FUZZ_UNTRACED int reference_hex(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void check_checksums(const uint8_t *d, size_t n, uint8_t flags) {
  const size_t skew = flags & 3U;
  Block data(skew + n);
  if (n != 0) std::memcpy(data.data() + skew, d, n);
  const Block before(data.data(), data.size());
  const uint32_t sum = calculate_crc(data.data() + skew, static_cast<uint32_t>(n));
  FUZZ_CHECK(sum == reference_checksum(d, n));
  FUZZ_CHECK(sum != 0 && sum != 0xFFFFFFFF);
  FUZZ_CHECK(data.equals(before));

  const uint16_t crc = crc_16_buf(data.data() + skew, static_cast<int32_t>(n));
  FUZZ_CHECK(crc == reference_crc16(d, n));
  uint16_t chained = 0;
  for (size_t i = 0; i < n; ++i) crc_16(d[i], &chained);
  FUZZ_CHECK(chained == crc);
  if ((flags & 8U) != 0) FUZZ_CHECK(crc_16_buf(data.data(), -1 - static_cast<int32_t>(n)) == 0);
}

void check_macstring(const uint8_t *d, size_t n, int8_t len_param, int32_t size) {
  const int32_t length = std::min<int32_t>(len_param, static_cast<int32_t>(n));
  if (length <= 0) {
    Block buf(1, 0xA5);
    FUZZ_CHECK(macstring_r(d, length, buf.chars(), size) == buf.chars());
    FUZZ_CHECK(buf.data()[0] == 0xA5);
    return;
  }
  const auto l = static_cast<size_t>(length);
  Block buf(2 * l + (l - 1) / 2 + 1, 0xA5);
  FUZZ_CHECK(macstring_r(d, length, buf.chars(), size) == buf.chars());
  if (size < 3) return;  // each pair is cut by its bound: only the bounds count
  std::string want;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < l; ++i) {
    want += kDigits[d[i] >> 4];
    want += kDigits[d[i] & 15U];
    if (i + 1 < l && (i + 1) % 2 == 0) want += '.';
  }
  FUZZ_CHECK(want.size() + 1 == buf.size());
  FUZZ_CHECK(std::memcmp(buf.data(), want.c_str(), buf.size()) == 0);
}

void check_macbuf(const uint8_t *d, size_t n) {
  const size_t len = n == 0 ? 0 : strnlen(reinterpret_cast<const char *>(d), n);
  Block text(len + 1);
  if (len != 0) std::memcpy(text.data(), d, len);
  text.data()[len] = 0;
  Block mac(6, 0xA5);
  macbuf_r(text.chars(), mac.data());

  static constexpr size_t kDotted[] = {0, 2, 5, 7, 10, 12};
  static constexpr size_t kColon[] = {0, 3, 6, 9, 12, 15};
  static constexpr size_t kPlain[] = {0, 2, 4, 6, 8, 10};
  const char *s = text.chars();
  const size_t *at = std::strchr(s, '.') != nullptr   ? kDotted
                     : std::strchr(s, ':') != nullptr ? kColon
                                                      : kPlain;
  const size_t need = at == kDotted ? 14 : at == kColon ? 17 : 12;
  if (len < need) return;  // a short text: only the bounds count
  for (size_t i = 0; i < 6; ++i) {
    // -1 from a non-digit sets every bit it reaches: "zz" is 0xFF, "z5" 0xF5
    const auto high = static_cast<uint32_t>(reference_hex(text.data()[at[i]]));
    const auto low = static_cast<uint32_t>(reference_hex(text.data()[at[i] + 1]));
    FUZZ_CHECK(mac.data()[i] == static_cast<uint8_t>(high << 4 | low));
  }
}

void check_actoh(const uint8_t *d, size_t n) {
  for (size_t i = 0; i < n && i < 16; ++i)
    FUZZ_CHECK(actoh(static_cast<char>(d[i])) == reference_hex(d[i]));
}

void check_mac64(const uint8_t *d, size_t n) {
  uint64_t value = 0;
  for (size_t i = 0; i < 8 && i < n; ++i) value = value << 8 | d[i];
  Block mac(6, 0xA5);
  FUZZ_CHECK(mac64_to_macbuf(value, mac.data()) == 6);
  for (size_t i = 0; i < 6; ++i)
    FUZZ_CHECK(mac.data()[i] == static_cast<uint8_t>(value >> (40 - 8 * i)));
  FUZZ_CHECK(macbuf_to_mac64(mac.data()) == (value & 0xFFFFFFFFFFFFULL));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t input_size) {
  Input in(input, input_size);
  const auto mac_len = static_cast<int8_t>(in.u8());
  const auto mac_size = static_cast<int8_t>(in.u8());
  const uint8_t flags = in.u8();
  const size_t text_len = in.u8();
  const uint8_t *d = in.rest();
  const size_t n = in.rest_size();

  check_checksums(d, n, flags);
  check_actoh(d, n);
  check_macstring(d, n, mac_len, (flags & 4U) != 0 ? INT32_MAX : mac_size);
  check_macbuf(d, std::min(n, text_len));
  check_mac64(d, n);
  return 0;
}
