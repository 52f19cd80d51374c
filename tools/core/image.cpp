// Loading images and the texts every front end gives about them.
#include "image.hpp"

#include <charconv>

#include "errors.hpp"
#include "types.hpp"

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
  const auto size = static_cast<uint32_t>(bytes.size());
  uint32_t pos = offset;
  while (pos < size && bytes[pos] == 0x00) ++pos;
  if (pos >= size) return "extension bytes (0x00) run to the image's end";
  const uint32_t type = (pos - offset) * 256 + bytes[pos];
  const std::string what = "entry of " + describe_type(type);
  const uint32_t left = size - pos - 1;  // bytes after the type byte
  if (!is_variable(type)) {
    return what + ": its " + std::to_string(fixed_width(type)) +
           "-byte value runs past the image's end (" + std::to_string(left) + " left)";
  }
  const uint32_t field = type >= 0xF0 ? 2 : 1;
  if (left < field) return what + ": its length field is cut off by the image's end";
  const uint32_t length = field == 1 ? bytes[pos + 1] & 0x3FU
                                     : ((uint32_t{bytes[pos + 1]} << 8) | bytes[pos + 2]) & 0x3FFFU;
  if (length == 0) return what + ": length 0 (a variable-length field holds at least one byte)";
  return what + ": its " + std::to_string(length) + "-byte value runs past the image's end (" +
         std::to_string(left - field) + " left)";
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

uint32_t parse_number(std::string_view text, const std::string &what) {
  int base = 10;
  std::string_view digits = text;
  if (digits.starts_with("0x") || digits.starts_with("0X")) {
    digits.remove_prefix(2);
    base = 16;
  }
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) {
    throw Failure(kExitUsage, what + ": '" + std::string(text) + "' is not a number");
  }
  return value;
}

}  // namespace idprom::tool
