// Looking for a serial EEPROM at an address no driver owns, by reads only.
//
// A 24-series part stores bytes only from a write that carries a whole
// address and at least one data byte after it, ended by a stop.  The probe
// therefore sends at most one byte before a read, and nothing else:
//
//   1. a read of one byte from the part's current address (SMBus receive
//      byte; no byte is sent): an answer means something is there.  Never a
//      quick write (an empty write, which some devices take as a command).
//   2. reads with one address byte, each followed by a repeated start (or a
//      stop) and the read: to a part with one address byte this sets the
//      address; to a part with two it is half an address, and no data byte
//      follows, so neither stores anything.  Two address bytes are never
//      sent to a part of unknown width: a part with one would store the
//      second as data.
//
// The first 256 bytes are read so; then 16 bytes at each of a few other
// one-byte addresses.  One address byte is proven when each of those reads
// returns the bytes at that offset of the first read, and at least two of
// them differ from the bytes at offset 0 (data that does not vary proves
// nothing: a blank part reads the same from anywhere).  Otherwise the width
// is ambiguous: a part with two address bytes answers from an address the
// probe cannot set, and only the user can declare it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "i2c/bus.hpp"
#include "i2c/clock.hpp"

namespace idprom::tool::i2c {

struct Probe {
  bool answered = false;  // something acknowledged a read at the address
  bool one_byte = false;  // reads proved one address byte
  std::vector<uint8_t> bytes;  // the first 256 bytes as read with one address byte
  std::string error;      // why a read failed after the first answered ("" for none)
};

// Probes `address` on `bus`, which must not be claimed by a driver (the
// caller checks sysfs and Bus::claim first).
Probe probe(Bus &bus, uint8_t address, Clock &clock);

}  // namespace idprom::tool::i2c
