// The file layer: reading images (whole, or a window inside a larger part)
// and writing edits back without losing data.  Every system call goes
// through Io so that tests can substitute a double that fails, answers
// like a device, or corrupts a write at a chosen point.
//
// Write-back rules:
//   regular file with one link, no window
//                  the whole new image into a temporary file in the same
//                  folder (owner, group and mode copied, or the edit is
//                  refused), flushed, read back, renamed over the path.
//   linked file (more than one name), character or block device, file on
//   a pseudo file system (sysfs, procfs, debugfs, configfs), a window,
//   or --in-place
//                  in place: the original saved to a new backup first,
//                  then only the bytes that changed written at their
//                  offsets, flushed, read back and compared; any failure
//                  writes the original bytes back.
// Every edit holds an exclusive lock on the file that the path names at
// the moment of writing (a file renamed over the path is noticed).
#pragma once

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <memory>
#include <vector>

#include "i2c/part.hpp"
#include "io/system.hpp"

namespace idprom::tool {

namespace i2c {
class Device;
}

// How a front end names the options that messages of the file layer point
// to: the tool's flags by default, a script's parameters for the Python
// package.
struct OptionNames {
  const char *wait = "--wait SECONDS";
  const char *backup = "--backup PATH or --no-backup";
  const char *in_place = "--in-place writes into the file itself";  // "": no such option
};

// Seconds a reader or an editor waits, by default, for another edit's lock,
// and at most (a day).
inline constexpr double kDefaultWait = 5;
inline constexpr double kMaxWait = 86400;

struct WriteOptions {
  bool in_place = false;   // write the changed bytes into the file itself
  bool dry_run = false;    // print what would change, write nothing
  bool no_backup = false;  // skip the backup of an in-place write
  std::string backup;      // backup path (default: a new file in backup_folder())
  double wait = kDefaultWait;  // seconds to wait for another edit's lock
  Window window;
  i2c::Access device;      // the part and write-protect line of an i2c: path
  bool backup_always = false;  // also back up before an atomic replacement (restore)
};

// What a front end other than the tool adds to a session.
struct SessionTerms {
  // The bytes the caller read before the session, without the lock: when
  // the stored ones differ under the lock (another edit saved in between),
  // the session refuses (Failure kConflict) before anything is written.
  std::optional<Bytes> expect;
  OptionNames names;
};

// The window that --offset N and --length M name (either text may be empty:
// not given): numbers as read_number reads them, a length of 1 to kMaxImage
// bytes.  Throws Failure (usage) naming the option.
Window parse_window(std::string_view offset, std::string_view length);

// Reads an image for a read-only command; "-" is standard input, and
// i2c:BUS:ADDR a serial EEPROM on a bus (the part declared in `device`; the
// default window is the whole part).  Throws Failure (I/O) naming the
// file, (malformed) when it is larger than any IDPROM image and no window
// is given, or (usage) when an i2c: path comes without a declared part.
// A file is read under a shared lock, waiting up to `wait` seconds for an
// edit's exclusive one (Failure kLocked after that), so that a read never
// sees half of an edit written in place; an i2c: part takes the part's
// shared lock.  `names` are the front end's names for its options.
Bytes read_image(Io &io, const std::string &path, const Window &window = {},
                 const i2c::Access &device = {}, double wait = kDefaultWait,
                 const OptionNames &names = {});

// The runs of bytes inside `dirty` where `after` differs from `before`:
// what an in-place write puts on the medium.
std::vector<Region> changed_runs(const Bytes &before, const Bytes &after, Region dirty);

// An image opened for editing: the file is locked for the session's life
// and its bytes are read under that lock.
class EditSession {
 public:
  EditSession(Io &io, std::string path, WriteOptions options, SessionTerms terms = {});
  ~EditSession();
  EditSession(const EditSession &) = delete;
  EditSession &operator=(const EditSession &) = delete;

  const Bytes &original() const noexcept { return original_; }

  // Writes back `updated`, which differs from the original only inside
  // `dirty` (checked first, also with dry_run, which then writes nothing;
  // showing what would change is the front end's business).  Throws
  // Failure (I/O) when anything fails; the file then holds its original
  // bytes (or the message says where the backup is).
  void commit(const Bytes &updated, Region dirty);

  // For an i2c: path, the page writes a commit of `updated` would make
  // (offset in the part and length of each, in order), for a dry run's
  // view; empty for other paths.
  std::vector<Region> planned_pages(const Bytes &updated) const;

  // Where the backup of the last commit went ("" when none was made).
  const std::string &backup_path() const noexcept { return backup_; }

 private:
  void open_locked();
  void commit_atomic(const Bytes &updated);
  void commit_in_place(const Bytes &updated, Region dirty);
  void make_backup();
  std::string stuck(Region span);
  void restore(const std::vector<Region> &runs, const std::string &why);
  void commit_device(const Bytes &updated);

  Io &io_;
  std::string path_;
  WriteOptions options_;
  SessionTerms terms_;
  int fd_ = -1;
  bool in_place_ = false;
  struct stat stat_ {};
  Bytes original_;
  std::string backup_;
  std::unique_ptr<i2c::Device> device_;  // set for an i2c: path
};

// The smallest region holding every byte where `after` differs from
// `before` (of the same size); empty when they are equal.
Region changed_region(const Bytes &before, const Bytes &after);

// Writes a whole image that a front end holds (rather than edits it made
// under a session) at `offset` of `path`: a missing file is created (offset
// 0 only); an existing one keeps its size and is written through an
// EditSession on the bytes the image covers (the whole file when it is a
// regular file of the image's size, so that it is replaced atomically),
// only what differs from the stored bytes.  Returns the region written, in
// offsets of the image ({0, 0} when the file already held it).  Throws
// Failure as EditSession does; (usage) when the stored window is not the
// image's size.
Region save_image(Io &io, const std::string &path, const Bytes &image, uint64_t offset,
                  WriteOptions options, SessionTerms terms);

// Creates `path` holding `bytes` (new and build): atomically through a
// temporary file (an i2c: path is refused: a part is programmed by editing
// it, with `restore`, so that the edit keeps a backup); an existing file
// is replaced only with `force` (a device or a hard-linked file is then
// written in place, after a backup, like an edit).
void create_file(Io &io, const std::string &path, const Bytes &bytes, bool force,
                 const WriteOptions &options);

// Writes `bytes` to `path` through a flushed, verified temporary file in
// the same folder, renamed over `path` (or linked, failing when `path`
// exists, when `replace` is false).  `owner`, when given, supplies the
// owner, group and mode to keep; the write is refused when they cannot be.
void write_atomically(Io &io, const std::string &path, const Bytes &bytes, mode_t mode,
                      bool replace, const struct stat *owner = nullptr);

// Removes the temporary files a killed replacement of `path` left beside
// it.  Only under the lock on `path`: no other run is then writing one.
void sweep_temporaries(const std::string &path);

// The folder of backups: $XDG_STATE_HOME/idprom/backups, else
// ~/.local/state/idprom/backups.
std::string backup_folder();

// The backups of an image in backup_folder(), newest first.
std::vector<std::string> list_backups(const std::string &image);

}  // namespace idprom::tool
