// show --json and build: an image as JSON and back, byte for byte.
#include "model/describe.hpp"

#include <algorithm>
#include <map>

#include "base/errors.hpp"
#include "model/fields.hpp"
#include "model/image.hpp"
#include "model/macaddr.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

using ordered = nlohmann::ordered_json;
using json = nlohmann::json;

// CRC-16 of value bytes, started from 0xffff so that leading zero bytes
// count, as four hex digits.
std::string hex_crc(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) crc_16(b, &crc);
  return hex(crc, 4).substr(2);
}

}  // namespace

ordered describe_entry(const ImageView &view, const Entry &e, MacForm form) {
  ordered out;
  out["offset"] = e.offset;
  out["type"] = e.type;
  out["type_hex"] = hex(e.type);
  out["name"] = type_name(e.type);
  out["label"] = type_label(e.type);
  out["class"] = class_name(e.type);
  out["length"] = e.length;
  out["attribute"] = e.attribute;
  out["text"] = field_text(view, e, form);
  out["hex"] = hex_string(e.value);
  out["hex_crc"] = hex_crc(e.value);
  return out;
}

namespace {

// Bytes after the end marker, when they are not all 0xff filler.
std::optional<Bytes> tail_of(const ImageView &view, const Layout &layout) {
  if (!layout.end_marker) return std::nullopt;
  const auto bytes = view.bytes().subspan(*layout.end_marker + 1);
  const auto last = std::find_if(bytes.rbegin(), bytes.rend(), [](uint8_t b) { return b != 0xFF; });
  if (last == bytes.rend()) return std::nullopt;
  return Bytes(bytes.begin(), last.base());
}

[[noreturn]] void bad(const std::string &where, const std::string &what, int code = kExitUsage) {
  throw Failure(code, where + ": " + what);
}

uint32_t attribute_of(const json &value, const std::string &where) {
  if (value.is_number_unsigned()) {
    const auto a = value.get<uint64_t>();
    if (a == 0 || a == 0x40 || a == 0x80 || a == 0xC0) return static_cast<uint32_t>(a);
  } else if (value.is_string()) {
    const auto s = value.get<std::string>();
    if (s == "hex") return kAttrHex;
    if (s == "decimal") return kAttrDecimal;
    if (s == "text") return kAttrText;
  }
  bad(where, "\"attribute\" must be 0, 64, 128, 192, \"hex\", \"decimal\" or \"text\"");
}

uint32_t type_of(const json &value, const std::string &where) {
  if (value.is_number_unsigned()) {
    const auto code = value.get<uint64_t>();
    return resolve_type(std::to_string(code));
  }
  if (value.is_string()) return resolve_type(value.get<std::string>());
  bad(where, "\"type\" must be a number or a type name");
}

// A member that holds text.  Hex digits and values such as 1234 look like
// JSON numbers, so a number gets the quoted form to give instead.
std::string text_of(const json &v, const std::string &where, const std::string &member) {
  if (v.is_number())
    bad(where,
        member + " is the number " + v.dump() + "; give it as a string: \"" + v.dump() + "\"");
  if (!v.is_string()) bad(where, member + " must be a string");
  return v.get<std::string>();
}

struct BuiltEntry {
  uint32_t type;
  std::optional<uint32_t> attribute;
  Bytes value;
};

// The members that give an entry's value.
struct Given {
  std::optional<std::string> hex, text, hex_crc;
  std::optional<uint32_t> length;
  const char *text_name = "text";  // or "value", its older name
};

// The value from "hex" and "text", member by member, as describe.hpp
// explains.  Throws Failure naming the type, not the entry.
Bytes value_of(const Given &given, ValueContext ctx) {
  ctx.current_length = given.length;
  if (!given.hex) return parse_value(*given.text, ctx);
  const Bytes from_hex = parse_value(*given.hex, ValueContext{ctx.type, ctx.attribute, {}, true});
  if (!given.text) return from_hex;
  const auto text_padded_to = [&](size_t length) {
    ctx.current_length = static_cast<uint32_t>(length);
    return parse_value(*given.text, ctx);
  };
  const auto &crc = given.hex_crc;
  if (crc && hex_crc(from_hex) == *crc) return text_padded_to(from_hex.size());  // hex unedited
  std::optional<Bytes> from_text;  // padded as described, to tell whether it was edited
  try {
    if (text_padded_to(from_hex.size()) == from_hex) return from_hex;  // they agree
    from_text = text_padded_to(given.length.value_or(from_hex.size()));
  } catch (const Failure &) {
    if (!crc) throw;
  }
  if (crc && from_text && hex_crc(*from_text) == *crc) return from_hex;  // text unedited
  if (crc && !from_text) text_padded_to(from_hex.size());  // throws the edited text's error
  throw Failure(kExitValue, describe_type(ctx.type) + ": \"hex\" and \"" + given.text_name +
                                "\" disagree" +
                                (crc ? " and both were edited"
                                     : " (no \"hex_crc\" tells which one was edited)"));
}

Given given_of(const json &item, const std::string &where) {
  Given given;
  if (item.contains("text") && item.contains("value"))
    bad(where, "give \"text\" or \"value\", not both");
  if (item.contains("value")) given.text_name = "value";
  const auto member = [&](const char *name) {
    return item.contains(name) ? std::optional(text_of(item[name], where, "\"" + std::string(name) + "\""))
                               : std::nullopt;
  };
  given.hex = member("hex");
  given.text = member(given.text_name);
  given.hex_crc = member("hex_crc");
  if (!given.hex && !given.text) bad(where, "give \"hex\", \"text\" or both");
  if (item.contains("length") && item["length"].is_number_unsigned())
    given.length = static_cast<uint32_t>(std::min<uint64_t>(item["length"].get<uint64_t>(), kMaxImage));
  return given;
}

BuiltEntry read_entry(const json &item, const std::string &where) {
  static const char *const kKnown[] = {"offset", "type",   "type_hex",  "name", "label",   "class",
                                       "length", "attribute", "text",   "hex",  "hex_crc", "value"};
  if (!item.is_object()) bad(where, "an entry must be an object");
  for (auto it = item.begin(); it != item.end(); ++it) {
    const std::string &key = it.key();
    if (std::none_of(std::begin(kKnown), std::end(kKnown),
                     [&](const char *k) { return key == k; })) {
      bad(where, "unknown member \"" + key + "\"");
    }
  }
  if (!item.contains("type")) bad(where, "missing \"type\"");
  BuiltEntry out{type_of(item["type"], where), std::nullopt, {}};
  if (item.contains("attribute")) out.attribute = attribute_of(item["attribute"], where);
  const Given given = given_of(item, where);
  try {
    check_attribute(out.type, out.attribute);
    out.value = value_of(given, ValueContext{out.type,
                                             out.attribute.value_or(standard_attribute(out.type)),
                                             std::nullopt, false});
  } catch (const Failure &f) {
    bad(where, f.what(), f.code());
  }
  return out;
}

uint32_t size_of(const json &d, std::optional<uint32_t> size, const std::string &source) {
  if (size) return *size;
  if (!d.contains("size") || !d["size"].is_number_unsigned()) {
    bad(source, "no image size: give --size or a \"size\" member");
  }
  return static_cast<uint32_t>(std::min<uint64_t>(d["size"].get<uint64_t>(), kMaxImage + 1));
}

// Appends every entry through the library into size + 1 bytes, so that a
// list may fill the image to its last byte (the extra byte then holds the
// end marker and is dropped).
Bytes place_entries(const json &entries, uint32_t size, const std::string &source) {
  Bytes image(size + 1, 0xFF);
  ImageEditor editor(image);
  std::map<uint32_t, uint32_t> seen;
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string where = source + ": entries[" + std::to_string(i) + "]";
    const BuiltEntry e = read_entry(entries[i], where);
    const FieldEdit edit{e.type, ++seen[e.type], true, e.attribute, false};
    const EditResult r = editor.set(e.type, e.value, edit.instance, true, e.attribute);
    if (!r.ok()) {
      bad(where,
          describe_type(e.type) + ": " + refusal(editor.view(), edit, e.value.size(), r.status, 1) +
              " (image of " + std::to_string(size) + " bytes)",
          exit_for(r.status));
    }
  }
  return image;
}

