// Shared helpers of the subcommands.
#include "common.hpp"

#include <CLI/CLI.hpp>
#include <iostream>

#include "errors.hpp"
#include "fields.hpp"

namespace idprom::tool {

int report_malformed(const Loaded &image) {
  const auto problem = malformed_text(image.bytes, image.layout);
  if (!problem) return kExitOk;
  std::cerr << "idprom: " << image.path << ": " << *problem << '\n';
  return kExitMalformed;
}

WindowFlags &window_flags() {
  static WindowFlags flags;
  return flags;
}

void add_window_flags(CLI::App *sub) {
  sub->add_option("--offset", window_flags().offset,
                  "Where the image starts in the file or device (default 0)")
      ->type_name("N");
  sub->add_option("--length", window_flags().length,
                  "Bytes of the image (1-65536; default: to the end)")
      ->type_name("M");
}

Window chosen_window() {
  const WindowFlags &flags = window_flags();
  Window window;
  if (!flags.offset.empty()) window.offset = parse_number(flags.offset, "--offset");
  if (!flags.length.empty()) {
    const uint32_t length = parse_number(flags.length, "--length");
    if (length == 0 || length > kMaxImage) throw Failure(kExitUsage, "--length: 1 to 65536 bytes");
    window.length = length;
  }
  return window;
}

WriteOptions WriteFlags::options() const {
  return WriteOptions{in_place, dry_run, no_backup, backup, wait, chosen_window()};
}

void add_write_flags(CLI::App *sub, WriteFlags &w) {
  sub->add_flag("--dry-run", w.dry_run, "Print the dirty region before and after; write nothing");
  sub->add_flag("--in-place", w.in_place,
                "Write only the changed bytes into the file itself (as for devices)");
  auto *backup = sub->add_option("--backup", w.backup,
                                 "Backup of an in-place write: this new file (default: a new "
                                 "file in ~/.local/state/idprom/backups)")
                     ->type_name("PATH");
  sub->add_flag("--no-backup", w.no_backup, "No backup of an in-place write")->excludes(backup);
  sub->add_option("--wait", w.wait, "Seconds to wait while another edit holds the image (0: none)")
      ->type_name("SECONDS")
      ->check(CLI::Range(0.0, 86400.0))
      ->capture_default_str();
  sub->add_flag("--force", w.force,
                "Edit even when bytes after the end marker or the end marker itself are lost");
}

Loaded load_image(const std::string &path) {
  Loaded image{path, read_image(system_io(), path, chosen_window()), {}};
  image.layout = image.view().layout();
  return image;
}

}  // namespace idprom::tool
