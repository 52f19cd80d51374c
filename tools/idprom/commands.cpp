// The commands of the tool, one row each; each command's file defines its
// descriptor.  Adding a command is its file, its row here and its source
// in CMakeLists.txt.
#include "command.hpp"

namespace idprom::tool {

extern const Command kShow, kGet, kSet, kDelete, kNew, kBuild, kEdit, kDump, kCheck, kInfo,
    kChecksum, kDiff, kMacs, kTypes, kBackups, kRestore, kProgram, kVerify, kScan, kReport,
    kCompletion, kHelp, kChips;

namespace {

// clang-format off
constexpr const Command *kCommands[] = {
    &kShow,
    &kGet,
    &kSet,
    &kDelete,
    &kNew,
    &kBuild,
    &kEdit,
    &kDump,
    &kCheck,
    &kInfo,
    &kChecksum,
    &kDiff,
    &kMacs,
    &kTypes,
    &kBackups,
    &kRestore,
    &kProgram,
    &kVerify,
    &kScan,
    &kReport,
    &kCompletion,
    &kHelp,
    &kChips,
};
// clang-format on

} // namespace

std::span<const Command *const> commands() { return kCommands; }

void attach_commands(CLI::App &app, Chosen &chosen, std::string_view only) {
  // `help` and `completion` read the other commands from the parser.
  const bool alone =
      !only.empty() && only != kHelp.name && only != kCompletion.name;
  for (const Command *c : kCommands)
    if (!alone || only == c->name)
      c->attach(*app.add_subcommand(c->name, c->help), chosen);
}

} // namespace idprom::tool
