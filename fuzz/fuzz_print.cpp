// The field printer, its wrappers, the value renderer and the hex dumps on
// hostile images.
//
// Input:  mode  inst_hi  inst_lo  ntypes  size_hi  size_lo  seed  attr  rsize
//         rpos  types[ntypes & 31]  image...
//   mode bits 1-0  filter: none, include set, include clear, none
//        bits 3-2  callback: none, always true, always false, by seed
//        bit  4    the type list fills all 256 places, with no 0 to end it
//        bits 6-5  bounded buffer size: from size (0, 1), the text's length
//                  (2: one byte short), or its length + 1 (3: exact fit)
//        bit  7    also a wrapper (chosen by seed) against the general call
//   inst           instance, 0-511 (0 lists everything; above 255 nothing)
//   attr, rsize, rpos   attribute, buffer size and start position for
//                  idprom_print_by_display_type over the image bytes
//
// Properties: a listing that shows nothing leaves the buffer as it was;
// into a block of exactly size bytes the buffer holds the first size - 1
// characters of the unbounded text and a zero byte, and nothing else; the
// callback sees only listed one-byte types, a value inside the image and a
// valid attribute; the wrappers print what the general call prints; the
// renderer writes only between its start position and size; the buffer dump
// has a row for every 16 bytes shown and is cut like a listing.
#include <algorithm>
#include <memory>

#include "fuzz_support.hpp"

using namespace idprom::fuzz;

