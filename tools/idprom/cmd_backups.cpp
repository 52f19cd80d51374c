// backups and restore: the backups that in-place writes leave, and writing
// one back the same safe way as an edit.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "common.hpp"
#include "base/errors.hpp"

namespace idprom::tool {
namespace {

int run_backups(const std::string &image) {
  const std::vector<std::string> found = list_backups(image);
  if (found.empty()) throw Failure(kExitAbsent, image + ": no backups in " + backup_folder());
  for (const std::string &path : found) std::cout << path << '\n';
  return kExitOk;
}

struct RestoreOptions {
  std::string image;
  std::string backup;
  WriteFlags write;
};

int run_restore(const RestoreOptions &o) {
  std::string from = o.backup;
  if (from.empty()) {
    const std::vector<std::string> found = list_backups(o.image);
    if (found.empty())
      throw Failure(kExitAbsent, o.image + ": no backups in " + backup_folder());
    from = found.front();
  }
  const Bytes saved = read_image(system_io(), from);
  EditSession session(system_io(), o.image, o.write.options());
  if (saved.size() != session.original().size()) {
    throw Failure(kExitUsage, from + ": holds " + std::to_string(saved.size()) + " bytes, " +
                                  o.image + " " + std::to_string(session.original().size()) +
                                  "; nothing was written");
  }
  write_back(session, saved, Region{0, static_cast<uint32_t>(saved.size())}, o.write);
  if (!o.write.dry_run) std::cout << o.image << ": restored from " << from << '\n';
  return kExitOk;
}

}  // namespace

void add_backup_commands(CLI::App &app, int &status) {
  auto image = std::make_shared<std::string>();
  CLI::App *b = app.add_subcommand("backups", "List the backups of an image, newest first");
  b->add_option("IMAGE", *image, "Image file or device")->required();
  b->callback([image, &status] { status = run_backups(*image); });

  auto restore = std::make_shared<RestoreOptions>();
  CLI::App *r = app.add_subcommand("restore", "Write a backup back (default: the newest)");
  r->add_option("IMAGE", restore->image, "Image file or device")->required();
  r->add_option("BACKUP", restore->backup, "Backup file (default: the newest of IMAGE's)");
  add_write_flags(r, restore->write);
  r->callback([restore, &status] { status = run_restore(*restore); });
}

}  // namespace idprom::tool
