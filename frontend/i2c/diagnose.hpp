// Why a write did not stick, told from the bytes read back after it.  A
// part that acknowledges every byte can still store none of them (write
// protect), some of them (a page smaller than declared: the part's address
// latch wraps inside its real page; a write cycle longer than declared:
// later bytes are dropped while it is busy), or store them elsewhere (an
// address width other than the part's: the address bytes are taken as
// data or data as address).  Each leaves its own trace in the window:
//
//   nothing changed            the run reads as before
//   changed inside its page    some of the run, or bytes of the same page
//                              outside it (the wrap), changed
//   changed elsewhere          bytes outside the run's pages changed
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "i2c/part.hpp"

namespace idprom::tool::i2c {

enum class Stuck : uint8_t { kUnchanged, kPartial, kElsewhere };

struct Diagnosis {
  Stuck what;
  std::vector<Run> changed;  // where bytes differ from before, unexpectedly
};

// `before` and `back` are the bytes from `base` before the write and read
// back after it; `written` the runs written successfully before, expected to
// hold new bytes; `failed` the run that did not stick; `page` the declared
// page size (0 for none: a file).  Offsets are the part's (or the file's).
Diagnosis diagnose(std::span<const uint8_t> before, std::span<const uint8_t> back, uint32_t base,
                   std::span<const Run> written, Run failed, uint32_t page);

// "0x0046-0x0047, 0x0050-0x0050".
std::string runs_text(const std::vector<Run> &runs);

// The diagnosis as a clause for a failure message; `declared` names the
// declared geometry and the timing seen ("" for a file, where page and
// width do not apply).
std::string explain(const Diagnosis &diagnosis, const std::string &declared);

}  // namespace idprom::tool::i2c
