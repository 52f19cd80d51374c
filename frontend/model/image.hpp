// What every front end does with a loaded image: name types in messages,
// explain where a list stops decoding, and take the value text of an entry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/numbers.hpp"
#include "io/fileio.hpp"
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

}  // namespace idprom::tool
