// The tool's one table of known types: code, short name, label and how a
// value given on the command line is read.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace idprom::tool {

// How the text of a value is read for a type (the same text `show` prints,
// where it can be read back).
enum class Form : uint8_t {
  kDecimal,       // a decimal integer ("0x" for hex) of the class width
  kHexInt,        // hex digits of an integer of the class width ("052c")
  kFields,        // decimal numbers joined by a separator (part numbers, revisions)
  kPowerSupply,   // AC or DC
  kWatts,         // watts with up to two decimals, stored in hundredths
  kText,          // printable text, padded with zero bytes
  kMac,           // a MAC address, dotted, colon or plain
  kDecimalBytes,  // decimal bytes separated by spaces
  kByAttribute,   // text, dotted decimal or hex, by the display attribute
  kHexBytes,      // hex bytes
};

struct TypeInfo {
  uint32_t code;
  const char *name;   // unique short name; null for types the listing hides
  const char *label;  // the listing's label; null for hidden types
  Form form;
  char separator = 0;      // kFields: between the numbers
  uint8_t widths[4] = {};  // kFields: bytes of each number, 0 ends the list
};

std::span<const TypeInfo> type_table() noexcept;

// The row of a code, or null for a type the catalogue does not know.
const TypeInfo *find_type(uint32_t code) noexcept;

// The label for display: the table's, "Unknown Field" for unknown codes.
std::string type_label(uint32_t code);
// The short name, or "" when the type has none.
std::string type_name(uint32_t code);
// "1-byte", "2-byte", "4-byte" or "variable".
const char *class_name(uint32_t code) noexcept;

// Reads a TYPE argument: a short name, a label, a unique prefix of a name
// (case does not matter), or a code in hex ("0xcb") or decimal ("203").
// Throws Failure (usage) naming the candidates when ambiguous or unknown.
uint32_t resolve_type(std::string_view text);

}  // namespace idprom::tool
