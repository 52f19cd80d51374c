// Pieces the subcommands share: reporting where a list stops decoding,
// and the families of subcommands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image.hpp"

namespace CLI {
class App;
}

namespace idprom::tool {

// When the image is empty or its list does not decode to its end: writes
// where and why to standard error and returns kExitMalformed; otherwise
// returns kExitOk.
int report_malformed(const Loaded &image);

// Each family of subcommands adds itself to the app; the chosen command
// stores its exit status in `status`.
void add_read_commands(CLI::App &app, int &status);
void add_edit_commands(CLI::App &app, int &status);
void add_create_commands(CLI::App &app, int &status);
void add_inspect_commands(CLI::App &app, int &status);
void add_diff_command(CLI::App &app, int &status);
void add_macs_command(CLI::App &app, int &status);
void add_types_command(CLI::App &app, int &status);

}  // namespace idprom::tool
