// The field printer, its wrappers and the value renderer on hostile images,
// into buffers of every size.
//
// Input:  mode  inst_hi  inst_lo  ntypes  size_hi  size_lo  seed  attr  rsize
//         rpos  types[ntypes & 31]  image...
//   mode bits 1-0  filter: none, include set, include clear, none
//        bits 3-2  callback: none, always true, always false, by seed
//        bit  4    the type list fills all 256 places, with no 0 to end it
//        bits 6-5  bounded buffer size: from size (0, 1), the text's length
//                  (2: one byte short), or its length + 1 (3: exact fit)
//        bit  7    also compare one wrapper (chosen by seed) with the
//                  general call
//   inst           instance, 0-511 (0 lists everything; above 255 nothing)
//   attr, rsize, rpos   display attribute, buffer size and start position
//                  for idprom_print_by_display_type over the image bytes
//
// Properties:
// - the listing into a large buffer is the unbounded text; a listing that
//   shows nothing leaves the buffer exactly as it was;
// - into a block of exactly size bytes, the buffer holds the first
//   min(text, size - 1) characters of the unbounded text and a zero byte,
//   and nothing else is written: not at or beyond size (AddressSanitizer),
//   not after the zero byte;
// - the callback sees only listed one-byte types, with a value inside the
//   image, a valid attribute and the counters;
// - the wrappers print what the general call prints with their arguments;
// - the standard-output variants run (standard output is /dev/null);
// - the renderer writes only between its start position and size.
#include <algorithm>

#include "fuzz_support.hpp"

using namespace idprom::fuzz;

