// diff: field-by-field differences of two images.
#include <CLI/CLI.hpp>
#include <iostream>
#include <map>
#include <memory>

#include "common.hpp"
#include "errors.hpp"
#include "values.hpp"

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

std::string change_of(const ImageView &a, const Entry &x, const ImageView &b, const Entry &y) {
  if (bytes_of(x) == bytes_of(y)) {
    return "attribute " + hex(x.attribute) + " -> " + hex(y.attribute);
  }
  const bool same_text = value_text(a, x) == value_text(b, y);
  return shown(a, x, same_text) + " -> " + shown(b, y, same_text);
}

int run_diff(const std::string &path_a, const std::string &path_b) {
  if (path_a == "-" && path_b == "-")
    throw Failure(kExitUsage, "standard input (-) is named twice; it can be read only once");
  const Loaded a = load_image(path_a), b = load_image(path_b);
  const ImageView va = a.view(), vb = b.view();
  const std::vector<Keyed> ka = keyed(va), kb = keyed(vb);
  bool differ = false;
  if (a.bytes.size() != b.bytes.size()) {
    std::cout << "size    " << a.bytes.size() << " -> " << b.bytes.size() << " bytes\n";
    differ = true;
  }
  for (const Keyed &x : ka) {
    const Keyed *y = find_key(kb, x);
    if (y == nullptr) {
      std::cout << "removed " << name_of(x) << ": " << shown(va, x.entry, false) << '\n';
    } else if (bytes_of(x.entry) != bytes_of(y->entry) || x.entry.attribute != y->entry.attribute) {
      std::cout << "changed " << name_of(x) << ": " << change_of(va, x.entry, vb, y->entry) << '\n';
    } else {
      continue;
    }
    differ = true;
  }
  for (const Keyed &y : kb) {
    if (find_key(ka, y) != nullptr) continue;
    std::cout << "added   " << name_of(y) << ": " << shown(vb, y.entry, false) << '\n';
    differ = true;
  }
  if (!differ && a.bytes != b.bytes) {
    std::cout << "same fields; the bytes differ (entry order or bytes after the end marker)\n";
    differ = true;
  }
  const int bad_a = report_malformed(a), bad_b = report_malformed(b);
  if (bad_a != kExitOk || bad_b != kExitOk) return kExitMalformed;
  return differ ? kExitAbsent : kExitOk;
}

}  // namespace

void add_diff_command(CLI::App &app, int &status) {
  auto paths = std::make_shared<std::pair<std::string, std::string>>();
  CLI::App *d = app.add_subcommand(
      "diff", "Field-by-field differences of two images (exit status 1 when they differ)");
  d->add_option("A", paths->first, "First image (- for standard input)")->required();
  d->add_option("B", paths->second, "Second image")->required();
  d->callback([paths, &status] { status = run_diff(paths->first, paths->second); });
}

}  // namespace idprom::tool
