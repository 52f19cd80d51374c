// The field printer: walks an image, counts instances per first header
// byte, applies the instance selection, the caller's filter and the ECI
// suppression, and hands each surviving entry to the catalogue.
#include <cstddef>

#include "codec/codec.hpp"
#include "print/catalogue.hpp"
#include "print/sink.hpp"

namespace idprom::print {
namespace {

// The two forms of the ECI number; a listing shows only one of them.
constexpr uint32_t kEciText = 0xEB;
constexpr uint32_t kEciNumber = 0x8E;

// A filter record is ABI: programs may copy idprom_basic_filter, so its
// layout may never change.  Its size follows from the fields and the
// target's pointer size and alignment: 272 bytes on LP64, 264 on 32-bit
// targets (the flag, padding to the pointer, the pointer, 256 codes).
constexpr size_t align_up(size_t n, size_t a) { return (n + a - 1) / a * a; }
static_assert(offsetof(idprom_filter, callback) == align_up(1, alignof(idprom_filter_fn)));
static_assert(offsetof(idprom_filter, types) ==
              offsetof(idprom_filter, callback) + sizeof(idprom_filter_fn));
static_assert(sizeof(idprom_filter) ==
                  align_up(offsetof(idprom_filter, types) + 256, alignof(idprom_filter)),
              "idprom_filter layout is part of the ABI");
static_assert(sizeof(idprom_filter::types) == 256, "filter type list holds 256 bytes");

// The ECI form that stays hidden: the numeric one when the image holds a
// text form with something in it (first value byte not zero), otherwise
// the text one.  The first malformed entry ends the search silently; the
// main walk reports it.
uint32_t suppressed_type(const uint8_t *pos, const uint8_t *end) noexcept {
  codec::Entry e;
  while (pos < end && *pos != codec::kEndMarker && codec::decode(pos, end, &e)) {
    if (e.type == kEciText && e.value[0] != 0) return kEciNumber;
    pos = e.next();
  }
  return kEciText;
}

// True when the type code stands in the filter's list: the codes up to the
// first 0, or all 256 when no 0 ends them.  Codes above 255 never do.
bool listed(const idprom_filter &filter, uint32_t type) noexcept {
  if (type > 0xFF) return false;
  for (const uint8_t t : filter.types) {
    if (t == 0) return false;
    if (t == type) return true;
  }
  return false;
}

bool passes(const idprom_filter *filter, const codec::Entry &e, const uint8_t *counters) noexcept {
  if (filter == nullptr) return true;
  if (!listed(*filter, e.type)) return filter->include == 0;
  if (filter->callback != nullptr) {
    return filter->callback(e.value, e.type, e.attribute, e.length, counters);
  }
  return filter->include != 0;
}

}  // namespace
}  // namespace idprom::print

using namespace idprom;

extern "C" IDPROM_API void idprom_print_filter_fields_instance(const uint8_t *image,
                                                               uint32_t image_length,
                                                               const idprom_filter *filter,
                                                               uint32_t instance, char *buf,
                                                               uint32_t size) noexcept {
  if (image == nullptr || image_length == 0 || image[0] == codec::kEndMarker) return;
  const uint8_t *const end = image + image_length;
  const uint32_t hidden = print::suppressed_type(image, end);
  uint8_t counters[256] = {};  // per first header byte; 8 bits, wrapping
  uint32_t pos = 0;            // the listing starts at buf[0]

  for (const uint8_t *p = image; p < end && *p != codec::kEndMarker;) {
    codec::Entry e;
    if (!codec::decode(p, end, &e)) {
      // Straight to standard output, never into the caller's buffer.
      print::stdout_format_error(static_cast<uint32_t>(p - image));
      return;
    }
    p = e.next();
    const uint8_t count = ++counters[*e.start];
    if (instance != 0 && static_cast<uint32_t>(count) != instance) continue;
    if (!print::passes(filter, e, counters)) continue;
    if (e.type == hidden) continue;
    print::idprom_print_entry(e.value, e.type, e.length, e.attribute, buf, &pos, size, counters);
  }
}

extern "C" IDPROM_API void idprom_print_filter_fields(const uint8_t *image, uint32_t image_length,
                                                      const idprom_filter *filter) noexcept {
  idprom_print_filter_fields_instance(image, image_length, filter, 1, nullptr, 0);
}

extern "C" IDPROM_API void idprom_print_filter_fields_to_buf(const uint8_t *image,
                                                             uint32_t image_length,
                                                             const idprom_filter *filter,
                                                             char *buf, uint32_t size) noexcept {
  idprom_print_filter_fields_instance(image, image_length, filter, 1, buf, size);
}

extern "C" IDPROM_API void idprom_print_all_fields(const uint8_t *image,
                                                   uint32_t image_length) noexcept {
  idprom_print_filter_fields_instance(image, image_length, nullptr, 0, nullptr, 0);
}

extern "C" IDPROM_API void idprom_print_all_fields_to_buf(const uint8_t *image,
                                                          uint32_t image_length, char *buf,
                                                          uint32_t size) noexcept {
  idprom_print_filter_fields_instance(image, image_length, nullptr, 0, buf, size);
}

extern "C" IDPROM_API void idprom_print_basic_fields_to_buf(const uint8_t *image,
                                                            uint32_t image_length, char *buf,
                                                            uint32_t size) noexcept {
  idprom_print_filter_fields_instance(image, image_length, &idprom_basic_filter, 0, buf, size);
}
