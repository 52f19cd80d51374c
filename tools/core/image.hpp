// What every front end does with a loaded image: name types in messages,
// explain where a list stops decoding, and take the value text of an entry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "fileio.hpp"
#include "idprom.hpp"

namespace idprom::tool {

// A read-only image and what a walk over it finds.
struct Loaded {
  std::string path;
  Bytes bytes;
  Layout layout;

  ImageView view() const { return ImageView(bytes); }
};

Loaded load(const std::string &path);

// Why no entry decodes at `offset` (ImageView::diagnose, with the type
// named); "" when one does.
std::string problem_at(std::span<const uint8_t> bytes, uint32_t offset);

// Library text (which starts each field or row with a newline and ends
// without one) as lines: the leading newline dropped, a final one added.
std::string as_lines(const std::string &text);

// The value part of an entry's listing text (after its label), without
// trailing spaces; "" for types the listing does not show.
std::string value_text(const ImageView &view, const Entry &entry);

// "label (0xcb)" for messages, or "type 0x1c5" when the type has no label.
std::string describe_type(uint32_t type);

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
