// Reading a value given on the command line (or in a build description)
// into the bytes an entry stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace idprom::tool {

using Bytes = std::vector<uint8_t>;

struct ValueContext {
  uint32_t type = 0;
  uint32_t attribute = 0;                  // display attribute the field will carry
  std::optional<uint32_t> current_length;  // length of the field being replaced
  bool hex = false;                        // read every value as hex bytes
};

// The stored bytes (integers big-endian) of a value for a type.  A value
// starting with "hex:" is read as hex bytes whatever the type.  Throws
// Failure (kExitValue) naming the type and what was expected.
Bytes parse_value(std::string_view text, const ValueContext &context);

// The integer of a fixed-size integer-valued field as `get --int` prints
// it, in the form parse_value reads back: 0x and hex digits of the class
// width for types read as hex digits (Controller Type 0x1324), decimal for
// the others.
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

// Lower-case hex digits of bytes, without separators.
std::string hex_string(const Bytes &bytes);

}  // namespace idprom::tool
