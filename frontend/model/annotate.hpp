// An image's bytes annotated entry by entry (`dump --fields`): the image cut
// into consecutive spans that together cover every byte once, each saying
// what its bytes are.
//
//   offset  header          type    name              length  attr     label: value
//   0x0008  c1 84           0xc1    pcb-serial             4  text     PCB Serial Number: SN01
//   0x000a    53 4e 30 31                       (the value bytes, 16 a row)
//   0x00a4  ff              end marker
//   0x00a5..0x00ff          filler 0xff x 91
//
// A list that stops decoding gets a "malformed" span at the entry that
// breaks, with the reason, and its bytes from there as rows; bytes after
// the end marker that are not filler get a "tail" span.  A run of 0xff
// that closes the image is always summarised as filler.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "idprom.hpp"
#include "model/macaddr.hpp"

namespace idprom::tool {

struct Span {
  enum class Kind : uint8_t { kEntry, kEndMarker, kTail, kMalformed, kFiller };
  Kind kind = Kind::kEntry;
  uint32_t offset = 0;
  uint32_t length = 0;  // bytes covered (an entry's header and value)
  Entry entry;          // kEntry
  std::string problem;  // kMalformed: what is wrong, in words
};

// The spans of an image, in order.
std::vector<Span> annotate(const ImageView &view);

// The text layout above, one line per entry, value row, marker or summary;
// every line ends with a newline.
std::string annotated_text(const ImageView &view);

// {"size", "end_marker", "spans": [...]}: an entry's span is its object in
// a description (describe_entry) with "kind": "entry" and "header" (its
// header bytes in hex); the others have "kind", "offset", "length" and,
// except filler, "hex"; a malformed span also "problem".
nlohmann::ordered_json annotated_json(const ImageView &view, MacForm form = MacForm::kDotted);

}  // namespace idprom::tool
