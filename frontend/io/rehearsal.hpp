// Rehearsal without hardware: with IDPROM_I2C_SIMULATE=DIR in the
// environment, an i2c:BUS:ADDR path reaches no bus.  The part is the
// simulated one (simulated.hpp) with the declared geometry, and runs the
// real read and write sequence: pages, polling, read-back, retry, restore.
// Its memory lives in DIR/i2c-BUS-0xADDR.bin (a missing file is a blank
// part, all 0xff; a file of another size than the declared part is
// refused), written back atomically after every edit, and the lock files
// go to DIR.  A line named with --wp-gpio is simulated too: the part starts
// protected and is released only while pages are written; without one the
// part is unprotected.  Faults to rehearse failures, each a bit mask over
// the process's transfers (bit i: the i-th, modulo 32):
//   IDPROM_I2C_SIMULATE_DROP      page writes acknowledged but not stored
//   IDPROM_I2C_SIMULATE_MISREAD   reads whose first byte comes back wrong
#pragma once

#include <string>

#include "i2c/part.hpp"
#include "i2c/simulated.hpp"

namespace idprom::tool::i2c {

// The folder IDPROM_I2C_SIMULATE names, "" when it is not set.
std::string simulation_folder();

class Rehearsal {
 public:
  // Loads the part's memory from `folder`.  Throws Failure (usage) for a
  // file of the wrong size or a malformed fault mask, (I/O) when the file
  // cannot be read.
  Rehearsal(const std::string &folder, const Target &target, const Part &part);

  SimulatedEeprom &part() noexcept { return sim_; }
  // Writes the part's memory back to its file.  Throws Failure (I/O).
  void save();

 private:
  std::string path_;
  SimulatedEeprom sim_;
};

}  // namespace idprom::tool::i2c
