// idprom.hpp -- a small header-only C++20 layer over the C interface of
// idprom.h.  Nothing here reaches past the exported functions and the
// header's inline helpers; it only turns pointer/length pairs into spans,
// out-parameters into return values and text buffers into std::string.
//
//   idprom::ImageView view(bytes);               // borrowed, read-only range
//   for (const idprom::Entry &e : view) ...      // offset, type, length,
//                                                // attribute, value span
//   view.get_int(IDPROM_TYPE_MAC_BLOCK_SIZE);    // std::optional<uint32_t>
//   view.problem();                              // where and why decoding stops
//   idprom::ImageEditor ed(mutable_bytes);       // non-owning, edits in place
//   idprom::EditResult r = ed.set(IDPROM_TYPE_PID, bytes);  // status + dirty region
//   view.listing();                              // std::string
//
// Like the C library, the views allocate nothing for themselves and keep no
// pointer beyond the caller's bytes; the functions returning std::string or
// std::vector allocate those results (and may throw std::bad_alloc).
#ifndef IDPROM_HPP
#define IDPROM_HPP

#if !defined(__cplusplus) || \
    (__cplusplus < 202002L && !(defined(_MSVC_LANG) && _MSVC_LANG >= 202002L))
#error "idprom.hpp needs C++20 (std::span, ranges); from C or older C++ include idprom.h"
#endif

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <vector>

#include "idprom.h"

// An ImageView holds a span of the caller's bytes, so its iterators stay
// valid after the view is gone; its size() counts bytes, not entries.
namespace idprom {
class ImageView;
}
template <>
inline constexpr bool std::ranges::enable_borrowed_range<idprom::ImageView> = true;
template <>
inline constexpr bool std::ranges::disable_sized_range<idprom::ImageView> = true;

namespace idprom {

using Status = idprom_status;

// ---- the format's constants and helpers (idprom.h) ---------------------

inline constexpr uint8_t kEndMarker = IDPROM_END_MARKER;
inline constexpr uint32_t kClassMask = IDPROM_CLASS_MASK;
inline constexpr uint32_t kVariableClass = IDPROM_CLASS_VARIABLE;
inline constexpr uint32_t kAttrDecimal = IDPROM_ATTR_DECIMAL;
inline constexpr uint32_t kAttrText = IDPROM_ATTR_TEXT;
inline constexpr uint32_t kAttrHex = IDPROM_ATTR_HEX;

inline constexpr auto &fixed_width = idprom_fixed_width;  // 1, 2, 4; 0 for the variable class
inline constexpr auto &is_variable = idprom_is_variable;
inline constexpr auto &has_encoding = idprom_has_encoding;
inline constexpr auto &header_size = idprom_header_size;
inline constexpr auto &length_word = idprom_length_word;  // (type, attribute, length)
inline constexpr auto &is_byte_string_code = idprom_is_byte_string;
inline constexpr auto &lookup_is_integer = idprom_lookup_is_integer;
inline constexpr auto &append_is_integer = idprom_append_is_integer;

// The longest value a type holds: its width, 63, or 16383 from 0xF0 on.
constexpr uint32_t max_length(uint32_t type) noexcept {
  return is_variable(type) ? idprom_length_of_word(type, ~0U) : fixed_width(type);
}

// The display attribute of a type's standard length word (0 for the fixed
// classes and for variable types without a standard length).
inline uint32_t standard_attribute(uint32_t type) noexcept {
  return is_variable(type) ? idprom_attribute_of_word(type, idprom_type_to_len(type)) : 0;
}

// The constant's name, e.g. "IDPROM_ERR_NO_ROOM"; "unknown status" otherwise.
inline const char *status_name(Status s) noexcept { return idprom_status_name(s); }

// ---- reading --------------------------------------------------------------

// One decoded entry.  offset is where its first header byte lies in the
// image; value points into the caller's bytes.
struct Entry {
  uint32_t offset = 0;
  uint32_t header_size = 0;
  uint32_t type = 0;
  uint32_t length = 0;
  uint32_t attribute = 0;
  std::span<const uint8_t> value;

  // One past the entry's last value byte: where the next entry starts.
  uint32_t end() const noexcept { return offset + header_size + length; }
};

// What a walk from the first byte finds.  A list ends at the end marker, at
// the image's end, or before the first entry that does not decode.
struct Layout {
  uint32_t entries = 0;                  // well-formed entries before the end
  uint32_t used = 0;                     // bytes they occupy, from offset 0
  std::optional<uint32_t> end_marker;    // offset of the closing 0xFF
  std::optional<uint32_t> malformed_at;  // offset of an entry that does not decode
};

// Why no entry decodes at an offset: the facts, for a front end to word.
struct Problem {
  enum class Kind : uint8_t {
    kExtensionToEnd,  // extension bytes (0x00) run to the image's end
    kLengthFieldCut,  // the length field is cut off by the image's end
    kZeroLength,      // a variable-class length of 0
    kValueCut,        // the value runs past the image's end
  };
  uint32_t offset = 0;  // the entry's first header byte
  uint32_t type = 0;    // the type code (256 per extension byte seen, for kExtensionToEnd)
  Kind kind = Kind::kValueCut;
  uint32_t length = 0;  // kValueCut: the value length the header gives
  uint32_t left = 0;    // kValueCut: the image's bytes after the header

