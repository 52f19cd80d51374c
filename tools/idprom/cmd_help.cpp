// help: the commands, or one command's options.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "base/errors.hpp"

namespace idprom::tool {

void add_help_command(CLI::App &app, int &status) {
  auto command = std::make_shared<std::string>();
  CLI::App *h = app.add_subcommand("help", "The commands, or one command's arguments and options");
  h->add_option("COMMAND", *command, "A command");
  h->callback([&app, command, &status] {
    if (command->empty()) {
      // app.help() would describe the selected command: this one.
      std::cout << app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal);
    } else {
      const auto subs =
          app.get_subcommands([&](const CLI::App *s) { return s->check_name(*command); });
      if (subs.empty()) throw Failure(kExitUsage, unknown_command(app, *command));
      std::cout << subs.front()->help(app.get_name());
    }
    status = kExitOk;
  });
}

}  // namespace idprom::tool
