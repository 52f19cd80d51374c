// chips: the serial EEPROMs that --chip names, for i2c:BUS:ADDR images.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/errors.hpp"
#include "command.hpp"
#include "i2c/part.hpp"

namespace idprom::tool {

namespace {

struct ChipsOptions {};

void declare_chips(CLI::App &, ChipsOptions &) {}

int run_chips(const ChipsOptions &) {
  i2c::list_chips(std::cout);
  return kExitOk;
}

}  // namespace

extern const Command kChips = command<ChipsOptions, declare_chips, run_chips>(
    "chips", "The serial EEPROMs --chip names: size, page, address bytes, write cycle", "");

}  // namespace idprom::tool
