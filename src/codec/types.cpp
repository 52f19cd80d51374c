// The type catalogue of the codec: standard length words and the split of
// fixed-size types into integers and byte strings (the header's list).
#include <array>

#include "codec/codec.hpp"

namespace idprom::codec {
namespace {

// Standard length words of the variable-class types 0xC0..0xFE, in the
// one-byte layout (attribute bits 7-6, length bits 5-0).  0 means "no
// standard length"; the two long types carry the special all-ones word.
struct LengthRow {
  uint8_t type;
  uint32_t word;
};

constexpr uint32_t kLongType = IDPROM_LONG_TYPE_WORD;

constexpr LengthRow kLengthRows[] = {
    {0xC0, 0x46},      // decimal, 6
    {0xC1, 0x8B},      // text, 11
    {0xC2, 0x8B},      // text, 11
    {0xC3, 0x06},      // hex, 6
    {0xC4, 0x08},      // hex, 8
    {0xC5, 0x08},      // hex, 8
    {0xC6, 0x8A},      // text, 10
    {0xC7, 0x20},      // hex, 32
    {0xC9, 0x7F},      // decimal, 63
    {0xCB, 0x92},      // text, 18
    {0xCC, 0xA0},      // text, 32
    {0xCE, 0x8B},      // text, 11
    {0xCF, 0x06},      // hex, 6
    {0xD4, 0xA0},      // text, 32
    {0xD6, 0x04},      // hex, 4
    {0xD7, 0x44},      // decimal, 4
    {0xDA, 0xBF},      // text, 63
    {0xDB, 0xBF},      // text, 63
    {0xEB, 0x86},      // text, 6
    {0xF3, kLongType}, // attribute 0xC0, length 16383
    {0xF4, kLongType},
};

constexpr std::array<uint32_t, 64> make_variable_words() {
  std::array<uint32_t, 64> words{};
  for (const auto &row : kLengthRows) words[row.type - kClassVariable] = row.word;
  return words;
}

constexpr auto kVariableWords = make_variable_words();

}  // namespace

bool idprom_type_is_numeric(uint32_t type) noexcept { return !idprom_is_byte_string(type); }

}  // namespace idprom::codec

using namespace idprom::codec;

extern "C" IDPROM_API uint32_t idprom_type_to_len(uint32_t type) noexcept {
  if (!is_variable(type)) return fixed_width(type);
  if (type > 0xFF) return 0;  // extension-byte codes of the variable class
  return kVariableWords[type - kClassVariable];
}
