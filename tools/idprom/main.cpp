// idprom: inspect, edit, build and safely write back IDPROM images.
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cstring>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "batch.hpp"
#include "common.hpp"
#include "base/errors.hpp"

namespace {

constexpr const char *kExitStatuses =
    "Exit status: 0 success, 1 field absent (diff: images differ), 2 usage error,\n"
    "3 malformed image, 4 no room in the image, 5 input/output or verification\n"
    "failure, 6 value not valid for the type, 7 an image fails a rule (verify).\n"
    "See idprom(1).";

// The commands that read or edit an image, and so take --offset and --length.
const std::string kTakesImage =
    " show get set delete dump check info checksum diff macs backups restore verify ";

// `idprom IMAGE [options]` means `idprom show IMAGE [options]` when IMAGE
// is a file (or "-"); any other first word must be a command.
std::vector<char *> with_default_command(int argc, char **argv, const CLI::App &app) {
  std::vector<char *> args(argv, argv + argc);
  static char show[] = "show";
  if (argc < 2 || (argv[1][0] == '-' && std::strcmp(argv[1], "-") != 0)) return args;
  for (const CLI::App *sub : app.get_subcommands({}))
    if (sub->check_name(argv[1])) return args;
  struct stat st;
  if (std::strcmp(argv[1], "-") != 0 && ::stat(argv[1], &st) != 0) {
    throw idprom::tool::Failure(idprom::tool::kExitUsage,
                                idprom::tool::unknown_command(app, argv[1]));
  }
  args.insert(args.begin() + 1, show);
  return args;
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
  int status = kExitOk;
  add_read_commands(app, status);
  add_edit_commands(app, status);
  add_create_commands(app, status);
  add_inspect_commands(app, status);
  add_diff_command(app, status);
  add_macs_command(app, status);
  add_types_command(app, status);
  add_backup_commands(app, status);
  add_program_command(app, status);
  add_verify_command(app, status);
  add_completion_command(app, status);
  add_help_command(app, status);
  add_chips_command(app, status);
  for (CLI::App *sub : app.get_subcommands({})) {
    if (kTakesImage.find(" " + sub->get_name() + " ") == std::string::npos) continue;
    add_window_flags(sub);
    add_device_flags(sub);
  }

  try {
    std::vector<char *> args = with_default_command(argc, argv, app);
    app.parse(static_cast<int>(args.size()), args.data());
  } catch (const CLI::ParseError &e) {
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  } catch (const Failure &f) {
    print_failure(f);
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