  // What is wrong, in words, e.g. "its 18-byte value runs past the image's
  // end (3 left)"; the type is for the caller to name.
  std::string reason() const {
    switch (kind) {
      case Kind::kExtensionToEnd:
        return "extension bytes (0x00) run to the image's end";
      case Kind::kLengthFieldCut:
        return "its length field is cut off by the image's end";
      case Kind::kZeroLength:
        return "length 0 (a variable-length field holds at least one byte)";
      case Kind::kValueCut:
        break;
    }
    return "its " + std::to_string(length) + "-byte value runs past the image's end (" +
           std::to_string(left) + " left)";
  }
};

// A borrowed, read-only view of an image: a std::ranges::view of its
// entries (an input range; size() counts bytes, not entries).
class ImageView : public std::ranges::view_base {
 public:
  // Walks the entries in image order; stops at the end marker, the image's
  // end or an entry that does not decode (Layout says which).
  class iterator {
   public:
    using value_type = Entry;
    using difference_type = std::ptrdiff_t;
    using reference = const Entry &;
    using pointer = const Entry *;
    using iterator_category = std::input_iterator_tag;

    iterator() = default;
    iterator(std::span<const uint8_t> bytes, uint32_t at) noexcept : bytes_(bytes) { load(at); }

    reference operator*() const noexcept { return entry_; }
    pointer operator->() const noexcept { return &entry_; }
    iterator &operator++() noexcept {
      load(entry_.end());
      return *this;
    }
    void operator++(int) noexcept { ++*this; }
    bool operator==(std::default_sentinel_t) const noexcept { return done_; }

   private:
    void load(uint32_t at) noexcept {
      done_ = true;
      if (at >= bytes_.size() || bytes_[at] == kEndMarker) return;
      const uint8_t *pos = bytes_.data() + at;
      const uint8_t *end = bytes_.data() + bytes_.size();
      uint32_t type = 0, length = 0, attribute = 0;
      const uint8_t *value = idprom_get_entry(pos, end, &type, &length, &attribute);
      if (value == nullptr) return;
      const auto header = static_cast<uint32_t>(value - pos);
      entry_ = Entry{at, header, type, length, attribute, std::span<const uint8_t>(value, length)};
      done_ = false;
    }

    std::span<const uint8_t> bytes_;
    Entry entry_;
    bool done_ = true;
  };

  ImageView() = default;
  explicit ImageView(std::span<const uint8_t> bytes) noexcept : bytes_(bytes) {}

  std::span<const uint8_t> bytes() const noexcept { return bytes_; }
  uint32_t size() const noexcept { return static_cast<uint32_t>(bytes_.size()); }

  iterator begin() const noexcept { return iterator(bytes_, 0); }
  std::default_sentinel_t end() const noexcept { return {}; }

  Layout layout() const noexcept {
    Layout out;
    for (const Entry &e : *this) {
      ++out.entries;
      out.used = e.end();
    }
    if (out.used < size()) {
      if (bytes_[out.used] == kEndMarker) {
        out.end_marker = out.used;
      } else {
        out.malformed_at = out.used;
      }
    }
    return out;
  }

  // Why the entry at offset does not decode; nullopt when it does, or when
  // offset holds the end marker or lies past the image.
  std::optional<Problem> diagnose(uint32_t offset) const noexcept {
    uint32_t type = 0, length = 0;
    if (offset >= size() || bytes_[offset] == kEndMarker ||
        idprom_get_entry(bytes_.data() + offset, bytes_.data() + size(), &type, &length,
                         nullptr) != nullptr) {
      return std::nullopt;
    }
    uint32_t at = offset;  // the type byte, after the extension bytes
    while (at < size() && bytes_[at] == IDPROM_EXTENSION_BYTE) ++at;
    Problem p{offset, (at - offset) * 256, Problem::Kind::kExtensionToEnd};
    if (at == size()) return p;
    p.type += bytes_[at];
    const uint32_t field = idprom_length_field_size(p.type);
    const uint32_t left = size() - at - 1;
    p.kind = left < field ? Problem::Kind::kLengthFieldCut : Problem::Kind::kValueCut;
    if (left < field) return p;
    uint32_t word = 0;
    for (uint32_t i = 1; i <= field; ++i) word = word << 8 | bytes_[at + i];
    p.length = field == 0 ? fixed_width(p.type) : idprom_length_of_word(p.type, word);
    p.left = left - field;
    if (p.length == 0) p.kind = Problem::Kind::kZeroLength;
    return p;
  }