namespace {

struct CallbackView {
  const uint8_t *begin = nullptr;
  const uint8_t *end = nullptr;
  const idprom_filter *filter = nullptr;
  uint8_t seed = 0;
};
CallbackView g_view;

FUZZ_UNTRACED bool listed(const idprom_filter &f, uint32_t type) {
  for (const uint8_t code : f.types) {
    if (code == 0) return false;
    if (code == type) return true;
  }
  return false;
}

void check_callback_args(const uint8_t *value, uint32_t type, uint32_t attribute,
                         uint32_t length, const uint8_t *counters) {
  FUZZ_CHECK(value > g_view.begin && value <= g_view.end);
  FUZZ_CHECK(length >= 1 && length <= static_cast<size_t>(g_view.end - value));
  FUZZ_CHECK((attribute & ~0xC0U) == 0);
  FUZZ_CHECK((type & 0xC0) == 0xC0 || attribute == 0);
  FUZZ_CHECK(counters != nullptr);
  FUZZ_CHECK(type <= 0xFF && listed(*g_view.filter, type));
}

template <int kAnswer>  // 1 always, 0 never, else by the seed
bool answer(const uint8_t *v, uint32_t t, uint32_t a, uint32_t l, const uint8_t *c) {
  check_callback_args(v, t, a, l, c);
  return kAnswer == 1 || (kAnswer == 2 && ((t ^ l ^ g_view.seed) & 1U) != 0);
}

constexpr idprom_filter_fn kCallbacks[] = {nullptr, answer<1>, answer<0>, answer<2>};

// The listing text, or "no listing" when the buffer was left untouched.
struct Listing {
  bool shown = false;
  std::string text;
  bool operator==(const Listing &) const = default;
};

constexpr uint8_t kFill = 0xA5;

size_t large_size(size_t image_size) { return image_size * 64 + 4096; }

template <typename Print>
Listing list_into(size_t size, Print print) {
  Block buf(size, kFill);
  print(buf.chars(), buf.size32());
  if (buf.all(kFill)) return {};
  const std::string text = text_of(buf.chars(), buf.size());
  FUZZ_CHECK(text.size() + 1 < buf.size());  // the large buffer was large enough
  return {true, text};
}

// A bounded buffer holds a prefix of the text, its zero byte, and nothing
// else; with no listing it is untouched.
template <typename Print>
void check_bounded(const Listing &whole, size_t size, Print print) {
  Block buf(size, kFill);
  print(buf.chars(), buf.size32());
  if (!whole.shown || size == 0) {
    FUZZ_CHECK(buf.all(kFill));
    return;
  }
  const size_t k = std::min(whole.text.size(), size - 1);
  FUZZ_CHECK(std::memcmp(buf.data(), whole.text.data(), k) == 0);
  FUZZ_CHECK(buf.data()[k] == 0);
  FUZZ_CHECK(buf.all_from(k + 1, kFill));
}

size_t bounded_size(uint8_t mode, uint16_t size, const Listing &whole) {
  const size_t t = whole.text.size(), pick = (mode >> 5) & 3U;
  return pick == 2 ? t : pick == 3 ? t + 1 : size % (t + 2);
}

// The wrappers print what the general call prints with their arguments.
void check_wrapper(const Block &image, const idprom_filter *filter, uint8_t pick) {
  const uint8_t *img = image.data();
  const uint32_t n = image.size32();
  const size_t big = large_size(image.size());
  const auto general = [&](const idprom_filter *f, uint32_t instance) {
    return list_into(big, [&](char *b, uint32_t s) { idprom_print_filter_fields_instance(img, n, f, instance, b, s); });
  };
  switch (pick % 5) {
    case 0:
      FUZZ_CHECK(list_into(big, [&](char *b, uint32_t s) { idprom_print_all_fields_to_buf(img, n, b, s); }) ==
                 general(nullptr, 0));
      break;
    case 1:
      FUZZ_CHECK(list_into(big, [&](char *b, uint32_t s) { idprom_print_filter_fields_to_buf(img, n, filter, b, s); }) ==
                 general(filter, 1));
      break;
    case 2:
      FUZZ_CHECK(list_into(big, [&](char *b, uint32_t s) { idprom_print_basic_fields_to_buf(img, n, b, s); }) ==
                 general(&idprom_basic_filter, 0));
      break;
    case 3: idprom_print_all_fields(img, n); break;
    default: idprom_print_filter_fields(img, n, filter); break;
  }
}

void check_renderer(const Block &image, uint32_t attribute, uint32_t size, uint32_t start) {
  const uint32_t length = std::min<uint32_t>(image.size32(), 200);
  Block big(large_size(length), kFill);
  uint32_t pos = 0;
  idprom_print_by_display_type(image.data(), attribute, length, big.chars(), &pos, big.size32());
  const std::string text = text_of(big.chars(), big.size());
  FUZZ_CHECK(pos < big.size() && (pos == 0 || text.size() == pos));

  Block buf(size, kFill);
  uint32_t at = start;
  idprom_print_by_display_type(image.data(), attribute, length, buf.chars(), &at, size);
  if (start >= size) {  // a position at or past size writes nothing
    FUZZ_CHECK(buf.all(kFill) && at == start);
    return;
  }
  if (pos == 0) {  // no text: at most a zero byte at the start position
    for (size_t i = 0; i < size; ++i)
      FUZZ_CHECK(buf.data()[i] == kFill || (i == start && buf.data()[i] == 0));
    FUZZ_CHECK(at == start);
    return;
  }
  const size_t k = std::min<size_t>(pos, size - 1 - start);
  FUZZ_CHECK(all_equal(buf.data(), start, kFill));
  FUZZ_CHECK(std::memcmp(buf.data() + start, text.data(), k) == 0);
  FUZZ_CHECK(buf.data()[start + k] == 0);
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
  const uint32_t instance = in.u16() & 0x1FFU;
  const uint32_t ntypes = in.u8() & 31U;
  const uint16_t size = in.u16();
  const uint8_t seed = in.u8();
  const uint8_t attr = in.u8();
  const uint8_t rsize = in.u8();
  const uint8_t rpos = in.u8();

  // The filter record in a block of its own size: a read past the type
  // list's 256 places shows.
  auto filter = std::make_unique<idprom_filter>();
  filter->include = (mode & 3U) == 1 ? 1 : 0;
  filter->callback = kCallbacks[(mode >> 2) & 3U];
  for (uint32_t i = 0; i < ntypes; ++i) filter->types[i] = in.u8();
  if ((mode & 0x10U) != 0)
    for (uint32_t i = 0; i < 256; ++i)
      filter->types[i] = static_cast<uint8_t>(filter->types[i] != 0 ? filter->types[i] : 1 + i % 255);
  const idprom_filter *const f = (mode & 3U) == 1 || (mode & 3U) == 2 ? filter.get() : nullptr;

  const Block image(in.rest(), in.rest_size());
  g_view = {image.data(), image.data() + image.size(), filter.get(), seed};
  const uint8_t *img = image.data();
  const uint32_t n = image.size32();
  auto print = [&](char *b, uint32_t s) {
    idprom_print_filter_fields_instance(img, n, f, instance, b, s);
  };

  const Listing whole = list_into(large_size(image.size()), print);
  check_bounded(whole, bounded_size(mode, size, whole), print);
  idprom_print_filter_fields_instance(img, n, f, instance, nullptr, 0);
  if ((mode & 0x80U) != 0) check_wrapper(image, f, seed);
  check_renderer(image, attr, rsize, rpos % 64U);
  return 0;
}
