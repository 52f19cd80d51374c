// Number parsing shared by every reader of text.
#include "base/numbers.hpp"

#include <charconv>

#include "base/errors.hpp"

namespace idprom::tool {

std::optional<uint64_t> parse_unsigned(std::string_view text, int base) {
  uint64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<uint32_t> read_number(std::string_view text) {
  int base = 10;
  if (text.starts_with("0x") || text.starts_with("0X")) {
    text.remove_prefix(2);
    base = 16;
  }
  const std::optional<uint64_t> value = parse_unsigned(text, base);
  if (!value || *value > UINT32_MAX) return std::nullopt;
  return static_cast<uint32_t>(*value);
}

uint32_t parse_number(std::string_view text, const std::string &what) {
  const std::optional<uint32_t> value = read_number(text);
  if (!value) throw Failure(kExitUsage, what + ": '" + std::string(text) + "' is not a number");
  return *value;
}

}  // namespace idprom::tool
