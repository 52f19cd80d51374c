// What every front end does with one field of a loaded image: the text
// `get` prints, setting and deleting it, and what `check` finds wrong.
// `set`, `program --set`, `build` and the Python package all set a field
// through set_field, so that they refuse the same things in the same words.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/errors.hpp"
#include "io/fileio.hpp"
#include "idprom.hpp"
#include "model/macaddr.hpp"

namespace idprom::tool {

// A Failure that a library status caused; front ends that report library
// statuses (the Python package) keep it.
class EditFailure : public Failure {
 public:
  EditFailure(Status status, const std::string &message)
      : Failure(exit_for(status), message), status_(status) {}
  Status status() const noexcept { return status_; }

 private:
  Status status_;
};

// The text `get` prints for an entry, which `set` reads back to the same
// bytes (format_value of its type, attribute and value); a MAC address in
// `form`.
std::string field_text(const ImageView &view, const Entry &entry,
                       MacForm form = MacForm::kDotted);

// What an entry's value is as data, for front ends that hand values out as
// native values (Python: int, str, bytes).  A kText value is field_text,
// which set reads back to the same bytes; a kInteger one the big-endian
// number (of a fixed-size integer type); a kBytes one the stored bytes
// (field_text writes them in hex).
enum class DataKind : uint8_t { kInteger, kText, kBytes };
DataKind data_kind(const Entry &entry) noexcept;

// One field to set: which instance, whether an absent one may be added,
// and the display attribute to give a variable-length field (by default
// the one it has, or the type's standard one for a new field).
struct FieldEdit {
  uint32_t type = 0;
  uint32_t instance = 1;
  bool create = true;
  std::optional<uint32_t> attribute;
  bool hex = false;  // read the value text as hex bytes
};

// One TYPE=VALUE argument, its type resolved.
struct Assignment {
  uint32_t type = 0;
  std::string value;
};

// Splits "TYPE=VALUE" and resolves TYPE; throws Failure (usage).
Assignment split_assignment(std::string_view text);

// An instance beyond the last one plus one would be appended as the next
// one, not the one asked for: throws Failure (absent) naming the type,
// how many there are, and the instance option by `option`.
void refuse_instance_gap(const ImageView &view, uint32_t type, uint32_t instance,
                         const std::string &option);

// Reads a value text as `set` reads it for the field it will set.  Throws
// Failure (kExitValue), also for a display attribute given to a
// fixed-size type (check_attribute).
Bytes value_for(const ImageView &view, const FieldEdit &edit, std::string_view text);

// Stores `value` (the entry's bytes, integers big-endian) and returns the
// dirty region.  Throws EditFailure naming the type when the library
// refuses; the image is then unchanged.
Region set_field(ImageEditor &editor, const FieldEdit &edit, const Bytes &value);

// The whole of `set` on one field: refuses an instance gap (naming
// --instance), reads `text` for the field and stores it; returns the dirty
// region.  Throws Failure as the three steps do; the image is then unchanged.
Region assign(ImageEditor &editor, const FieldEdit &edit, std::string_view text);

// Why the library refused to store `length` value bytes for `edit`, in
// words; when for lack of room, how many bytes the edit needs and how many
// are free ("needs 12 bytes, 3 free").  `view` is the image before the edit;
// its last `spare` bytes lie past the image and may hold only an end marker
// (build appends into one such byte, so that a list may fill the image).
std::string refusal(const ImageView &view, const FieldEdit &edit, size_t length, Status status,
                    uint32_t spare = 0);

// Deletes a field; throws EditFailure ("no such field ...") when refused.
Region delete_field(ImageEditor &editor, uint32_t type, uint32_t instance);

// Edits need a list that decodes to its end: throws Failure (malformed)
// naming `name` and the first problem otherwise.
void refuse_malformed(const std::string &name, std::span<const uint8_t> bytes);

// Where and why a list stops decoding ("offset 0x0010: ...; 2 entries
// before it decode", or "empty file (0 bytes)"); nullopt when it decodes.
std::optional<std::string> malformed_text(std::span<const uint8_t> bytes, const Layout &layout);

// Every problem `check` finds, first the one that ends the list; empty for
// a sound image.
std::vector<std::string> image_problems(std::span<const uint8_t> bytes);

// The byte the first of those problems is at, where it has one.
std::optional<uint32_t> problem_offset(std::span<const uint8_t> bytes);

}  // namespace idprom::tool
