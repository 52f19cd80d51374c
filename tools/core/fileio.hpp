// The file layer: reading images and writing edits back without losing
// data.  Every system call goes through Io so that tests can substitute a
// double that fails or corrupts a write at a chosen point.
//
// Write-back:
//   regular file   whole new image into a temporary file in the same folder,
//                  flushed, read back, renamed over the original (atomic).
//   device, or     locked, original saved to a backup first, then only the
//   --in-place     dirty region written at its offset, flushed, read back
//                  and compared; any failure writes the original bytes back.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace idprom::tool {

using Bytes = std::vector<uint8_t>;

// Largest image the tool reads: a 64 KiB EEPROM.
inline constexpr size_t kMaxImage = 65536;

class Io {
 public:
  virtual ~Io() = default;
  virtual int open(const char *path, int flags, mode_t mode);
  virtual int close(int fd);
  virtual int fstat(int fd, struct stat *st);
  virtual int flock(int fd, int operation);
  virtual ssize_t read(int fd, void *buf, size_t n);
  virtual ssize_t pread(int fd, void *buf, size_t n, off_t offset);
  virtual ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset);
  virtual int fsync(int fd);
  virtual int fchmod(int fd, mode_t mode);
  virtual int rename(const char *from, const char *to);
  virtual int link(const char *from, const char *to);
  virtual int unlink(const char *path);
};

// The real system calls.
Io &system_io();

// A byte range of an image: what an edit changed.
struct Region {
  uint32_t offset = 0;
  uint32_t length = 0;

  uint32_t end() const noexcept { return offset + length; }
  // The smallest region holding both (an empty region adds nothing).
  Region joined(Region other) const noexcept;
};

struct WriteOptions {
  bool in_place = false;   // write the dirty region into the file itself
  bool dry_run = false;    // print what would change, write nothing
  bool no_backup = false;  // in place: skip the backup
  std::string backup;      // in place: backup path (default IMAGE.bak)
};

// Reads an image for a read-only command; "-" is standard input.
// Throws Failure (I/O) naming the file, or (malformed) when it is larger
// than any IDPROM image.
Bytes read_image(Io &io, const std::string &path);

// An image opened for editing: the file is locked for the session's life
// and its bytes are read under that lock.
class EditSession {
 public:
  EditSession(Io &io, std::string path, WriteOptions options);
  ~EditSession();
  EditSession(const EditSession &) = delete;
  EditSession &operator=(const EditSession &) = delete;

  const Bytes &original() const noexcept { return original_; }

  // Writes back `updated`, which differs from the original only inside
  // `dirty`.  With dry_run, prints the region and a before/after hex view
  // to `out` instead.  Throws Failure (I/O) when anything fails; the file
  // then holds its original bytes (or the message says where the backup is).
  void commit(const Bytes &updated, Region dirty, std::ostream &out);

 private:
  void commit_atomic(const Bytes &updated);
  void commit_in_place(const Bytes &updated, Region dirty);
  void restore(Region dirty, const std::string &why);

  Io &io_;
  std::string path_;
  WriteOptions options_;
  int fd_ = -1;
  bool regular_ = false;
  mode_t mode_ = 0644;
  Bytes original_;
};

// Creates `path` holding `bytes` (new and build): atomically through a
// temporary file; an existing file is replaced only with `force` (a device
// is then written in place, after a backup, like an edit).
void create_file(Io &io, const std::string &path, const Bytes &bytes, bool force,
                 const WriteOptions &options);

// Writes `bytes` to `path` through a flushed, verified temporary file in
// the same folder, renamed over `path` (or linked, failing when `path`
// exists, when `replace` is false).
void write_atomically(Io &io, const std::string &path, const Bytes &bytes, mode_t mode,
                      bool replace);

// The dry-run view: the region and its bytes before and after.
void print_change(std::ostream &out, const Bytes &before, const Bytes &after, Region dirty);

}  // namespace idprom::tool
