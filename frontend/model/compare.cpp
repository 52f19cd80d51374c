// Field-by-field differences: entries matched by type code and instance.
#include "model/compare.hpp"

#include <map>

#include "base/errors.hpp"
#include "model/values.hpp"

namespace idprom::tool {
namespace {

// Entries keyed by type code and instance, in image order.
struct Keyed {
  uint32_t type;
  uint32_t instance;
  Entry entry;
};

std::vector<Keyed> keyed(const ImageView &view) {
  std::vector<Keyed> out;
  std::map<uint32_t, uint32_t> seen;
  for (const Entry &e : view) out.push_back(Keyed{e.type, ++seen[e.type], e});
  return out;
}

const Keyed *find_key(const std::vector<Keyed> &list, const Keyed &key) {
  for (const Keyed &k : list) {
    if (k.type == key.type && k.instance == key.instance) return &k;
  }
  return nullptr;
}

std::string name_of(const Keyed &k) {
  return describe_type(k.type) + (k.instance == 1 ? "" : " #" + std::to_string(k.instance));
}

Bytes bytes_of(const Entry &e) { return Bytes(e.value.begin(), e.value.end()); }

// The shown text, or the stored hex when the text says nothing or cannot
// tell the two values apart.
std::string shown(const ImageView &view, const Entry &e, bool force_hex) {
  const std::string text = value_text(view, e);
  return text.empty() || force_hex ? "hex " + hex_string(bytes_of(e)) : text;
}

Change change_of(const std::string &field, const ImageView &a, const Entry &x, const ImageView &b,
                 const Entry &y) {
  if (bytes_of(x) == bytes_of(y)) return {"attribute", field, hex(x.attribute), hex(y.attribute)};
  const bool same_text = value_text(a, x) == value_text(b, y);
  return {"changed", field, shown(a, x, same_text), shown(b, y, same_text)};
}

}  // namespace

std::vector<Change> changes_of(const Loaded &a, const Loaded &b) {
  const ImageView va = a.view(), vb = b.view();
  const std::vector<Keyed> ka = keyed(va), kb = keyed(vb);
  std::vector<Change> out;
  if (a.bytes.size() != b.bytes.size())
    out.push_back({"size", "", std::to_string(a.bytes.size()), std::to_string(b.bytes.size())});
  for (const Keyed &x : ka) {
    const Keyed *y = find_key(kb, x);
    if (y == nullptr) {
      out.push_back({"removed", name_of(x), shown(va, x.entry, false), ""});
    } else if (bytes_of(x.entry) != bytes_of(y->entry) || x.entry.attribute != y->entry.attribute) {
      out.push_back(change_of(name_of(x), va, x.entry, vb, y->entry));
    }
  }
  for (const Keyed &y : kb) {
    if (find_key(ka, y) == nullptr)
      out.push_back({"added", name_of(y), "", shown(vb, y.entry, false)});
  }
  if (out.empty() && a.bytes != b.bytes) out.push_back({"bytes", "", "", ""});
  return out;
}

std::string line_of(const Change &c) {
  if (c.kind == "size") return "size    " + c.from + " -> " + c.to + " bytes";
  if (c.kind == "removed") return "removed " + c.field + ": " + c.from;
  if (c.kind == "added") return "added   " + c.field + ": " + c.to;
  if (c.kind == "bytes")
    return "same fields; the bytes differ (entry order or bytes after the end marker)";
  return "changed " + c.field + ": " + (c.kind == "attribute" ? "attribute " : "") + c.from +
         " -> " + c.to;
}

nlohmann::ordered_json json_of(const Change &c) {
  nlohmann::ordered_json out = {{"kind", c.kind}};
  if (!c.field.empty()) out["field"] = c.field;
  if (c.kind != "added" && c.kind != "bytes") out["from"] = c.from;
  if (c.kind != "removed" && c.kind != "bytes") out["to"] = c.to;
  return out;
}

}  // namespace idprom::tool
