// JSON descriptions of images: what `show --json` prints and `build` reads.
//
//   {"size": 256, "used": 164, "free": 92, "end_marker": 164,
//    "entries": [{"offset": 0, "type": 13, "type_hex": "0x0d",
//                 "name": "format-rev", "label": "IDPROM Format Revision",
//                 "class": "1-byte", "length": 1, "attribute": 0,
//                 "text": "4", "hex": "04"}, ...]}
//
// build places the entries in order; each needs "type" (a number, or a
// TYPE string as on the command line) and either "hex" (the stored value
// bytes) or "value" (read like `set` reads it), and may give "attribute"
// (0, 64, 128, 192 or "hex", "decimal", "text").  The other members are
// informative; "length", when present, must match.  "tail" holds bytes
// after the end marker that are not 0xff filler.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "io/fileio.hpp"
#include "idprom.hpp"
#include "model/macaddr.hpp"

namespace idprom::tool {

// MAC addresses in "text" take `form` (build reads every form back).
nlohmann::ordered_json describe(const ImageView &view, MacForm form = MacForm::kDotted);

// Parses the text of a description; a syntax error is reported with its
// line and column.  Throws Failure (usage) naming `source`.
nlohmann::json parse_description(std::string_view text, const std::string &source);

// Builds an image of `size` bytes (or the description's "size"); `source`
// names the description in messages.  Throws Failure.
Bytes build_image(const nlohmann::json &description, std::optional<uint32_t> size,
                  const std::string &source);

}  // namespace idprom::tool
