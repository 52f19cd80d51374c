// Internal to the checksum family: not part of the public interface.
#pragma once

#include <cstdint>

namespace idprom::util {

// Adds count 32-bit words, read little-endian byte by byte from words onward
// (any alignment), to the running rotate-and-add sum and returns the new sum:
// exactly the value that rotating and adding them one at a time gives.
// A count of 0 returns sum unchanged.
// Runs of fewer than 32 words are added one at a time; longer ones by
// sum_words_parallel.
uint32_t calculate_crc_words(uint32_t sum, const uint8_t *words, uint32_t count) noexcept;

// The same sum by class sums in vector lanes, for any count, on any host.
// Exposed so that tests can hold it to the sequential form on short runs too.
uint32_t sum_words_parallel(uint32_t sum, const uint8_t *words, uint32_t count) noexcept;

// Carry-less folding for crc_16_buf (crc16_fold.cpp), on x86-64 only and
// not in the small-CRC build; everywhere else the tables do all the work.
#if !defined(IDPROM_SMALL_CRC) && defined(__x86_64__) && defined(__GNUC__)
#define IDPROM_CRC16_FOLD 1
#else
#define IDPROM_CRC16_FOLD 0
#endif

// The rotate-and-add sum in 256-bit registers where the processor has them
// (crc32_words.cpp): the same builds as the folding.
#define IDPROM_CRC32_WIDE IDPROM_CRC16_FOLD

#if IDPROM_CRC16_FOLD
// Folds the `blocks` 16-byte blocks at p (at least one) into 16 bytes at
// out whose CRC from 0 equals the blocks' CRC from 0, and returns the end of
// the blocks; when the processor lacks carry-less multiplication it returns
// p and writes nothing.
const uint8_t *crc16_fold(const uint8_t *p, uint32_t blocks, uint8_t *out) noexcept;
#endif

// One byte of CRC-16 (0x1021, most significant bit first, nothing
// reflected).  The eight shift-and-XOR steps of the definition fold into
// five operations on the 16-bit value: with the data byte XORed into the
// top byte, only the top byte decides what is XORed in, and the
// polynomial's terms at bits 12, 5 and 0 give the three shifted copies.
// constexpr: the tables of crc_16_buf are computed from it at compile time.
constexpr uint16_t crc16_update(uint16_t crc, uint8_t byte) noexcept {
  auto c = static_cast<uint16_t>(crc >> 8 | crc << 8);  // 1. swap the bytes
  c = static_cast<uint16_t>(c ^ byte);                   // 2. byte into the low byte
  c = static_cast<uint16_t>(c ^ ((c & 0xFFu) >> 4));     // 3.
  c = static_cast<uint16_t>(c ^ (c << 12));              // 4. bits above 15 dropped
  c = static_cast<uint16_t>(c ^ ((c & 0xFFu) << 5));     // 5.
  return c;
}

}  // namespace idprom::util