// "line 3, column 12" of the byte a parser stopped at (counted from 1).
std::string position_of(std::string_view text, size_t byte) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
    column = text[i] == '\n' ? 1 : column + 1;
    line += text[i] == '\n' ? 1 : 0;
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

json parse_description(std::string_view text, const std::string &source) {
  try {
    return json::parse(text);
  } catch (const json::parse_error &e) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
      bad(source, "is empty (no JSON)");
    if (e.byte > text.size())
      bad(source, "not valid JSON: the text ends before the JSON is complete (a missing } or ]?)");
    // The parser's words after the context: "invalid literal; last read: 'x'"
    // or "unexpected ','; expected '}'".
    const std::string what = e.what();
    const size_t dash = what.find(" - ", what.find("while parsing "));
    const size_t byte = std::max<size_t>(e.byte, 1);
    const std::string detail = dash != std::string::npos
                                   ? what.substr(dash + 3)
                                   : "unexpected byte " + hex(static_cast<uint8_t>(text[byte - 1]));
    bad(source, "not valid JSON at " + position_of(text, byte) + ": " + detail);
  } catch (const json::out_of_range &e) {
    // A number past a double's range: "number overflow parsing '1e400'",
    // without a position.
    const std::string what = e.what();
    bad(source, "not valid JSON: " + what.substr(what.find("] ") + 2));
  }
}

