// Values as text, both ways: the text front ends write for an entry's
// value (`get`, a description's "text", Python's str values) and the
// reading of such text, or of a value given on the command line, into the
// bytes an entry stores.  One codec per value form of the type catalogue
// does both, so that what is written reads back to the same bytes:
//
//   parse_value(format_value(ctx, v), ctx with current_length v.size()) == v
//
// for every type, attribute and value.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/macaddr.hpp"

namespace idprom::tool {

using Bytes = std::vector<uint8_t>;

struct ValueContext {
  uint32_t type = 0;
  uint32_t attribute = 0;                  // display attribute the field will carry
  std::optional<uint32_t> current_length;  // length of the field being replaced
  bool hex = false;                        // read every value as hex bytes
};

// The text of a value of `context.type` with `context.attribute` (its
// current_length is ignored: the value's own length counts): one line, as
// its type's form writes it (text escaped, see escape_text; a MAC address
// in `mac`), or "hex:" and the bytes in hex where the form cannot write
// them (a MAC address that is not six bytes long, a part number of other
// than its groups' bytes).
std::string format_value(const ValueContext &context, std::span<const uint8_t> value,
                         MacForm mac = MacForm::kDotted);

// Text as the front ends write it: the bytes 0x20 to 0x7e stand for
// themselves, except the backslash, written \\; every other byte is \xHH
// (two hex digits, lower case on output, either case on input).  A text
// that would begin "hex:" begins "\x68ex:" instead, so that parse_value
// does not read it as hex bytes.
std::string escape_text(std::span<const uint8_t> bytes);

// The bytes of such text; std::nullopt for a byte outside 0x20 to 0x7e or
// a backslash that starts neither \\ nor \xHH.
std::optional<Bytes> unescape_text(std::string_view text);

// The stored bytes (integers big-endian) of a value for a type.  A value
// starting with "hex:" is read as hex bytes whatever the type.  Throws
// Failure (kExitValue) naming the type and what was expected.
Bytes parse_value(std::string_view text, const ValueContext &context);

// The integer of a fixed-size integer-valued field as `get --int` prints
// it, in the form parse_value reads back: 0x and hex digits of the class
// width for types read as hex digits (Controller Type 0x1324) and for
// grouped values (Hardware Revision 1.2 is 0x0102; these read no plain
// decimal integer, so that 1 means 1.0), decimal for the others.
std::string integer_text(uint32_t type, uint64_t value);

// Refuses a display attribute other than 0 for a fixed-size type, which has
// no length field to carry one: Failure (kExitValue) naming the type.
void check_attribute(uint32_t type, std::optional<uint32_t> attribute);

// Hex bytes: pairs of digits, optionally separated by spaces, colons or
// hyphens, optionally led by "0x".  std::nullopt when malformed.
std::optional<Bytes> parse_hex_bytes(std::string_view text);

// A MAC address in the dotted (001a.2b3c.4d5e), colon (00:1a:2b:3c:4d:5e)
// or plain (001a2b3c4d5e) form, either case, as six bytes; std::nullopt
// for any other text.
std::optional<Bytes> parse_mac(std::string_view text);

// A MAC address in any form `set` reads for Base MAC Address; throws
// Failure (value) naming `what`.
uint64_t read_mac(std::string_view text, const std::string &what);

// Lower-case hex digits of bytes, without separators.
std::string hex_string(std::span<const uint8_t> bytes);

}  // namespace idprom::tool
