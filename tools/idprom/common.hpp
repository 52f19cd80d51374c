// Pieces the subcommands share: reporting where a list stops decoding, the
// options of the commands that read or write images.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "model/image.hpp"

namespace CLI {
class App;
}

namespace idprom::tool {

// When the image is empty or its list does not decode to its end: throws
// Failure (malformed) saying where and why, with the offset.  Commands
// call it after printing what does decode.
void throw_if_malformed(const Loaded &image);

// The options of every command that reads or edits an image: --offset and
// --length, --wait (readers and writers wait alike for another edit's
// lock), and for an i2c:BUS:ADDR path the part (--chip, --size,
// --page-size, --address-width, --write-cycle-ms) and its write-protect
// line (--wp-gpio, --wp-active-low).
struct ImageFlags {
  std::string offset;
  std::string length;
  double wait = kDefaultWait;
  i2c::Access device;

  // The window the flags chose (checked: a length of 1 to 65536 bytes).
  Window window() const;
};
// Declared last by each such command, so that they close its option list;
// without `reads` (a command that names an image but does not read it) no
// --wait.
void add_image_flags(CLI::App &sub, ImageFlags &flags, bool reads = true);

// The dry run of an edit on an i2c: part: the page writes it would make
// (offset in the part and length of each), one a line; nothing for none.
void print_page_writes(std::ostream &out, const std::vector<Region> &pages);

// Loads an image (or the chosen window of it) for a read-only command.
Loaded load_image(const std::string &path, const ImageFlags &flags);

// The flags of every command that writes an image back.
struct WriteFlags {
  bool dry_run = false;
  bool in_place = false;
  std::string backup;
  bool no_backup = false;
  bool force = false;

  WriteOptions options(const ImageFlags &image) const;
};
void add_write_flags(CLI::App &sub, WriteFlags &w);

// Commits an edit through the session; with --dry-run, prints instead
// what would be written: the dirty region and its bytes before and after
// ("no change" when the edit changes nothing), and for an i2c: part the
// page writes.
void write_back(EditSession &session, const Bytes &updated, Region dirty, const WriteFlags &w);

// The whole text of a file, or of standard input for "-" (at most 64 MiB);
// throws Failure (I/O) naming the file.
std::string read_text_file(const std::string &path);

// "unknown command 'shwo' (did you mean 'show'?)": the nearest command by
// edit distance, when it is near enough to be a slip.
std::string unknown_command(const std::string &word);

}  // namespace idprom::tool
