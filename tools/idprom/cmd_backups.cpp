// backups and restore: the backups that in-place writes and restores leave,
// with what each is of, and writing one back the same safe way as an edit.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>

#include "base/errors.hpp"
#include "batch.hpp"
#include "command.hpp"
#include "common.hpp"
#include "io/backup_record.hpp"
#include "model/compare.hpp"

namespace idprom::tool {
namespace {

struct BackupsOptions {
  std::string image;
  OutputFlags output;
  ImageFlags image_flags;
};

int run_backups(const BackupsOptions &o) {
  const std::string &image = o.image;
  const Window window = o.image_flags.window();
  const auto offset = o.image_flags.offset.empty() ? std::nullopt : std::optional(window.offset);
  const std::vector<Backup> found = backups_of(image, offset, window.length);
  if (found.empty()) throw Failure::about(image, kExitAbsent, "no backups in " + backup_folder());
  for (const Backup &b : found) {
    if (o.output.json)
      std::cout << backup_json(b).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    else
      std::cout << backup_line(b);
    std::cout << '\n';
  }
  return kExitOk;
}

struct RestoreOptions {
  std::string image;
  std::string backup;
  WriteFlags write;
  ImageFlags image_flags;
};

Loaded loaded(const std::string &path, const Bytes &bytes) {
  return Loaded{path, bytes, ImageView(bytes).layout()};
}

// The dry run: the fields the restore would change, and a part's page writes.
void print_plan(const RestoreOptions &o, const std::string &from, const EditSession &session,
                const Bytes &saved) {
  std::cout << o.image << ": would restore from " << from << '\n';
  const std::vector<Change> changes =
      changes_of(loaded(o.image, session.original()), loaded(from, saved));
  for (const Change &c : changes) std::cout << line_of(c) << '\n';
  if (changes.empty()) std::cout << "no change\n";
  print_page_writes(std::cout, session.planned_pages(saved));
}

// Writes a backup back, after backing up what it overwrites; refuses one
// of another target, window or board unless --force.
int run_restore(const RestoreOptions &o) {
  WriteOptions options = o.write.options(o.image_flags);
  options.backup_always = true;
  std::string from = o.backup;
  if (from.empty()) {
    const std::vector<Backup> found = backups_of(o.image, options.window.offset,
                                                 options.window.length);
    if (found.empty())
      throw Failure::about(o.image, kExitAbsent, "no backups in " + backup_folder());
    from = found.front().path;
  }
  const Bytes saved = read_image(system_io(), from);
  EditSession session(system_io(), o.image, options);
  const BackupRecord now = record_for(o.image, options, session.original());
  const std::string why = restore_refusal(describe_backup(from), saved, now);
  if (!why.empty() && !o.write.force)
    throw Failure(kExitIo, o.image + ": " + why + "; nothing was written (--force restores it)");
  if (saved.size() != session.original().size()) {
    throw Failure(kExitUsage, from + ": holds " + std::to_string(saved.size()) + " bytes, " +
                                  o.image + " " + std::to_string(session.original().size()) +
                                  "; nothing was written");
  }
  if (o.write.dry_run) {
    print_plan(o, from, session, saved);
    return kExitOk;
  }
  session.commit(saved, Region{0, static_cast<uint32_t>(saved.size())});
  std::cout << o.image << ": restored from " << from << '\n';
  return kExitOk;
}

void declare_backups(CLI::App &b, BackupsOptions &o) {
  b.add_option("IMAGE", o.image, "Image file or device")->required();
  add_json_flag(b, o.output, "One JSON object per backup per line: path and its record");
  add_image_flags(b, o.image_flags, false);
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
