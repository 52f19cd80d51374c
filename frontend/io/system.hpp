// What the file layer is built from: the system calls it makes (through
// Io, so that tests can substitute a double), image bytes, the byte range
// an edit changed, and the window of a file that holds an image.
#pragma once

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace idprom::tool {

using Bytes = std::vector<uint8_t>;

// Largest image the tool reads: a 64 KiB EEPROM (or a window of a larger part).
inline constexpr size_t kMaxImage = 65536;

class Io {
 public:
  virtual ~Io() = default;
  virtual int open(const char *path, int flags, mode_t mode);
  virtual int close(int fd);
  virtual int fstat(int fd, struct stat *st);
  virtual int stat(const char *path, struct stat *st);
  virtual int fstatfs(int fd, struct statfs *st);
  virtual int flock(int fd, int operation);
  virtual ssize_t read(int fd, void *buf, size_t n);
  virtual ssize_t pread(int fd, void *buf, size_t n, off_t offset);
  virtual ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset);
  virtual int fsync(int fd);
  virtual int fchmod(int fd, mode_t mode);
  virtual int fchown(int fd, uid_t uid, gid_t gid);
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

// The part of a file that holds the image: `length` bytes (default: to the
// end of the file) from `offset`.  At most kMaxImage bytes.
struct Window {
  uint64_t offset = 0;
  std::optional<uint32_t> length;

  bool whole() const noexcept { return offset == 0 && !length; }
};

}  // namespace idprom::tool
