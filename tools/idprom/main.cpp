// idprom: inspect, edit, build and safely write back IDPROM images.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"

namespace {

constexpr const char *kExitStatuses =
    "Exit status: 0 success, 1 field absent (diff: images differ), 2 usage error,\n"
    "3 malformed image, 4 no room in the image, 5 input/output or verification\n"
    "failure, 6 value not valid for the type, 7 an image fails a rule (verify).\n"
    "See idprom(1).";

// `idprom IMAGE [options]` means `idprom show IMAGE [options]` when IMAGE
// is a file (or "-"); any other first word must be a command.
std::vector<char *> with_default_command(int argc, char **argv) {
  std::vector<char *> args(argv, argv + argc);
  static char show[] = "show";
  if (argc < 2 || (argv[1][0] == '-' && std::strcmp(argv[1], "-") != 0)) return args;
  for (const idprom::tool::Command *c : idprom::tool::commands())
    if (std::strcmp(c->name, argv[1]) == 0) return args;
  struct stat st;
  if (std::strcmp(argv[1], "-") != 0 && ::stat(argv[1], &st) != 0)
    throw idprom::tool::Failure(idprom::tool::kExitUsage, idprom::tool::unknown_command(argv[1]));
  args.insert(args.begin() + 1, show);
  return args;
}

// The command the arguments name, or empty (an option first, or none).
std::string_view command_named(const std::vector<char *> &args) {
  if (args.size() < 2) return {};
  for (const idprom::tool::Command *c : idprom::tool::commands())
    if (std::strcmp(c->name, args[1]) == 0) return c->name;
  return {};
}

std::string failure_message(const CLI::App *, const CLI::Error &e) {
  return std::string("idprom: ") + e.what() + " (see `idprom help`)\n";
}

}  // namespace

int main(int argc, char **argv) {
  using namespace idprom::tool;
  CLI::App app{"Inspect, edit, build and safely write back IDPROM images.", "idprom"};
  app.set_version_flag("--version", std::string("idprom ") + IDPROM_VERSION_STRING);
  app.require_subcommand(1);
  app.footer(kExitStatuses);
  app.failure_message(failure_message);
  Chosen chosen;
  int status = kExitOk;
  try {
    std::vector<char *> args = with_default_command(argc, argv);
    attach_commands(app, chosen, command_named(args));
    app.parse(static_cast<int>(args.size()), args.data());
    status = chosen.run();
  } catch (const CLI::ParseError &e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  } catch (const Failure &f) {
    print_failure(f, chosen.json != nullptr && *chosen.json);
    return f.code();
  } catch (const std::bad_alloc &) {
    std::cerr << "idprom: out of memory\n";
    return kExitIo;
  }
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "idprom: writing to standard output failed\n";
    return kExitIo;
  }
  return status;
}
