// An i2c:BUS:ADDR image path opened for the file layer: the declared part,
// the lock on its bus address (shared for readers, exclusive for an edit,
// held for the object's life), the adapter, and for an edit the
// write-protect line, held asserted between writes.  Under
// IDPROM_I2C_SIMULATE the adapter, the clock and the line are those of a
// simulated part (rehearsal.hpp).
#pragma once

#include <memory>

#include "io/system.hpp"
#include "i2c/eeprom.hpp"
#include "io/rehearsal.hpp"

namespace idprom::tool::i2c {

class Device {
 public:
  // Opens `target` with the part `access` declares, for the bytes of
  // `window` (default: the whole part).  `writer` takes the lock
  // exclusively and the write-protect line, when one is named.  Throws
  // Failure (usage) for an undeclared part or a window past its end, (I/O)
  // when the lock, the adapter or the line cannot be had.
  // `wait`: seconds to wait for another process's lock on the part, set by
  // the front end's `wait_option`.
  Device(const Target &target, const Access &access, const Window &window, bool writer,
         double wait, const std::string &wait_option);

  // The window's bytes.  Throws Failure (I/O) when the part does not answer.
  Bytes read();
  // Writes `updated` where the part holds `original` (the window's bytes).
  // Throws WriteFailure.
  void write(const Bytes &original, const Bytes &updated);
  // The page writes write() would send, at offsets in the part.
  std::vector<Run> plan(const Bytes &original, const Bytes &updated) const;

 private:
  // Checked before the lock and the adapter are touched.
  Part part_;
  Run window_;
  std::string simulated_;  // the rehearsal's folder, "" for the real bus
  Lock lock_;
  std::unique_ptr<Rehearsal> rehearsal_;  // read under the lock
  Bus bus_;
  Eeprom eeprom_;
  std::unique_ptr<WriteProtect> gpio_;
  WriteProtect *wp_ = nullptr;  // gpio_, the simulated line, or none
};

}  // namespace idprom::tool::i2c
