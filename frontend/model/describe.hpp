// JSON descriptions of images: what `show --json` prints and `build` reads.
//
//   {"size": 256, "used": 164, "free": 92, "end_marker": 164,
//    "entries": [{"offset": 0, "type": 13, "type_hex": "0x0d",
//                 "name": "format-rev", "label": "IDPROM Format Revision",
//                 "class": "1-byte", "length": 1, "attribute": 0,
//                 "text": "4", "hex": "04", "hex_crc": "a174"}, ...]}
//
// "text" is the value as `get` prints it and `set` reads it (format_value),
// "hex" the stored bytes, "hex_crc" the CRC-16 (CCITT, from 0xffff) of
// those bytes as described.  "tail" holds bytes after the end marker that
// are not 0xff filler.
//
// build places the entries in order; each needs "type" (a number, or a
// TYPE string as on the command line) and may give "attribute" (0, 64,
// 128, 192 or "hex", "decimal", "text").  Its value comes from "hex" and
// "text" ("value" is an older name of "text"), member by member, so that an
// edit of either one counts:
//   - only one of them: that one ("text" padded with zero bytes to
//     "length", when given, as `set` pads to the field it replaces);
//   - both, and "text" reads back to the bytes of "hex": those bytes;
//   - both, disagreeing: "hex_crc" tells which one was edited.  When "hex"
//     still has it, "hex" is as described and "text" was edited: text wins
//     (padded to the length of "hex").  Otherwise "hex" was edited, and
//     wins when "text" still reads back to bytes that have it (text as
//     described).  When neither is as described, or there is no
//     "hex_crc", the entry is an error naming the field.
// The other members are informative; unknown members are errors.
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
// One entry's object in "entries".
nlohmann::ordered_json describe_entry(const ImageView &view, const Entry &entry,
                                      MacForm form = MacForm::kDotted);

// Parses the text of a description; a syntax error is reported with its
// line and column.  Throws Failure (usage) naming `source`.
nlohmann::json parse_description(std::string_view text, const std::string &source);

// Builds an image of `size` bytes (or the description's "size"); `source`
// names the description in messages.  Throws Failure.
Bytes build_image(const nlohmann::json &description, std::optional<uint32_t> size,
                  const std::string &source);

}  // namespace idprom::tool
