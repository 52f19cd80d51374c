// Internal to the checksum family: not part of the public interface.
#pragma once

#include <cstdint>

namespace idprom::util {

// Adds count 32-bit words, read little-endian byte by byte from words onward
// (any alignment), to the running rotate-and-add sum and returns the new sum.
// A count of 0 returns sum unchanged.
uint32_t calculate_crc_words(uint32_t sum, const uint8_t *words, uint32_t count) noexcept;

}  // namespace idprom::util
