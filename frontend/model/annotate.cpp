// dump --fields: an image's bytes cut into entries, the end marker, filler
// and whatever does not decode.
#include "model/annotate.hpp"

#include <algorithm>
#include <cstdio>

#include "base/errors.hpp"
#include "model/describe.hpp"
#include "model/fields.hpp"
#include "model/image.hpp"
#include "model/types.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

using ordered = nlohmann::ordered_json;

// The columns of an entry's line; the title line names them.
constexpr const char *kColumns = "%-6s  %-15s %-7s %-17s %6s  %-7s  %s\n";
// A line that says what the bytes at an offset are, in the type column.
constexpr const char *kNote = "%-6s  %-15s %s\n";
constexpr uint32_t kRow = 16;  // value bytes a row

// The attribute as the listing treats it, by bits 7-6; fixed-class
// entries have no length field to carry one.
constexpr const char *kAttributes[] = {"none", "decimal", "text", "hex"};

std::string printed(const char *format, auto... args) {
  char line[160];
  std::snprintf(line, sizeof line, format, args...);
  return line;
}

std::string spaced_hex(std::span<const uint8_t> bytes) {
  std::string out;
  for (uint8_t b : bytes) out += (out.empty() ? "" : " ") + printed("%02x", b);
  return out;
}

std::string offset_of(uint32_t offset) { return printed("0x%04x", offset); }

// Bytes in rows of 16, each led by its offset, indented under the header
// column.
std::string rows(std::span<const uint8_t> bytes, uint32_t offset) {
  std::string out;
  for (uint32_t i = 0; i < bytes.size(); i += kRow) {
    const auto row = bytes.subspan(i, std::min<size_t>(kRow, bytes.size() - i));
    out += offset_of(offset + i) + "    " + spaced_hex(row) + '\n';
  }
  return out;
}

std::string entry_text(const ImageView &view, const Entry &e) {
  const auto header = view.bytes().subspan(e.offset, e.header_size);
  const std::string name = type_name(e.type);
  const std::string label = type_label(e.type), text = field_text(view, e);
  const char *attribute = is_variable(e.type) ? kAttributes[e.attribute >> 6] : "-";
  return printed(kColumns, offset_of(e.offset).c_str(), spaced_hex(header).c_str(),
                 hex(e.type).c_str(), name.empty() ? "-" : name.c_str(),
                 std::to_string(e.length).c_str(), attribute,
                 (label.empty() ? text : label + ": " + text).c_str()) +
         rows(e.value, e.offset + e.header_size);
}

std::string span_text(const ImageView &view, const Span &s) {
  const auto bytes = view.bytes().subspan(s.offset, s.length);
  const std::string at = offset_of(s.offset);
  switch (s.kind) {
    case Span::Kind::kEntry:
      return entry_text(view, s.entry);
    case Span::Kind::kEndMarker:
      return printed(kNote, at.c_str(), "ff", "end marker");
    case Span::Kind::kTail:
      return printed(kNote, at.c_str(), "",
                     ("tail: " + count_of(s.length, "byte", "bytes") +
                      " after the end marker that are not filler")
                         .c_str()) +
             rows(bytes, s.offset);
    case Span::Kind::kMalformed:
      return printed(kNote, at.c_str(), "", ("malformed: " + s.problem).c_str()) +
             rows(bytes, s.offset);
    case Span::Kind::kFiller:
      return printed("%-23s filler 0xff x %u\n",
                     (at + ".." + offset_of(s.offset + s.length - 1)).c_str(), s.length);
  }
  return "";
}

ordered span_json(const ImageView &view, const Span &s, MacForm form) {
  static const char *const kKinds[] = {"entry", "end_marker", "tail", "malformed", "filler"};
  ordered out = {{"kind", kKinds[static_cast<int>(s.kind)]}};
  if (s.kind == Span::Kind::kEntry) {
    out["offset"] = s.offset;
    out["header"] = hex_string(view.bytes().subspan(s.offset, s.entry.header_size));
    out.update(describe_entry(view, s.entry, form));  // "offset" keeps its place
    return out;
  }
  out["offset"] = s.offset;
  out["length"] = s.length;
  if (s.kind != Span::Kind::kFiller)
    out["hex"] = hex_string(view.bytes().subspan(s.offset, s.length));
  if (s.kind == Span::Kind::kMalformed) out["problem"] = s.problem;
  return out;
}

}  // namespace

std::vector<Span> annotate(const ImageView &view) {
  std::vector<Span> spans;
  for (const Entry &e : view)
    spans.push_back(Span{Span::Kind::kEntry, e.offset, e.end() - e.offset, e, {}});
  const Layout layout = view.layout();
  const auto bytes = view.bytes();
  if (!layout.malformed_at && !layout.end_marker) return spans;  // the entries fill the image
  uint32_t at = layout.malformed_at.value_or(0);
  if (!layout.malformed_at) {
    spans.push_back(Span{Span::Kind::kEndMarker, *layout.end_marker, 1, {}, {}});
    at = *layout.end_marker + 1;
  }
  auto filler = static_cast<uint32_t>(bytes.size());
  while (filler > at && bytes[filler - 1] == kEndMarker) --filler;
  if (layout.malformed_at) {
    spans.push_back(Span{Span::Kind::kMalformed, at, filler - at, {}, problem_at(bytes, at)});
  } else if (filler > at) {
    spans.push_back(Span{Span::Kind::kTail, at, filler - at, {}, {}});
  }
  if (bytes.size() > filler)
    spans.push_back(
        Span{Span::Kind::kFiller, filler, static_cast<uint32_t>(bytes.size()) - filler, {}, {}});
  return spans;
}

std::string annotated_text(const ImageView &view) {
  std::string out =
      printed(kColumns, "offset", "header", "type", "name", "length", "attr", "label: value");
  for (const Span &s : annotate(view)) out += span_text(view, s);
  const Layout layout = view.layout();
  if (!layout.end_marker && !layout.malformed_at)
    out += printed(kNote, offset_of(static_cast<uint32_t>(view.size())).c_str(), "",
                   "end of image: no end marker (the entries fill the image)");
  return out;
}

ordered annotated_json(const ImageView &view, MacForm form) {
  const Layout layout = view.layout();
  ordered out = {{"size", view.size()}};
  out["end_marker"] = layout.end_marker ? ordered(*layout.end_marker) : ordered(nullptr);
  out["spans"] = ordered::array();
  for (const Span &s : annotate(view)) out["spans"].push_back(span_json(view, s, form));
  return out;
}

}  // namespace idprom::tool
