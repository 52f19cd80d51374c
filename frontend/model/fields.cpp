// One field at a time: the text of get, the edits of set and delete, and
// the diagnosis of check.
#include "model/fields.hpp"

#include "base/errors.hpp"
#include "model/image.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

uint32_t attribute_for(const ImageView &view, const FieldEdit &edit) {
  const auto existing = view.find(edit.type, edit.instance);
  return edit.attribute.value_or(existing ? existing->attribute : standard_attribute(edit.type));
}

// Changes the stored attribute of a field whose length stays the same:
// the library keeps the length field on such an overwrite, so the field
// is resized by one byte and back, both carrying the new attribute.
Region reattribute(ImageEditor &editor, const FieldEdit &edit, const Bytes &value) {
  Bytes other = value;
  if (value.size() >= 2) {
    other.pop_back();
  } else {
    other.push_back(0);
  }
  Region dirty;
  for (const Bytes *step : {static_cast<const Bytes *>(&other), &value}) {
    const EditResult r = editor.set(edit.type, *step, edit.instance, false, edit.attribute);
    if (!r.ok()) {
      throw EditFailure(r.status, "changing the attribute: " +
                                      refusal(editor.view(), edit, step->size(), r.status));
    }
    dirty = dirty.joined(Region{r.offset, r.length});
  }
  return dirty;
}

// The first byte after the end marker that is not 0xff filler.
std::optional<uint32_t> stray_filler(std::span<const uint8_t> bytes, const Layout &layout) {
  if (!layout.end_marker) return std::nullopt;
  for (uint32_t i = *layout.end_marker + 1; i < bytes.size(); ++i) {
    if (bytes[i] != 0xFF) return i;
  }
  return std::nullopt;
}

}  // namespace

