// chips: the serial EEPROMs that --chip names, for i2c:BUS:ADDR images.
#include <CLI/CLI.hpp>
#include <iostream>
#include <nlohmann/json.hpp>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "i2c/part.hpp"

namespace idprom::tool {

namespace {

struct ChipsOptions {
  OutputFlags output;
};

void declare_chips(CLI::App &c, ChipsOptions &o) {
  add_json_flag(c, o.output,
                "One JSON object per chip per line: chip, size, page_size, address_width, "
                "write_cycle_ms");
}

// The members are the table's columns, in bytes and milliseconds.
void list_chips_json() {
  for (const i2c::Part &p : i2c::kChips) {
    const nlohmann::ordered_json line = {{"chip", p.name},
                                         {"size", p.size},
                                         {"page_size", p.page_size},
                                         {"address_width", p.address_width},
                                         {"write_cycle_ms", p.write_cycle_ms}};
    std::cout << line.dump() << '\n';
  }
}

int run_chips(const ChipsOptions &o) {
  if (o.output.json)
    list_chips_json();
  else
    i2c::list_chips(std::cout);
  return kExitOk;
}

}  // namespace

extern const Command kChips = command<ChipsOptions, declare_chips, run_chips>(
    "chips", "The serial EEPROMs --chip names: size, page, address bytes, write cycle", "");

}  // namespace idprom::tool
