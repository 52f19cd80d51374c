// The type catalogue for the front ends.  Short names are unique, so that
// `pid` or `pcb-serial` can stand wherever a type code can.
#include "model/types.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "base/errors.hpp"
#include "idprom.hpp"
#include "base/numbers.hpp"
#include "io/system.hpp"

namespace idprom::tool {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// The largest code an image can hold: its extension bytes, type byte and a
// one-byte value fill the largest image.
constexpr auto kLargestCode = static_cast<uint32_t>((kMaxImage - 2) * 256 + 0xFE);

uint32_t checked_code(std::string_view text, uint32_t code) {
  if (code > kLargestCode)
    throw Failure(kExitUsage, "type " + std::string(text) + ": codes go up to " + hex(kLargestCode) +
                                  " (one extension byte per 256, in an image of at most " +
                                  std::to_string(kMaxImage) + " bytes)");
  if (!has_encoding(code)) {
    throw Failure(kExitUsage, "type " + std::string(text) +
                                  " has no encoding (the low byte of a type code is 0x01 to 0xfe)");
  }
  return code;
}

std::string candidates(const std::vector<const TypeInfo *> &rows) {
  std::string out;
  for (const TypeInfo *row : rows) {
    out += out.empty() ? "" : ", ";
    out += std::string(row->name) + " (" + hex(row->code) + ")";
  }
  return out;
}

}  // namespace

std::span<const TypeInfo> type_table() noexcept { return catalogue::kTypes; }

const TypeInfo *find_type(uint32_t code) noexcept {
  for (const TypeInfo &row : catalogue::kTypes) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

Form form_of(uint32_t code) noexcept {
  if (const TypeInfo *row = find_type(code)) return row->form;
  return is_variable(code) ? Form::kByAttribute : Form::kHexBytes;
}

std::string type_label(uint32_t code) {
  const TypeInfo *row = find_type(code);
  if (row == nullptr) return catalogue::kUnknownLabel;
  return row->label != nullptr ? row->label : "";
}

std::string type_name(uint32_t code) {
  const TypeInfo *row = find_type(code);
  return row != nullptr && row->name != nullptr ? row->name : "";
}

const char *class_name(uint32_t code) noexcept {
  switch (code & kClassMask) {
    case 0x00:
      return "1-byte";
    case 0x40:
      return "2-byte";
    case 0x80:
      return "4-byte";
    default:
      return "variable";
  }
}

uint32_t resolve_type(std::string_view text) {
  if (const auto code = read_number(text)) return checked_code(text, *code);
  const std::string key = lower(text);
  std::vector<const TypeInfo *> by_label, by_prefix;
  for (const TypeInfo &row : catalogue::kTypes) {
    if (row.name == nullptr) continue;
    if (key == row.name) return row.code;
    if (key == lower(row.label)) by_label.push_back(&row);
    if (std::string_view(row.name).starts_with(key)) by_prefix.push_back(&row);
  }
  const auto &found = by_label.empty() ? by_prefix : by_label;
  if (found.size() == 1) return found.front()->code;
  if (found.empty()) {
    throw Failure(kExitUsage, "unknown type '" + std::string(text) +
                                  "' (see `idprom types`; a code in hex or decimal always works)");
  }
  throw Failure(kExitUsage, "type '" + std::string(text) + "' is ambiguous: " + candidates(found));
}

}  // namespace idprom::tool
