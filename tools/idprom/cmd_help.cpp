// help: the commands, or one command's options.
#include <CLI/CLI.hpp>
#include <iostream>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"

namespace idprom::tool {

namespace {

struct HelpOptions {
  std::string command;
  const CLI::App *app = nullptr;
};

void declare_help(CLI::App &h, HelpOptions &o) {
  h.add_option("COMMAND", o.command, "A command");
  o.app = h.get_parent();
}

int run_help(const HelpOptions &o) {
  const CLI::App &app = *o.app;
  if (o.command.empty()) {
    // app.help() would describe the selected command: this one.
    std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
    return kExitOk;
  }
  const auto subs =
      app.get_subcommands([&](const CLI::App *s) { return s->check_name(o.command); });
  if (subs.empty()) throw Failure(kExitUsage, unknown_command(o.command));
  std::cout << subs.front()->help(app.get_name());
  return kExitOk;
}

}  // namespace

extern const Command kHelp = command<HelpOptions, declare_help, run_help>(
    "help", "The commands, or one command's arguments and options", "[COMMAND]");

}  // namespace idprom::tool
