// backups and restore: the backups that in-place writes leave, and writing
// one back the same safe way as an edit.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "command.hpp"
#include "common.hpp"

namespace idprom::tool {
namespace {

struct BackupsOptions {
  std::string image;
};

int run_backups(const BackupsOptions &o) {
  const std::string &image = o.image;
  const std::vector<std::string> found = list_backups(image);
  if (found.empty()) throw Failure::about(image, kExitAbsent, "no backups in " + backup_folder());
  for (const std::string &path : found) std::cout << path << '\n';
  return kExitOk;
}

struct RestoreOptions {
  std::string image;
  std::string backup;
  WriteFlags write;
  ImageFlags image_flags;
};

int run_restore(const RestoreOptions &o) {
  std::string from = o.backup;
  if (from.empty()) {
    const std::vector<std::string> found = list_backups(o.image);
    if (found.empty())
      throw Failure::about(o.image, kExitAbsent, "no backups in " + backup_folder());
    from = found.front();
  }
  const Bytes saved = read_image(system_io(), from);
  EditSession session(system_io(), o.image, o.write.options(o.image_flags));
  if (saved.size() != session.original().size()) {
    throw Failure(kExitUsage, from + ": holds " + std::to_string(saved.size()) + " bytes, " +
                                  o.image + " " + std::to_string(session.original().size()) +
                                  "; nothing was written");
  }
  write_back(session, saved, Region{0, static_cast<uint32_t>(saved.size())}, o.write);
  if (!o.write.dry_run) std::cout << o.image << ": restored from " << from << '\n';
  return kExitOk;
}

void declare_backups(CLI::App &b, BackupsOptions &o) {
  b.add_option("IMAGE", o.image, "Image file or device")->required();
}

void declare_restore(CLI::App &r, RestoreOptions &o) {
  r.add_option("IMAGE", o.image, "Image file or device")->required();
  r.add_option("BACKUP", o.backup, "Backup file (default: the newest of IMAGE's)");
  add_write_flags(r, o.write);
  add_image_flags(r, o.image_flags);
}

}  // namespace

extern const Command kBackups = command<BackupsOptions, declare_backups, run_backups>(
    "backups", "List the backups of an image, newest first", "IMAGE");
extern const Command kRestore = command<RestoreOptions, declare_restore, run_restore>(
    "restore", "Write a backup back (default: the newest)", "IMAGE [BACKUP]");

}  // namespace idprom::tool