ordered describe(const ImageView &view, MacForm form) {
  const Layout layout = view.layout();
  ordered out;
  out["size"] = view.size();
  out["used"] = layout.used;
  out["free"] = view.size() - layout.used;
  out["end_marker"] = layout.end_marker ? ordered(*layout.end_marker) : ordered(nullptr);
  out["entries"] = ordered::array();
  for (const Entry &e : view) out["entries"].push_back(describe_entry(view, e, form));
  if (const auto tail = tail_of(view, layout)) out["tail"] = hex_string(*tail);
  if (layout.malformed_at) {
    out["malformed"] = {{"offset", *layout.malformed_at},
                        {"problem", problem_at(view.bytes(), *layout.malformed_at)}};
  }
  return out;
}

Bytes build_image(const json &d, std::optional<uint32_t> size_option, const std::string &source) {
  if (!d.is_object()) bad(source, "the description must be a JSON object");
  if (d.contains("malformed"))
    bad(source, "describes a malformed image, which cannot be rebuilt", kExitMalformed);
  // What describe writes; anything else is a slip (a misspelt "tail" would
  // otherwise drop bytes silently).
  constexpr const char *kMembers[] = {"size", "used", "free", "end_marker", "entries", "tail"};
  for (auto it = d.begin(); it != d.end(); ++it) {
    if (std::find(std::begin(kMembers), std::end(kMembers), it.key()) == std::end(kMembers))
      bad(source, "unknown member \"" + it.key() + "\"");
  }
  const uint32_t size = size_of(d, size_option, source);
  if (size == 0 || size > kMaxImage) bad(source, "the image size must be 1 to 65536 bytes");
  if (!d.contains("entries") || !d["entries"].is_array())
    bad(source, "missing the \"entries\" array");
  Bytes image = place_entries(d["entries"], size, source);
  const uint32_t marker = ImageView(image).layout().end_marker.value_or(size);
  image.resize(size);  // drops the spare byte: filler, or the marker of a full list
  if (d.contains("tail")) {
    const auto tail = parse_hex_bytes(text_of(d["tail"], source, "\"tail\""));
    if (!tail) bad(source, "\"tail\" must be a string of hex bytes");
    if (marker >= size || tail->size() > size - marker - 1) {
      bad(source, "\"tail\" does not fit after the end marker", kExitNoRoom);
    }
    std::copy(tail->begin(), tail->end(), image.begin() + marker + 1);
  }
  return image;
}

}  // namespace idprom::tool
