// Field-by-field differences of two images, as `diff` prints them and
// `restore --dry-run` shows what a restore would change.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "model/image.hpp"

namespace idprom::tool {

// One difference: what kind, the field it concerns (none for "size" and
// "bytes"), and the value texts before and after.
struct Change {
  std::string kind;  // size, removed, changed, attribute, added or bytes
  std::string field;
  std::string from, to;
};

// What changes from `a` to `b`: entries matched by type code and instance,
// in image order; "bytes" alone when the fields agree and the bytes do not.
std::vector<Change> changes_of(const Loaded &a, const Loaded &b);

// "changed PID (0xcb): LC-1 -> LC-2", "added   ...", "removed ...".
std::string line_of(const Change &c);
nlohmann::ordered_json json_of(const Change &c);

}  // namespace idprom::tool