  // Where and why the list stops decoding before its end, if it does.
  std::optional<Problem> problem() const noexcept {
    const Layout l = layout();
    return l.malformed_at ? diagnose(*l.malformed_at) : std::nullopt;
  }

  // The instance-th entry (from 1) of a type code, decoded as stored.
  std::optional<Entry> find(uint32_t type, uint32_t instance = 1) const noexcept {
    uint32_t seen = 0;
    for (const Entry &e : *this) {
      if (e.type == type && ++seen == instance) return e;
    }
    return std::nullopt;
  }

  // The value as idprom_get_field_data_instance() gives it: integer-valued
  // fixed-size types as host-order integers of the class width, every other
  // value as stored.
  std::optional<std::vector<uint8_t>> get(uint32_t type, uint32_t instance = 1) const {
    const auto e = find(type, instance);
    if (!e) return std::nullopt;
    std::vector<uint8_t> out(e->length);
    if (idprom_get_field_data_instance(bytes_.data(), size(), type, out.data(), e->length, true,
                                       instance) != IDPROM_OK) {
      return std::nullopt;
    }
    return out;
  }

  // The host-order integer of an integer-valued fixed-size type.
  std::optional<uint32_t> get_int(uint32_t type, uint32_t instance = 1) const noexcept {
    if (!lookup_is_integer(type)) return std::nullopt;
    const uint32_t width = fixed_width(type);
    uint8_t u8 = 0;
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    void *out = width == 1   ? static_cast<void *>(&u8)
                : width == 2 ? static_cast<void *>(&u16)
                             : static_cast<void *>(&u32);
    if (idprom_get_field_data_instance(bytes_.data(), size(), type, out, width, true, instance) !=
        IDPROM_OK) {
      return std::nullopt;
    }
    return width == 1 ? u8 : width == 2 ? u16 : u32;
  }

  // The field listing of idprom_print_filter_fields_instance() (instance 0:
  // every entry; filter may be null).  The listing covers the entries before
  // a malformed one and leaves the library's format-error line out (it would
  // go to standard output); layout() says where the problem is.
  std::string listing(uint32_t instance = 0, const idprom_filter *filter = nullptr) const {
    const uint32_t extent = decodable_extent();
    return grow_into(
        [&](char *buf, uint32_t cap) {
          idprom_print_filter_fields_instance(bytes_.data(), extent, filter, instance, buf, cap);
        },
        256 + 16 * static_cast<size_t>(extent));
  }

  // The basic identification fields (idprom_basic_filter).
  std::string basic_listing() const { return listing(0, &idprom_basic_filter); }

  // The listing text of one entry of this image when listed by itself: a
  // newline, the label and the value, as the printer writes it ("" for the
  // types the listing never shows).  An instance number in the label (the
  // Deviation Number) is then 1.
  std::string entry_text(const Entry &e) const {
    std::vector<uint8_t> alone(bytes_.begin() + e.offset, bytes_.begin() + e.end());
    alone.push_back(kEndMarker);
    return ImageView(alone).listing();
  }

  // The text idprom_dump() prints: the used part up to the end marker,
  // rounded up to a 16-byte row, with the same row heads; it starts with a
  // newline and has no final newline.
  std::string dump() const {
    const uint32_t extent = layout().end_marker.value_or(size());
    uint32_t n = static_cast<uint32_t>((uint64_t{extent} + 15) & 0xFFF0U);
    if (n > size()) n = size();
    std::string out;
    char piece[24];
    for (uint32_t i = 0; i < n; ++i) {
      if (i % 16 == 0) out.append(piece, format(piece, "\n\t  0x%02x:", i));
      out.append(piece, format(piece, " %02x", bytes_[i]));
    }
    return out;
  }

  // The text idprom_enhanced_dump() prints for the whole image: rows of 16
  // upper-case hex bytes and a text column, each ending with a newline.
  std::string enhanced_dump() const {
    const size_t rows = (size_t{size()} + 15) / 16;
    std::string text = grow_into(
        [&](char *buf, uint32_t cap) {
          idprom_enhanced_dump_to_buf(bytes_.data(), size(), buf, cap);
        },
        2 + rows * 77);
    if (!text.empty() && text.front() == '\n') text.erase(0, 1);
    return text;
  }

 private:
  // Bytes the printer may see: everything when the list decodes, otherwise
  // up to the first malformed entry.
  uint32_t decodable_extent() const noexcept {
    const Layout l = layout();
    return l.malformed_at ? *l.malformed_at : size();
  }

