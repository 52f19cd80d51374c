// Reading numbers from text: every number a front end reads (values,
// options, type codes, i2c:BUS:ADDR) goes through these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace idprom::tool {

// Digits in `base` filling all of `text` (no sign, no prefix), up to
// 2^64 - 1; std::nullopt for anything else.  Every number the front end
// reads goes through it.
std::optional<uint64_t> parse_unsigned(std::string_view text, int base);

// A decimal or 0x-hex number (0 to 0xffffffff) filling all of `text`;
// std::nullopt for anything else.  Options, type codes and i2c:BUS:ADDR
// all read their numbers through it.
std::optional<uint32_t> read_number(std::string_view text);

// read_number for an option; throws Failure (usage) naming it by `what`.
uint32_t parse_number(std::string_view text, const std::string &what);

}  // namespace idprom::tool
