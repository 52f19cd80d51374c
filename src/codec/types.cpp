// The codec's part of the type catalogue: standard length words, and the
// split of fixed-size types into integers and byte strings (the header's
// list).
#include <array>

#include "catalogue/types.hpp"
#include "codec/codec.hpp"

namespace idprom::codec {
namespace {

// Standard length words of the variable-class types 0xC0..0xFE, from the
// type catalogue, in the one-byte layout (attribute bits 7-6, length bits
// 5-0).  0 means "no standard length"; the two long types carry the
// special all-ones word.
constexpr std::array<uint32_t, 64> make_variable_words() {
  std::array<uint32_t, 64> words{};
  for (const auto &row : catalogue::kTypes) {
    if (is_variable(row.code)) words[row.code - kClassVariable] = row.length_word;
  }
  return words;
}

constexpr auto kVariableWords = make_variable_words();

constexpr bool fixed_rows_have_no_word() {
  for (const auto &row : catalogue::kTypes) {
    if (!is_variable(row.code) && row.length_word != 0) return false;
  }
  return true;
}
static_assert(fixed_rows_have_no_word(), "a fixed-size type's length word follows its class");

}  // namespace

bool idprom_type_is_numeric(uint32_t type) noexcept { return !idprom_is_byte_string(type); }

}  // namespace idprom::codec

using namespace idprom::codec;

extern "C" IDPROM_API uint32_t idprom_type_to_len(uint32_t type) noexcept {
  if (!is_variable(type)) return fixed_width(type);
  if (type > 0xFF) return 0;  // extension-byte codes of the variable class
  return kVariableWords[type - kClassVariable];
}