  static size_t format(char (&piece)[24], const char *fmt, uint32_t v) noexcept {
    const int n = std::snprintf(piece, sizeof piece, fmt, v);
    return n < 0 ? 0 : static_cast<size_t>(n);
  }

  // Runs a writer into a zeroed buffer, doubling it until the text and its
  // zero byte fit with room to spare (the sink cuts silently when full).
  template <typename Writer>
  static std::string grow_into(Writer write, size_t capacity) {
    for (;;) {
      std::string buf(capacity, '\0');
      write(buf.data(), static_cast<uint32_t>(capacity));
      const size_t n = std::strlen(buf.c_str());
      if (n + 1 < capacity || capacity >= (size_t{1} << 30)) {
        buf.resize(n);
        return buf;
      }
      capacity *= 2;
    }
  }

  std::span<const uint8_t> bytes_;
};

// ---- editing --------------------------------------------------------------

// Outcome of an edit: the status and, on success, the bytes to write back.
struct EditResult {
  Status status = IDPROM_OK;
  uint16_t offset = 0;
  uint16_t length = 0;

  bool ok() const noexcept { return status == IDPROM_OK; }
};

// A non-owning, mutable view: every edit changes the caller's bytes in place
// through the library, and a failed edit leaves them as they were.
class ImageEditor {
 public:
  explicit ImageEditor(std::span<uint8_t> bytes) noexcept : bytes_(bytes) {}

  ImageView view() const noexcept { return ImageView(bytes_); }

  // idprom_update_field_data_instance(); data may lie in the image (another
  // field's value, say), as the library reads it as it stood before the edit.
  EditResult update(uint32_t type, uint32_t word, const void *data, uint32_t instance = 1,
                    bool create = true) noexcept {
    EditResult r;
    r.status = idprom_update_field_data_instance(bytes_.data(), size(), create, type, word, data,
                                                 &r.offset, &r.length, instance);
    return r;
  }

  // Writes the value bytes exactly as they are to be stored (integers
  // big-endian); they may lie in the image.  The length word comes from the
  // value's size and the attribute, by default the type's standard one;
  // integer-valued types are converted to the host-order form the library
  // expects, which depends on whether the entry is overwritten or appended.  A fixed-class value of
  // another width gives IDPROM_ERR_LENGTH_MISMATCH; a variable-class value of
  // 0 bytes or longer than its length field holds, IDPROM_ERR_INVALID_LENGTH.
  EditResult set(uint32_t type, std::span<const uint8_t> stored, uint32_t instance = 1,
                 bool create = true, std::optional<uint32_t> attribute = std::nullopt) noexcept {
    const auto n = static_cast<uint32_t>(stored.size());
    if (!is_variable(type)) {
      if (stored.size() != fixed_width(type)) return EditResult{IDPROM_ERR_LENGTH_MISMATCH};
      const bool exists = view().find(type, instance).has_value();
      const bool integer = exists ? lookup_is_integer(type) : append_is_integer(type);
      if (!integer) return update(type, n, stored.data(), instance, create);
      uint32_t v = 0;
      for (uint8_t b : stored) v = (v << 8) | b;
      const auto u8 = static_cast<uint8_t>(v);
      const auto u16 = static_cast<uint16_t>(v);
      const void *data = n == 1   ? static_cast<const void *>(&u8)
                         : n == 2 ? static_cast<const void *>(&u16)
                                  : static_cast<const void *>(&v);
      return update(type, n, data, instance, create);
    }
    if (n == 0 || n > max_length(type)) return EditResult{IDPROM_ERR_INVALID_LENGTH};
    const uint32_t attr = attribute.value_or(standard_attribute(type));
    return update(type, length_word(type, attr, n), stored.data(), instance, create);
  }

  // Writes an integer-valued fixed-size type from a host-order number.
  EditResult set_int(uint32_t type, uint32_t value, uint32_t instance = 1,
                     bool create = true) noexcept {
    const uint32_t width = fixed_width(type);
    uint8_t be[4] = {};
    for (uint32_t i = 0; i < width; ++i)
      be[i] = static_cast<uint8_t>(value >> (8 * (width - 1 - i)));
    return set(type, std::span<const uint8_t>(be, is_variable(type) ? 0 : width), instance, create);
  }

  // idprom_delete_field_instance().
  EditResult remove(uint32_t type, uint32_t instance = 1) noexcept {
    EditResult r;
    r.status =
        idprom_delete_field_instance(bytes_.data(), size(), type, &r.offset, &r.length, instance);
    return r;
  }

 private:
  uint32_t size() const noexcept { return static_cast<uint32_t>(bytes_.size()); }

  std::span<uint8_t> bytes_;
};

}  // namespace idprom

#endif  // IDPROM_HPP
