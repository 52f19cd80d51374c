// chips: the serial EEPROMs that --chip names, for i2c:BUS:ADDR images.
#include <CLI/CLI.hpp>
#include <iostream>

#include "common.hpp"
#include "base/errors.hpp"
#include "i2c/part.hpp"

namespace idprom::tool {

void add_chips_command(CLI::App &app, int &status) {
  CLI::App *c = app.add_subcommand(
      "chips", "The serial EEPROMs --chip names: size, page, address bytes, write cycle");
  c->callback([&status] {
    i2c::list_chips(std::cout);
    status = kExitOk;
  });
}

}  // namespace idprom::tool
