// Shared helpers of the subcommands.
#include "common.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>

#include "base/errors.hpp"
#include "command.hpp"
#include "model/fields.hpp"

namespace idprom::tool {

void throw_if_malformed(const Loaded &image) {
  const auto problem = malformed_text(image.bytes, image.layout);
  if (problem)
    throw Failure::about(image.path, kExitMalformed, *problem, image.layout.malformed_at);
}

namespace {

// 0 to a day; "nan" and "inf" parse, and compare false with any range.
const CLI::Validator kSeconds(
    [](const std::string &text) -> std::string {
      double seconds = -1;
      const bool number = std::sscanf(text.c_str(), "%lf", &seconds) == 1;
      return number && seconds >= 0 && seconds <= kMaxWait
                 ? ""
                 : "expected 0 to " + std::to_string(static_cast<int>(kMaxWait)) + " seconds, not '" +
                       text + "'";
    },
    "SECONDS", "seconds");

}  // namespace

Window ImageFlags::window() const { return parse_window(offset, length); }

void add_image_flags(CLI::App &sub, ImageFlags &flags, bool reads) {
  sub.add_option("--offset", flags.offset,
                 "Where the image starts in the file or device (default 0)")
      ->type_name("N");
  sub.add_option("--length", flags.length, "Bytes of the image (1-65536; default: to the end)")
      ->type_name("M");
  if (reads) {
    sub.add_option("--wait", flags.wait, "Seconds to wait while an edit holds the image (0: none)")
        ->type_name("SECONDS")
        ->check(kSeconds)
        ->capture_default_str();
  }
  i2c::PartOptions &part = flags.device.part;
  sub.add_option("--chip", part.chip, "Part of an i2c: image (`idprom chips` lists them)")
      ->type_name("NAME");
  sub.add_option("--size", part.size, "Bytes of an i2c: part not in the table")->type_name("N");
  sub.add_option("--page-size", part.page_size, "Page size of an i2c: part, in bytes")
      ->type_name("N");
  sub.add_option("--address-width", part.address_width, "Address bytes of an i2c: part")
      ->type_name("1|2");
  sub.add_option("--write-cycle-ms", part.write_cycle_ms,
                 "Deadline for an i2c: part's write cycle (default: the part's)")
      ->type_name("MS");
  sub.add_option("--wp-gpio", flags.device.wp_gpio,
                 "Write-protect line of an i2c: part, released only while writing")
      ->type_name("CHIP:LINE");
  sub.add_flag("--wp-active-low", flags.device.wp_active_low,
               "The write-protect line is active low");
}

WriteOptions WriteFlags::options(const ImageFlags &image) const {
  return WriteOptions{in_place,   dry_run,        no_backup,   backup,
                      image.wait, image.window(), image.device};
}

void add_write_flags(CLI::App &sub, WriteFlags &w) {
  sub.add_flag("--dry-run", w.dry_run,
               "Print the dirty region before and after (and an i2c: part's page writes); "
               "write nothing");
  sub.add_flag("--in-place", w.in_place,
               "Write only the changed bytes into the file itself (as for devices)");
  auto *backup = sub.add_option("--backup", w.backup,
                                "Backup of an in-place write: this new file (default: a new "
                                "file in ~/.local/state/idprom/backups)")
                     ->type_name("PATH");
  sub.add_flag("--no-backup", w.no_backup, "No backup of an in-place write")->excludes(backup);
  sub.add_flag("--force", w.force,
               "Edit even when bytes after the end marker or the end marker itself are lost");
}

namespace {

// Rows of 16 bytes, each led by the offset of its first byte.
void print_rows(std::ostream &out, const Bytes &bytes, Region dirty) {
  char piece[16];
  for (uint32_t i = dirty.offset; i < dirty.end(); ++i) {
    if ((i - dirty.offset) % 16 == 0) {
      std::snprintf(piece, sizeof piece, "%s  0x%04x:", i == dirty.offset ? "" : "\n", i);
      out << piece;
    }
    std::snprintf(piece, sizeof piece, " %02x", bytes[i]);
    out << piece;
  }
  out << '\n';
}

}  // namespace

void write_back(EditSession &session, const Bytes &updated, Region dirty, const WriteFlags &w) {
  session.commit(updated, dirty);
  if (!w.dry_run) return;
  const Bytes &before = session.original();
  if (before == updated) {
    std::cout << "no change\n";
    return;
  }
  std::cout << "dirty region: offset " << hex(dirty.offset, 4) << ", "
            << count_of(dirty.length, "byte", "bytes") << "\nbefore:\n";
  print_rows(std::cout, before, dirty);
  std::cout << "after:\n";
  print_rows(std::cout, updated, dirty);
  print_page_writes(std::cout, session.planned_pages(updated));
}

Loaded load_image(const std::string &path, const ImageFlags &flags) {
  Loaded image{path, read_image(system_io(), path, flags.window(), flags.device, flags.wait), {}};
  image.layout = image.view().layout();
  return image;
}

namespace {

// Levenshtein distance: insertions, deletions and substitutions.
size_t distance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string unknown_command(const std::string &word) {
  std::string best;
  size_t best_distance = 3;  // at most two slips
  for (const Command *c : commands()) {
    const size_t d = distance(word, c->name);
    if (d < best_distance) {
      best = c->name;
      best_distance = d;
    }
  }
  return "unknown command '" + word + "'" +
         (best.empty() ? " (and no such file; `idprom help` lists the commands)"
                       : " (did you mean '" + best + "'?)");
}

std::string read_text_file(const std::string &path) {
  constexpr size_t kLimit = 64 << 20;
  std::ifstream file;
  std::istream *in = &std::cin;
  if (path != "-") {
    file.open(path, std::ios::binary);
    if (!file)
      throw Failure::about(path, kExitIo, std::string("cannot open: ") + std::strerror(errno));
    in = &file;
  }
  std::string text(std::istreambuf_iterator<char>(*in), {});
  if (in->bad()) throw Failure::about(path, kExitIo, "reading failed");
  if (text.size() > kLimit) throw Failure::about(path, kExitUsage, "larger than 64 MiB");
  return text;
}

}  // namespace idprom::tool
