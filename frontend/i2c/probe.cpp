// Probing an address by reads only.
#include "i2c/probe.hpp"

#include <algorithm>
#include <iterator>

#include "base/errors.hpp"
#include "i2c/eeprom.hpp"

namespace idprom::tool::i2c {
namespace {

// A part read with one address byte: only ever one byte before a read.
constexpr Part kOneByte{"", 256, 8, 1, kDefaultWriteCycleMs};
// Where the width is checked: odd and even, in both halves of the block.
constexpr uint32_t kChecks[] = {0x01, 0x32, 0x85, 0xC0};
constexpr uint32_t kCheckLength = 16;

}  // namespace

Probe probe(Bus &bus, uint8_t address, Clock &clock) {
  Probe p;
  uint8_t first = 0;
  if (bus.transfer(address, {}, std::span(&first, 1)) != 0) return p;
  p.answered = true;
  try {
    Eeprom part(bus, Target{0, address, ""}, kOneByte, clock);
    p.bytes = part.read(0, kOneByte.size);
    int differing = 0;
    for (const uint32_t at : kChecks) {
      const Bytes again = part.read(at, kCheckLength);
      const auto expected = p.bytes.begin() + at;
      if (!std::equal(again.begin(), again.end(), expected)) return p;
      differing += std::equal(again.begin(), again.end(), p.bytes.begin()) ? 0 : 1;
    }
    p.one_byte = differing >= 2;
  } catch (const Failure &f) {
    p.error = f.what();
  }
  return p;
}

}  // namespace idprom::tool::i2c