namespace {

constexpr uint8_t kFill = 0xA5;
const uint8_t *g_begin, *g_end;
const idprom_filter *g_filter;
uint8_t g_seed;

template <int kAnswer>  // 1 always, 0 never, 2 by the seed
bool answer(const uint8_t *value, uint32_t type, uint32_t attribute, uint32_t length, const uint8_t *counters) {
  FUZZ_CHECK(value > g_begin && length >= 1 && length <= static_cast<size_t>(g_end - value));
  FUZZ_CHECK((attribute & ~0xC0U) == 0 && ((type & 0xC0) == 0xC0 || attribute == 0) && counters != nullptr);
  const uint8_t *const types = g_filter->types, *const stop = std::find(types, types + 256, 0);
  FUZZ_CHECK(type <= 0xFF && std::find(types, stop, type) != stop);
  return kAnswer == 1 || (kAnswer == 2 && ((type ^ length ^ g_seed) & 1U) != 0);
}
constexpr idprom_filter_fn kCallbacks[] = {nullptr, answer<1>, answer<0>, answer<2>};

// The text printed into a buffer of size bytes, or "untouched" when it shows
// nothing; the buffer holds the text's first size - 1 characters, a zero byte
// and nothing else.
template <typename Print>
std::string print_into(size_t size, Print print, const std::string *whole = nullptr) {
  Block buf(size, kFill);
  print(buf.chars(), buf.size32());
  if (buf.all(kFill)) return "untouched";
  const std::string text = text_of(buf.chars(), buf.size());
  FUZZ_CHECK(text.size() < size && buf.all_from(text.size() + 1, kFill));
  if (whole != nullptr) FUZZ_CHECK(text == whole->substr(0, size - 1));
  return text;
}

void check_renderer(const Block &image, uint32_t attribute, uint32_t size, uint32_t start) {
  const uint32_t length = std::min<uint32_t>(image.size32(), 200);
  Block big(length * 64 + 4096, kFill);
  uint32_t pos = 0;
  idprom_print_by_display_type(image.data(), attribute, length, big.chars(), &pos, big.size32());
  const std::string text = text_of(big.chars(), big.size());
  FUZZ_CHECK(pos < big.size() && (pos == 0 || text.size() == pos));
  Block buf(size, kFill);
  uint32_t at = start;
  idprom_print_by_display_type(image.data(), attribute, length, buf.chars(), &at, size);
  if (start >= size || pos == 0) {  // nothing, or at most a zero byte at the start position
    FUZZ_CHECK(at == start && (start >= size || buf.data()[start] == kFill || buf.data()[start] == 0));
    FUZZ_CHECK(std::count(buf.begin(), buf.end(), kFill) >= static_cast<long>(size) - 1);
    return;
  }
  const size_t k = std::min<size_t>(pos, size - 1 - start);
  FUZZ_CHECK(std::count(buf.begin(), buf.begin() + start, kFill) == start);
  FUZZ_CHECK(std::memcmp(buf.data() + start, text.data(), k) == 0 && buf.data()[start + k] == 0);
  FUZZ_CHECK(buf.all_from(start + k + 1, kFill));
  FUZZ_CHECK(start + pos < size ? at == start + pos : at >= size);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  silence_stdout();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t data_size) {
  Input in(data, data_size);
  const uint8_t mode = in.u8();
  const uint32_t instance = in.u16() & 0x1FFU, ntypes = in.u8() & 31U;
  const uint16_t size = in.u16();
  const uint8_t seed = in.u8(), attr = in.u8(), rsize = in.u8(), rpos = in.u8();
  // The filter in a block of its own size: a read past its 256 places shows.
  auto filter = std::make_unique<idprom_filter>();
  filter->include = (mode & 3U) == 1 ? 1 : 0;
  filter->callback = kCallbacks[(mode >> 2) & 3U];
  for (uint32_t i = 0; i < ntypes; ++i) filter->types[i] = in.u8();
  if ((mode & 0x10U) != 0)
    for (uint32_t i = 0; i < 256; ++i)
      filter->types[i] = static_cast<uint8_t>(filter->types[i] != 0 ? filter->types[i] : 1 + i % 255);
  const idprom_filter *const f = (mode & 3U) == 1 || (mode & 3U) == 2 ? filter.get() : nullptr;

  const Block image(in.rest(), in.rest_size());
  const uint8_t *img = image.data();
  const uint32_t n = image.size32();
  g_begin = img, g_end = img + n, g_filter = filter.get(), g_seed = seed;
  const size_t big = image.size() * 64 + 4096;
  const auto general = [&](const idprom_filter *filt, uint32_t inst) {
    return [=](char *b, uint32_t s) { idprom_print_filter_fields_instance(img, n, filt, inst, b, s); };
  };
  const std::string whole = print_into(big, general(f, instance));
  const size_t t = whole.size(), pick = (mode >> 5) & 3U;
  const size_t bounded = pick == 2 ? t : pick == 3 ? t + 1 : size % (t + 2);
  if (whole == "untouched" || bounded == 0) FUZZ_CHECK(print_into(bounded, general(f, instance)) == "untouched");
  else print_into(bounded, general(f, instance), &whole);
  idprom_print_filter_fields_instance(img, n, f, instance, nullptr, 0);
  if ((mode & 0x80U) != 0) {
    switch (seed % 5) {
      case 0: FUZZ_CHECK(print_into(big, [&](char *b, uint32_t s) { idprom_print_all_fields_to_buf(img, n, b, s); }) ==
                         print_into(big, general(nullptr, 0))); break;
      case 1: FUZZ_CHECK(print_into(big, [&](char *b, uint32_t s) { idprom_print_filter_fields_to_buf(img, n, f, b, s); }) ==
                         print_into(big, general(f, 1))); break;
      case 2: FUZZ_CHECK(print_into(big, [&](char *b, uint32_t s) { idprom_print_basic_fields_to_buf(img, n, b, s); }) ==
                         print_into(big, general(&idprom_basic_filter, 0))); break;
      case 3: idprom_print_all_fields(img, n); break;
      default: idprom_print_filter_fields(img, n, f); break;
    }
  }
  check_renderer(image, attr, rsize, rpos % 64U);
  // The buffer dump of the image bytes: a newline, one row for every 16 bytes
  // shown (the length rounded up to 16 in 16 bits), cut like the listing.
  const auto dump = [&](char *b, uint32_t s) { idprom_enhanced_dump_to_buf(img, n, b, s); };
  const uint32_t shown = std::min<uint32_t>(n, (n + 15U) & 0xFFF0U);
  if (shown != 0) {  // else only the newline, without a zero byte
    const std::string rows = print_into(n * 5 + 64, dump);
    FUZZ_CHECK(rows[0] == '\n' && size_t(std::count(rows.begin(), rows.end(), '\n')) == 1 + (shown + 15) / 16);
    if (size % (rows.size() + 2) > 1) print_into(size % (rows.size() + 2), dump, &rows);
  }
  idprom_dump(img, n);
  return 0;
}
