// Internal interface of the image codec: not part of the public API.
//
// Entry header:  [0x00 ...] type [len | len_hi len_lo] value...
//                 extension  one   one byte below 0xF0,
//                 bytes      byte  two bytes from 0xF0 on (variable class only)
#pragma once

#include <cstdint>

#include "idprom.h"

namespace idprom::codec {

// The format's constants and helpers are the public header's; these are
// their names inside the library.
inline constexpr uint8_t kEndMarker = IDPROM_END_MARKER;
inline constexpr uint8_t kExtensionByte = IDPROM_EXTENSION_BYTE;
inline constexpr uint32_t kClassVariable = IDPROM_CLASS_VARIABLE;

inline constexpr auto &is_variable = idprom_is_variable;
inline constexpr auto &fixed_width = idprom_fixed_width;  // 0 for the variable class
inline constexpr auto &length_field_size = idprom_length_field_size;
inline constexpr auto &length_of_word = idprom_length_of_word;
inline constexpr auto &has_encoding = idprom_has_encoding;

// A constant the optimiser may not look into (an empty volatile asm): on
// each branch below the width stays a constant of that branch, instead of
// the branches being merged into one branch-free select that waits for the
// type byte.
inline uint32_t branch_constant(uint32_t v) noexcept {
  asm volatile("" : "+r"(v));
  return v;
}

// fixed_width for a type byte of a fixed class, as one branch per class.
// A walk is serial, each entry starting where the one before ends; with the
// width a predicted branch's constant, the next position is known before
// the type byte has arrived, and a walk over entries whose shapes the
// processor has seen before (the same image again) runs about 1.5 times
// faster.  Entries of shapes it cannot predict cost the same either way.
inline uint32_t fixed_width_branching(uint32_t type_byte) noexcept {
  switch (type_byte & IDPROM_CLASS_MASK) {
    case IDPROM_CLASS_1: return branch_constant(1);
    case IDPROM_CLASS_2: return branch_constant(2);
    default: return branch_constant(4);
  }
}

// Returns the end marker closing the list that continues at pos, or null
// when the list is malformed or runs to end without a marker.
const uint8_t *idprom_find_end_marker(const uint8_t *pos, const uint8_t *end) noexcept;

// False for the fixed-size types whose values are byte strings
// (idprom_is_byte_string), true for every other code.
bool idprom_type_is_numeric(uint32_t type) noexcept;

// One decoded entry: where its header starts, where its value starts, and
// what the header says.  next() is where the following entry would start.
struct Entry {
  const uint8_t *start = nullptr;
  const uint8_t *value = nullptr;
  uint32_t type = 0;
  uint32_t length = 0;
  uint32_t attribute = 0;

  const uint8_t *next() const { return value + length; }
};

// The header decoder behind idprom_get_entry, with its exact contract
// (type and length always written, attribute once the type byte is read).
// Inline so that the walks of lookup, editing and listing pay no call per
// entry: a call through the exported, interposable symbol costs more than
// the decoding itself.
inline const uint8_t *get_entry(const uint8_t *pos, const uint8_t *end, uint32_t *type,
                                uint32_t *length, uint32_t *attribute) noexcept {
  *type = 0;
  *length = 0;
  while (pos < end && *pos == kExtensionByte) {
    *type += 256;
    ++pos;
  }
  if (pos >= end) return nullptr;
  const uint32_t type_byte = *pos;
  *type |= type_byte;
  if (attribute != nullptr) *attribute = 0;

  // The class lies in the type byte alone: taking it from there keeps the
  // extension count out of the chain from one entry to the next.
  const uint8_t *value = pos + 1;
  if (!is_variable(type_byte)) {
    *length = fixed_width_branching(type_byte);
  } else {
    const uint32_t field = length_field_size(*type);
    if (static_cast<uint32_t>(end - value) < field) return nullptr;
    const uint32_t high = value[0];
    const uint32_t word = field == 2 ? (high << 8 | value[1]) : high;
    *length = idprom_length_of_word(*type, word);
    if (attribute != nullptr) *attribute = high & IDPROM_ATTR_MASK;
    value += field;
    if (*length == 0) return nullptr;
  }
  if (static_cast<uint32_t>(end - value) < *length) return nullptr;
  return value;
}

// Decodes the entry at pos into *out; false when none valid starts there.
inline bool decode(const uint8_t *pos, const uint8_t *end, Entry *out) noexcept {
  out->start = pos;
  out->value = get_entry(pos, end, &out->type, &out->length, &out->attribute);
  return out->value != nullptr;
}

}  // namespace idprom::codec
