// Loading images and the texts every front end gives about them.
#include "model/image.hpp"

#include <optional>

#include "base/errors.hpp"
#include "model/types.hpp"

namespace idprom::tool {

Loaded load(const std::string &path) {
  Loaded image{path, read_image(system_io(), path), {}};
  image.layout = image.view().layout();
  return image;
}

std::string describe_type(uint32_t type) {
  const std::string label = type_label(type);
  return find_type(type) != nullptr && !label.empty() ? label + " (" + hex(type) + ")"
                                                      : "type " + hex(type);
}

std::string problem_at(std::span<const uint8_t> bytes, uint32_t offset) {
  const std::optional<Problem> p = ImageView(bytes).diagnose(offset);
  if (!p) return "";
  if (p->kind == Problem::Kind::kExtensionToEnd) return p->reason();
  return "entry of " + describe_type(p->type) + ": " + p->reason();
}

std::string as_lines(const std::string &text) {
  if (text.empty()) return text;
  std::string out = text.front() == '\n' ? text.substr(1) : text;
  if (out.empty() || out.back() != '\n') out += '\n';
  return out;
}

std::string value_text(const ImageView &view, const Entry &entry) {
  std::string text = view.entry_text(entry);
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return "";
  text.erase(0, colon + 1);
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace idprom::tool
