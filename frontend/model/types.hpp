// The front ends' view of the type catalogue: finding rows by code and
// TYPE arguments by name, label or code.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/types.hpp"

namespace idprom::tool {

// The type catalogue's rows (catalogue/types.hpp): code, short name,
// label, value form, and for kFields values the group widths (groups) and
// separator (catalogue::separator).
using TypeInfo = catalogue::TypeRow;
using Form = catalogue::Form;

std::span<const TypeInfo> type_table() noexcept;

// The row of a code, or null for a type the catalogue does not know.
const TypeInfo *find_type(uint32_t code) noexcept;

// The value form of a type: the catalogue's, or for codes it does not
// hold, hex bytes in the fixed classes and by display attribute (text,
// decimal bytes or hex) in the variable class, as the listing shows them.
Form form_of(uint32_t code) noexcept;

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
