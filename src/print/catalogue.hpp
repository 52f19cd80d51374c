// Internal interface of the presentation catalogue: what one listed entry
// looks like (label, which value bytes are read, how they are written).
#pragma once

#include <cstdint>

#include "idprom.h"

namespace idprom::print {

// Writes one entry's text to the sink: a newline, four spaces, the label in
// a 25-character column, ": " and the value (a few types write two lines,
// the silent types nothing).  counters are the printer's 256 instance
// counters, this entry already counted.  Reads no byte past value + length:
// a value too short for the positions its row reads is written as the
// label up to its ": " followed by the stored bytes in hex.
void idprom_print_entry(const uint8_t *value, uint32_t type, uint32_t length, uint32_t attribute,
                        char *buf, uint32_t *pos, uint32_t size, const uint8_t *counters) noexcept;

}  // namespace idprom::print
