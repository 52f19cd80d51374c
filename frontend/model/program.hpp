// A batch of units from one template: each unit's serial number, MAC block
// and image, computed and checked in memory before anything is written.
//
//   unit i (from 0)   number   = serial start + i
//                     serial   = the pattern, its run of '#' replaced by the
//                                number zero-padded to the run's width
//                     base MAC = MAC start + i * block size (48-bit, carry)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/fields.hpp"
#include "io/fileio.hpp"

namespace idprom::tool {

inline constexpr uint32_t kMaxUnits = 100000;

struct ProgramRequest {
  Bytes base;                           // the template image
  std::string source = "the template";  // its name in messages
  uint32_t count = 0;                   // 1 to kMaxUnits
  std::string serial;                   // the pattern; empty for none
  uint32_t serial_start = 1;            // the first unit's number
  std::optional<uint64_t> mac_start;
  std::optional<uint64_t> mac_end;
  std::vector<Assignment> sets;  // for every unit, before serial and MAC
};

struct Unit {
  std::string file;  // file name in the output folder
  std::optional<std::string> serial;
  std::optional<uint64_t> mac;  // the base MAC given to the unit
  uint32_t block = 1;           // its MAC Addr. Block Size (1 when absent)
  Bytes image;
};

// Every unit, or Failure naming the first thing that cannot be done:
// a serial that does not fit its run, a MAC block past --mac-end or
// ffff.ffff.ffff, a value the type does not take, no room in the image.
std::vector<Unit> plan_units(const ProgramRequest &request);

}  // namespace idprom::tool
