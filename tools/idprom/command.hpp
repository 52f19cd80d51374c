// A command of the tool as one value: its name, help line and synopsis, and
// how it declares its options and runs.  Each command's file defines its
// descriptor; commands.cpp lists them, and the parser, `help`,
// `completion` and the manual page's synopses are all read from that list.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

namespace idprom::tool {

// What the parsed command line chose: the command's handler, bound to the
// options the parser filled, and its --json flag (null when it has none),
// which words the failures main reports.
struct Chosen {
  std::function<int()> run;
  const bool *json = nullptr;
};

struct Command {
  const char *name;
  const char *help;
  // The arguments as idprom(1) writes them after the name, e.g.
  // "IMAGE --size N"; the manual's test holds the page to it.
  const char *synopsis;
  // Declares the command's options on `sub` into a fresh options value and
  // makes the parser's choice of `sub` set `chosen`.
  void (*attach)(CLI::App &sub, Chosen &chosen);
};

// Options: the command's options struct (one value per parse, filled by the
// parser); declare(sub, options) adds its options, run(options) its work.
// A struct with an `output` member (OutputFlags) words failures with --json.
template <class Options, void (*declare)(CLI::App &, Options &), int (*run)(const Options &)>
void attach_command(CLI::App &sub, Chosen &chosen) {
  auto options = std::make_shared<Options>();
  declare(sub, *options);
  sub.callback([options, &chosen] {
    chosen.run = [options] { return run(*options); };
    if constexpr (requires { options->output.json; }) chosen.json = &options->output.json;
  });
}

template <class Options, void (*declare)(CLI::App &, Options &), int (*run)(const Options &)>
constexpr Command command(const char *name, const char *help, const char *synopsis) {
  return Command{name, help, synopsis, &attach_command<Options, declare, run>};
}

// Every command, in the order `idprom help` lists them.
std::span<const Command *const> commands();

// Adds every command to the parser; or, when `only` names a command, that
// one alone (with `help` and `completion`, which list the others, every
// command).  Declaring one command's options instead of all of them is
// most of what a short command's start-up saves.
void attach_commands(CLI::App &app, Chosen &chosen, std::string_view only = {});

}  // namespace idprom::tool