Assignment split_assignment(std::string_view text) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos || eq == 0)
    throw Failure(kExitUsage, "'" + std::string(text) + "': expected TYPE=VALUE");
  return Assignment{resolve_type(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

std::string field_text(const ImageView &, const Entry &entry, MacForm form) {
  return format_value(ValueContext{entry.type, entry.attribute, entry.length, false}, entry.value,
                      form);
}

DataKind data_kind(const Entry &entry) noexcept {
  switch (form_of(entry.type)) {
    case Form::kDecimal:
    case Form::kHexInt:
      return lookup_is_integer(entry.type) ? DataKind::kInteger : DataKind::kText;
    case Form::kHexBytes:
      return DataKind::kBytes;
    case Form::kByAttribute:  // hex for the attributes 0x00 and 0xc0
      return entry.attribute == kAttrText || entry.attribute == kAttrDecimal ? DataKind::kText
                                                                              : DataKind::kBytes;
    default:
      return DataKind::kText;
  }
}

void refuse_instance_gap(const ImageView &view, uint32_t type, uint32_t instance,
                         const std::string &option) {
  uint32_t count = 0;
  for (const Entry &e : view) count += e.type == type ? 1 : 0;
  if (instance <= count + 1) return;
  throw Failure(kExitAbsent, describe_type(type) + ": " + option + " " +
                                 std::to_string(instance) + ": the image has " +
                                 count_of(count, "instance", "instances") +
                                 "; " + option + " " + std::to_string(count + 1) + " adds one");
}

Bytes value_for(const ImageView &view, const FieldEdit &edit, std::string_view text) {
  const auto existing = view.find(edit.type, edit.instance);
  const bool variable = is_variable(edit.type);
  check_attribute(edit.type, edit.attribute);
  const ValueContext ctx{edit.type, variable ? attribute_for(view, edit) : 0,
                         existing ? std::optional<uint32_t>(existing->length) : std::nullopt,
                         edit.hex};
  return parse_value(text, ctx);
}

Region set_field(ImageEditor &editor, const FieldEdit &edit, const Bytes &value) {
  const auto existing = editor.view().find(edit.type, edit.instance);
  const bool variable = is_variable(edit.type);
  const uint32_t attribute = attribute_for(editor.view(), edit);
  const EditResult r = editor.set(edit.type, value, edit.instance, edit.create,
                                  variable ? std::optional<uint32_t>(attribute) : std::nullopt);
  if (!r.ok()) {
    throw EditFailure(r.status, describe_type(edit.type) + ": " +
                                    refusal(editor.view(), edit, value.size(), r.status));
  }
  Region dirty{r.offset, r.length};
  if (variable && edit.attribute && existing && existing->length == value.size() &&
      existing->attribute != *edit.attribute) {
    dirty = dirty.joined(reattribute(editor, edit, value));
  }
  return dirty;
}

Region assign(ImageEditor &editor, const FieldEdit &edit, std::string_view text) {
  refuse_instance_gap(editor.view(), edit.type, edit.instance, "--instance");
  return set_field(editor, edit, value_for(editor.view(), edit, text));
}

// A new entry needs its header, its value and an end marker after it; a
// field that grows needs the bytes it grows by.  Either may use every byte
// from the end marker on.
std::string refusal(const ImageView &view, const FieldEdit &edit, size_t length, Status status,
                    uint32_t spare) {
  const uint32_t free = view.size() - spare - view.layout().used;
  const auto room = [&](size_t needs) {
    return explain(status) + ": needs " + count_of(needs, "byte", "bytes") + ", " +
           std::to_string(free) + " free";
  };
  const auto existing = view.find(edit.type, edit.instance);
  if (status == IDPROM_ERR_NO_ROOM) return room(header_size(edit.type) + length + 1 - spare);
  if (status == IDPROM_ERR_NO_ROOM_TO_GROW && existing && length > existing->length)
    return room(length - existing->length);
  return explain(status);
}

Region delete_field(ImageEditor &editor, uint32_t type, uint32_t instance) {
  const EditResult r = editor.remove(type, instance);
  if (!r.ok()) {
    const std::string what =
        r.status == IDPROM_ERR_NOT_FOUND
            ? "no such field" +
                  (instance == 1 ? std::string() : " instance " + std::to_string(instance))
            : explain(r.status);
    throw EditFailure(r.status, describe_type(type) + ": " + what);
  }
  return Region{r.offset, r.length};
}

void refuse_malformed(const std::string &name, std::span<const uint8_t> bytes) {
  if (bytes.empty()) throw Failure(kExitMalformed, name + ": empty file; refusing to edit it");
  const Layout layout = ImageView(bytes).layout();
  if (layout.malformed_at) {
    throw Failure(kExitMalformed, name + ": offset " + hex(*layout.malformed_at, 4) + ": " +
                                      problem_at(bytes, *layout.malformed_at) +
                                      "; refusing to edit");
  }
}

std::optional<std::string> malformed_text(std::span<const uint8_t> bytes, const Layout &layout) {
  if (bytes.empty()) return "empty file (0 bytes)";
  if (!layout.malformed_at) return std::nullopt;
  const uint32_t at = *layout.malformed_at;
  const uint32_t n = layout.entries;
  const std::string before =
      n == 1 ? "1 entry before it decodes" : std::to_string(n) + " entries before it decode";
  return "offset " + hex(at, 4) + ": " + problem_at(bytes, at) + "; " + before;
}

std::vector<std::string> image_problems(std::span<const uint8_t> bytes) {
  const Layout layout = ImageView(bytes).layout();
  if (auto problem = malformed_text(bytes, layout)) return {*problem};
  if (const auto stray = stray_filler(bytes, layout)) {
    return {"offset " + hex(*stray, 4) + ": byte " + hex(bytes[*stray]) +
            " after the end marker at " + hex(*layout.end_marker, 4) +
            " (the rest of the image should be 0xff)"};
  }
  return {};
}

std::optional<uint32_t> problem_offset(std::span<const uint8_t> bytes) {
  const Layout layout = ImageView(bytes).layout();
  if (layout.malformed_at) return layout.malformed_at;
  return stray_filler(bytes, layout);
}

}  // namespace idprom::tool
